#include "WindowManagerSession.h"

#include "X11Windows.h"

#include <QDeadlineTimer>
#include <QTest>

bool WindowManagerSession::start(QString* error)
{
    if (X11Windows::windowManagerRunning()) {
        *error = QStringLiteral("The display already has a window manager");
        return false;
    }
    process.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!process.waitForStarted()) {
        *error = QStringLiteral("openbox is missing: scripts/deps.sh installs it");
        return false;
    }
    QDeadlineTimer deadline(10000);
    while (!X11Windows::windowManagerRunning()) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning) {
            *error = QStringLiteral("openbox did not take the display: ") + QString::fromLocal8Bit(process.readAllStandardError());
            return false;
        }
        QTest::qWait(50);
    }
    return true;
}

WindowManagerSession::~WindowManagerSession()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    process.waitForFinished(5000);
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
