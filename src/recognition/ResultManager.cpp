#include "ResultManager.h"

#include "DataMessageProcessor.h"
#include "ExecutableCommandsManager.h"
#include "WebSocketClient.h"

ResultManager::ResultManager(WebSocketClient* client, AsrManager* asrManager, AutoReplaceManager* autoReplaceManager,
                             ExecutableCommandsManager* executableCommandsManager)
    : QObject(nullptr)
    , client(client)
    , asrManager(asrManager)
    , autoReplaceManager(autoReplaceManager)
    , executableCommandsManager(executableCommandsManager)
{
    qRegisterMetaType<TextResult>("TextResult");
    if (client) {
        connect(client->messageProcessor(), &DataMessageProcessor::modeChanged, this, &ResultManager::modeChanged);
        connect(client->messageProcessor(), &DataMessageProcessor::resultReceived, this, &ResultManager::resultReceived);
    }
}

ResultManager::~ResultManager() = default;

QString ResultManager::processCommand(const QString& id)
{
    return executableCommandsManager ? executableCommandsManager->executeCommand(id) : QString();
}

void ResultManager::modeChanged(RecognitionModeInfo info)
{
    if (info.state() == Started)
        mode = info.mode();
}

void ResultManager::resultReceived(TextResult result)
{
    const bool idle = mode == RecognitionModeNamespace::Off || mode == RecognitionModeNamespace::VoiceActivation;
    if (idle && !result.commandId().isEmpty())
        processCommand(result.commandId());
}

void ResultManager::flushResult()
{
}
