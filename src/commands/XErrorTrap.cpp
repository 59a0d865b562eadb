#include "XErrorTrap.h"

#include <QDebug>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <X11/Xlib.h>

namespace {

// Xlib has a single error handler per process, so the displays under a trap
// are kept in one place; the handler runs in the thread that owns the display.
QMutex& trapMutex()
{
    static QMutex mutex;
    return mutex;
}

QHash<Display*, int>& trappedErrors()
{
    static QHash<Display*, int> errors;
    return errors;
}

int logXError(Display* display, XErrorEvent* event)
{
    {
        // Under a trap only the first error is logged: one failed call can cause many.
        QMutexLocker lock(&trapMutex());
        auto found = trappedErrors().find(display);
        if (found != trappedErrors().end() && ++found.value() > 1)
            return 0;
    }
    char text[256] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    qWarning().noquote() << QStringLiteral("X error: %1 (request %2.%3, resource 0x%4)")
                                .arg(QString::fromLocal8Bit(text))
                                .arg(event->request_code)
                                .arg(event->minor_code)
                                .arg(event->resourceid, 0, 16);
    return 0;
}

} // namespace

XErrorTrap::XErrorTrap(_XDisplay* display)
    : display(display)
{
    installHandler();
    QMutexLocker lock(&trapMutex());
    trappedErrors().insert(display, 0);
}

XErrorTrap::~XErrorTrap()
{
    int errors = 0;
    {
        QMutexLocker lock(&trapMutex());
        errors = trappedErrors().take(display);
    }
    if (errors > 1)
        qWarning().noquote() << QStringLiteral("X error: %1 more like it").arg(errors - 1);
}

bool XErrorTrap::failed()
{
    if (display)
        XSync(display, False);
    return errorCount() > 0;
}

int XErrorTrap::errorCount() const
{
    QMutexLocker lock(&trapMutex());
    return trappedErrors().value(display, 0);
}

void XErrorTrap::installHandler()
{
    // Set each time: a toolkit that opens its own Xlib connection later may have replaced it.
    XSetErrorHandler(logXError);
}
