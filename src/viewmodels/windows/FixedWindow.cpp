#include "FixedWindow.h"

#include "FixedWindowX11.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QtQml>
#include <qpa/qplatformnativeinterface.h>

FixedWindow::FixedWindow(QWindow* parent)
    : QQuickApplicationWindow(parent)
{
    askForToolWindowState();
    // A window manager places a window by the size it first asks for; content
    // that settles later (wrapped texts, error lines) grows it from there.
    connect(this, &QWindow::widthChanged, this, &FixedWindow::keepOnScreen);
    connect(this, &QWindow::heightChanged, this, &FixedWindow::keepOnScreen);
}

FixedWindow::~FixedWindow() = default;

void FixedWindow::showEvent(QShowEvent* event)
{
    // Closing destroys the native window, and a window manager drops the state
    // of a window it no longer shows: each showing asks again, before the
    // window is mapped.
    askForToolWindowState();
    placed = false;
    QQuickApplicationWindow::showEvent(event);
}

void FixedWindow::exposeEvent(QExposeEvent* event)
{
    QQuickApplicationWindow::exposeEvent(event);
    // Where the window manager put it is known once it is shown on screen.
    if (isExposed() && !placed) {
        placed = true;
        keepOnScreen();
    }
}

void FixedWindow::keepOnScreen()
{
    QScreen* shownOn = QWindow::screen();
    if (!placed || !isVisible() || !shownOn)
        return;
    const QRect area = shownOn->availableGeometry();
    const QRect frame = frameGeometry();
    QPoint topLeft = frame.topLeft();
    topLeft.setX(qMax(area.left(), qMin(topLeft.x(), area.right() + 1 - frame.width())));
    topLeft.setY(qMax(area.top(), qMin(topLeft.y(), area.bottom() + 1 - frame.height())));
    if (topLeft != frame.topLeft())
        setFramePosition(topLeft);
}

bool FixedWindow::event(QEvent* event)
{
    if (event->type() == QEvent::Close)
        closingWithFocus = QGuiApplication::focusWindow() == this;
    // A window closed from QML may be deleted while it handles its close event.
    const QPointer<FixedWindow> alive(this);
    const bool handled = QQuickApplicationWindow::event(event);
    if (alive)
        closingWithFocus = false;
    return handled;
}

void FixedWindow::hideEvent(QHideEvent* event)
{
    // The window manager hands the focus of a closed window to the application
    // used before, since the client's tool windows are not in its focus order:
    // the window that opened this one takes it back, so that the next keys are
    // not typed into the user's document.
    const bool hadFocus = closingWithFocus || QGuiApplication::focusWindow() == this;
    QQuickApplicationWindow::hideEvent(event);
    QWindow* opener = transientParent();
    if (hadFocus && opener && opener->isVisible())
        opener->requestActivate();
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
