#include "LocalKivaroManager.h"

#include "AppVariables.h"
#include "KivaroInfo.h"
#include "WebSocketClient.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>
#include <QtDebug>

LocalKivaroManager::LocalKivaroManager(WebSocketClient* client)
    : client(client)
    , folder(AppVariables::sm_stdVars.substitute(QStringLiteral("${AppLocalDataLocation}/Kivaro")))
    , file(AppVariables::sm_stdVars.substitute(QStringLiteral("${AppLocalDataLocation}/Kivaro/KivaroWords.txt")))
{
    LoadCache();
}

LocalKivaroManager::~LocalKivaroManager() = default;

bool LocalKivaroManager::UpdateWords(const QStringList& newWords)
{
    words = newWords;
    const bool saved = SaveCache();
    SendKivaroInfo();
    return saved;
}

void LocalKivaroManager::SendKivaroInfo()
{
    if (!client)
        return;
    KivaroInfo info(words);
    client->sendData(MessageType, &info);
}

void LocalKivaroManager::LoadCache()
{
    QFile input(file);
    if (!input.exists() || !input.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream stream(&input);
    while (!stream.atEnd())
        words.append(stream.readLine());
}

bool LocalKivaroManager::SaveCache()
{
    if (!QDir().mkpath(folder)) {
        qWarning().noquote() << "Word list: cannot create the folder" << folder;
        return false;
    }
    QSaveFile output(file);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qWarning().noquote() << "Word list: cannot write" << file << ":" << output.errorString();
        return false;
    }
    QTextStream stream(&output);
    for (const QString& word : qAsConst(words))
        stream << word << '\n';
    stream.flush();
    if (stream.status() != QTextStream::Ok || !output.commit()) {
        qWarning().noquote() << "Word list: cannot write" << file << ":" << output.errorString();
        return false;
    }
    return true;
}
