#include "TrayHostSession.h"

#include "TestHome.h"
#include "X11Windows.h"

bool TrayHostSession::start(QString* error)
{
    if (X11Windows::trayHostRunning())
        return true;
    // As scripts/headless-services.sh starts it: X11Windows::trayIcon() looks for its windows.
    return process.startServing(QStringLiteral("trayer"),
                                {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                                 QStringLiteral("--widthtype"), QStringLiteral("request"), QStringLiteral("--height"),
                                 QStringLiteral("24")},
                                &X11Windows::trayHostRunning, TestHome::scaled(10000), error);
}
