#include "ScrivoraMain.h"

#include "AppVariables.h"
#include "FileModes.h"
#include "Settings.h"
#include "UnhandledCatcher.h"
#include "WindowsManager.h"

#include <QCoreApplication>
#include <QDebug>

int scrivoraMain(int argc, char** argv)
{
    set_unhandled_catcher();
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
