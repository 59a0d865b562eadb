#include "ScrivoraMain.h"

#include "AppVariables.h"
#include "FileModes.h"
#include "Settings.h"
#include "UnhandledCatcher.h"
#include "WindowsManager.h"

#include <QCoreApplication>
#include <QDebug>

#include <sys/resource.h>

namespace {
// The desktop's soft limit of 1024 descriptors is a default, not a need: the
// local servers bound what they take, and the rest is margin for everything else.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}
} // namespace

int scrivoraMain(int argc, char** argv)
{
    set_unhandled_catcher();
    raiseDescriptorLimit();
    const QString version = AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("Version"))
        + QStringLiteral(" (Linux)");
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvanta Labs"));
    QCoreApplication::setApplicationName(QStringLiteral("Scrivora"));
    QCoreApplication::setApplicationVersion(version);
    Settings::setFileName(QStringLiteral("settings"));
    FileModes::makePrivate();

    auto* windowsManager = new WindowsManager(nullptr);
    const int result = windowsManager->start(argc, argv);
    qInfo() << "Quit app";
    delete windowsManager;
    return result;
}
