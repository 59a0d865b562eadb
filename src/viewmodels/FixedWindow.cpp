#include "FixedWindow.h"

#include "FixedWindowX11.h"

#include <QGuiApplication>
#include <QtQml>

FixedWindow::FixedWindow(QWindow* parent)
    : QQuickApplicationWindow(parent)
{
    // Other platforms have no such hints; touching Xlib there would fail.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const WId window = winId();
    // The hints go over a connection of their own, which must already see the window.
    QGuiApplication::sync();
    FixedWindowX11::skipTaskbarAndPagerOnAllDesktops(window);
}

FixedWindow::~FixedWindow() = default;

void FixedWindow::registerQmlType()
{
    // Without the revisions of its bases the type would hide what came after
    // their first version, such as onClosing and screen.
    constexpr int Latest = 15;
    qmlRegisterRevision<QWindow, Latest>("QLR", 1, 0);
    qmlRegisterRevision<QQuickWindow, Latest>("QLR", 1, 0);
    qmlRegisterRevision<QQuickWindowQmlImpl, Latest>("QLR", 1, 0);
    qmlRegisterRevision<QQuickApplicationWindow, Latest>("QLR", 1, 0);
    qmlRegisterType<FixedWindow>("QLR", 1, 0, "QFixedWindow");
}
