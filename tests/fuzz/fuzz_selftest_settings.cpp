// The "SelfTest" group of the settings file as the self-test window meets it:
// after the start-up check, the runner loads the group (its file list bounded)
// and starts a run on a link that is not connected, so that the ping phase
// arms its time limit, then stops and closes. No timer may be refused for a
// time Qt cannot hold, and loading must stay quick (libFuzzer's -timeout).
#include "FuzzEnvironment.h"

#include "AsrManager.h"
#include "AutoReplaceManager.h"
#include "ConnectionHeartbeat.h"
#include "ConnectionManager.h"
#include "SelfTest.h"
#include "SelfTestSettings.h"
#include "SelfTestViewModel.h"
#include "Settings.h"
#include "UserCommandsManager.h"
#include "WebSocketClient.h"
#include "WebSocketWorker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

using FuzzEnvironment::fail;

namespace {
// Built once: the runner's collaborators as the program wires them, all in this thread.
struct Link
{
    UserCommandsManager userCommands;
    AutoReplaceManager autoReplace;
    WebSocketWorker worker{&autoReplace, &userCommands};
    ConnectionManager driver{worker.wsClient(), worker.asrManager(), nullptr};
    ConnectionHeartbeat heartbeat{worker.wsClient()};
    SelfTestViewModel viewModel;
    SelfTest runner{&viewModel, &worker, &driver, &heartbeat, nullptr};
};

Link* link = nullptr;

// Qt's own complaint about a timer it will not start.
void watchTimers(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (message.contains(QLatin1String("negative")))
        fail(QStringLiteral("a timer was refused: ") + message);
}

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

void FuzzEnvironment::setUp()
{
    link = new Link;
    qInstallMessageHandler(watchTimers);
}

extern "C" int LLVMFuzzerTestOneInput(const char* data, size_t size)
{
    if (size > 64 * 1024)
        return -1;
    const QString path = FuzzEnvironment::writeFreshSettingsFile(QByteArray(data, int(size)));
    const QString damaged = Settings::setAsideUnreadableFile();

    if (SelfTestSettings().get_Files().size() > SelfTestSettings::MaxFiles)
        fail(QStringLiteral("more files than the cap"));
    emit link->viewModel.load();
    emit link->viewModel.start();
    settle();
    emit link->viewModel.stop();
    emit link->viewModel.close();
    settle();
    if (link->viewModel.get_IsStarted())
        fail(QStringLiteral("still running after stop"));

    QFile::remove(path);
    if (!damaged.isEmpty())
        QFile::remove(damaged);
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/reports")).removeRecursively();
    return 0;
}
