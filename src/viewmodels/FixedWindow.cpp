#include "FixedWindow.h"

#include "FixedWindowX11.h"

#include <QGuiApplication>
#include <QtQml>
#include <qpa/qplatformnativeinterface.h>

FixedWindow::FixedWindow(QWindow* parent)
    : QQuickApplicationWindow(parent)
{
    askForToolWindowState();
}

FixedWindow::~FixedWindow() = default;

void FixedWindow::showEvent(QShowEvent* event)
{
    // Closing destroys the native window, and a window manager drops the state
    // of a window it no longer shows: each showing asks again, before the
    // window is mapped.
    askForToolWindowState();
    QQuickApplicationWindow::showEvent(event);
}

void FixedWindow::askForToolWindowState()
{
    // Other platforms have no such hints; touching Xlib there would fail.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const WId window = winId();
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    FixedWindowX11::skipTaskbarAndPagerOnAllDesktops(
        window, native ? native->nativeResourceForIntegration(QByteArrayLiteral("connection")) : nullptr);
}

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
