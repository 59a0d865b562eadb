#pragma once

#include "AsrState.h"
#include "RecognitionMode.h"
#include "RecognitionModeInfo.h"
#include "ResultFormatter.h"
#include "TextResult.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <memory>

class AsrManager;
class AutoReplaceManager;
class ExecutableCommandsManager;
class WebSocketClient;

// Receives every recognition result and decides by the running mode what it
// is: a voice command to run, dictated text to auto-replace, format and type
// into the result window, or a form result handled by the form session.
// Results and mode reports arrive queued from the link's thread; the object
// lives in the GUI thread and queues the text it types. The form server's
// thread formats form values through formatTextResult too.
class ResultManager : public QObject
{
    Q_OBJECT

public:
    ResultManager(WebSocketClient* client, AsrManager* asrManager, AutoReplaceManager* autoReplaceManager,
                  ExecutableCommandsManager* executableCommandsManager);
    ~ResultManager() override;

    // Any thread: the formatter's state is shared with the form server's thread.
    QString formatText(const QString& text, bool isFinal);
    // Auto-replace, then formatting; used for form values too. Any thread.
    QString formatTextResult(const QString& text, bool isFinal);
    QString processCommand(const QString& id);
    void processTextResult(const TextResult& result);
    void processVoiceActivationResult(const TextResult& result);
    void processTemplateResult(const TextResult& result);
    // The fixed window, or the window focused now when results follow the focus.
    unsigned long getResultWindow();
    const TextResult* getLastResult() const { return lastResult.get(); }
    // Takes ownership.
    void setLastResult(TextResult* result);
    void reset();

    // While 0 every result is ignored (the self-test plays its own audio).
    // Set through setProcessResults, so that the monitor can tell the user.
    int processResults = 1;
    void setProcessResults(bool processed);

signals:
    void resultReady(QString text, bool isFinal);
    void resultProcessingChanged(bool processed);

public slots:
    void modeChanged(RecognitionModeInfo info);
    void resultReceived(TextResult result);
    void modeStateChanged(RecognitionMode mode, AsrState state);
    void writeTextResult(QString text, bool isFinal);
    // Types the pending partial result as final; the link dropped before the server finished it.
    void flushResult();

private:
    WebSocketClient* client;
    AsrManager* asrManager;
    AutoReplaceManager* autoReplaceManager;
    ExecutableCommandsManager* executableCommandsManager;
    RecognitionMode mode = RecognitionModeNamespace::Off;
    unsigned long resultWindow = 0;
    bool fixWindow = false;
    QMutex formatterMutex;
    ResultFormatter formatter;
    std::unique_ptr<TextResult> lastResult;
};
