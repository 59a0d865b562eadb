#include "FixedWindow.h"

#include "FixedWindowX11.h"

#include <QGuiApplication>
#include <QtQml>
#include <qpa/qplatformnativeinterface.h>

FixedWindow::FixedWindow(QWindow* parent)
    : QQuickApplicationWindow(parent)
{
    // Other platforms have no such hints; touching Xlib there would fail.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const WId window = winId();
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    FixedWindowX11::skipTaskbarAndPagerOnAllDesktops(
        window, native ? native->nativeResourceForIntegration(QByteArrayLiteral("connection")) : nullptr);
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
