#include "WindowManagerSession.h"

#include "TestHome.h"
#include "X11Windows.h"

bool WindowManagerSession::start(QString* error)
{
    if (X11Windows::windowManagerRunning()) {
        *error = QStringLiteral("The display already has a window manager");
        return false;
    }
    const auto ready = [] { return X11Windows::windowManagerRunning() && X11Windows::windowManagerTakesWindows(); };
    return process.startServing(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}, ready, TestHome::scaled(10000), error);
}

WindowManagerSession::~WindowManagerSession()
{
    // Asked first, openbox gives the windows back to the display as it goes.
    process.terminate();
    process.waitForFinished(TestHome::scaled(5000));
}

QStringList WindowManagerSession::supported(const QStringList& hints)
{
    const QStringList all = X11Windows::atomNames(0, "_NET_SUPPORTED");
    QStringList kept;
    for (const QString& hint : hints) {
        if (all.contains(hint))
            kept << hint;
    }
    return kept;
}
