#pragma once

#include "AsrState.h"
#include "LogLineThrottle.h"
#include "RecognitionMode.h"
#include "RecognitionModeInfo.h"
#include "ResultFormatter.h"
#include "TextResult.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <deque>
#include <memory>

class AsrManager;
class AutoReplaceManager;
class ExecutableCommandsManager;
class ResultQueue;
class WebSocketClient;

// Receives every recognition result and decides by the running mode what it
// is: a voice command to run, dictated text to auto-replace, format and type
// into the result window, or a form result handled by the form session.
// Results and mode reports of the link come through a ResultQueue, which
// keeps only the newest partial and hands them on at the GUI's pace; the
// object lives in the GUI thread and queues the text it types. A command
// whose work goes on in the background (a document to read) holds the final
// texts and commands that follow it until its text is out, so they come in
// order. The form server's thread formats form values through
// formatTextResult too.
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
    // Types the pending partial result as final; the link dropped before the
    // server finished it. Runs after the results that still wait.
    void flushResult();

private:
    // A final text to type, or a command to run, that came behind a running command.
    struct Step
    {
        QString commandId;
        QString text;
        bool typed = false;
    };

    void flushPendingResult();
    void runCommand(const QString& id, bool typed);
    void startCommand(const QString& id, bool typed);
    void commandEnded(quint64 run, const QString& text);
    void runWaitingSteps();
    // A stop: neither the text of the running command nor anything held is
    // typed or run; a key command held there would press into the document.
    void dropTyping();
    bool commandRunning() const { return runningCommand != 0; }

    WebSocketClient* client;
    AsrManager* asrManager;
    AutoReplaceManager* autoReplaceManager;
    ExecutableCommandsManager* executableCommandsManager;
    RecognitionMode mode = RecognitionModeNamespace::Off;
    unsigned long resultWindow = 0;
    bool fixWindow = false;
    ResultQueue* linkResults;
    QMutex formatterMutex;
    ResultFormatter formatter;
    // Under formatterMutex: the server may send results as fast as it likes.
    LogLineThrottle sourceLog{20, 10000};
    std::unique_ptr<TextResult> lastResult;
    std::deque<Step> waiting;
    // The typed command still going on in the background, 0 for none; each start gets a new number.
    quint64 runningCommand = 0;
    quint64 lastCommandRun = 0;
};
