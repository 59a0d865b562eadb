#pragma once

#include "RecognitionMode.h"
#include "RecognitionModeInfo.h"
#include "TextResult.h"

#include <QObject>

class AsrManager;
class AutoReplaceManager;
class ExecutableCommandsManager;
class WebSocketClient;

// Receives the server's recognition results. So far it runs the voice
// commands recognised while dictation is idle; formatting and typing text
// results into the result window come with text output. Lives in the GUI thread.
class ResultManager : public QObject
{
    Q_OBJECT

public:
    ResultManager(WebSocketClient* client, AsrManager* asrManager, AutoReplaceManager* autoReplaceManager,
                  ExecutableCommandsManager* executableCommandsManager);
    ~ResultManager() override;

    QString processCommand(const QString& id);

public slots:
    void modeChanged(RecognitionModeInfo info);
    void resultReceived(TextResult result);
    // Nothing is held back yet, so there is nothing to commit on a disconnect.
    void flushResult();

private:
    WebSocketClient* client;
    AsrManager* asrManager;
    AutoReplaceManager* autoReplaceManager;
    ExecutableCommandsManager* executableCommandsManager;
    RecognitionMode mode = RecognitionModeNamespace::Off;
};
