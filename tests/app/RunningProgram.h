#pragma once

#include "FakeRecognitionServer.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonObject>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QString>

// Looking into the program running in the test's own process.
namespace RunningProgram {

inline QQuickWindow* windowTitled(const QString& title)
{
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (auto* quick = qobject_cast<QQuickWindow*>(window); quick && quick->title() == title)
            return quick;
    }
    return nullptr;
}

// The "Type" of the latest mode request; -1 for none, 2 (dictation) for null.
inline int lastRequestedMode(FakeRecognitionServer* server)
{
    const QList<FakeRecognitionServer::Message> requests = server->messagesOfType(1);
    if (requests.isEmpty())
        return -1;
    const QJsonValue type = requests.constLast().data.toObject().value(QStringLiteral("Type"));
    return type.isDouble() ? type.toInt() : 2;
}

// The newest log file of the program.
inline QString programLog()
{
    QDir logs(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/logs"));
    QFile file(logs.filePath(logs.entryList({QStringLiteral("log_*.log")}, QDir::Files, QDir::Time).value(0)));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace RunningProgram
