#include "ResultManager.h"

#include "ASRSettings.h"
#include "AsrManager.h"
#include "AutoReplaceManager.h"
#include "DataMessageProcessor.h"
#include "ExecutableCommandsManager.h"
#include "LaunchSettings.h"
#include "ResultQueue.h"
#include "TextWriter.h"
#include "WebSocketClient.h"

#include <QtDebug>

ResultManager::ResultManager(WebSocketClient* client, AsrManager* asrManager, AutoReplaceManager* autoReplaceManager,
                             ExecutableCommandsManager* executableCommandsManager)
    : QObject(nullptr)
    , client(client)
    , asrManager(asrManager)
    , autoReplaceManager(autoReplaceManager)
    , executableCommandsManager(executableCommandsManager)
    , linkResults(new ResultQueue({[this](const TextResult& result) { resultReceived(result); },
                                   [this](const RecognitionModeInfo& info) { modeChanged(info); },
                                   [this] { flushPendingResult(); }},
                                  this))
{
    qRegisterMetaType<TextResult>("TextResult");
    qRegisterMetaType<RecognitionModeInfo>("RecognitionModeInfo");
    if (client) {
        // Queued in the link's thread, so that a burst costs this thread what it can show.
        ResultQueue* queue = linkResults;
        connect(client->messageProcessor(), &DataMessageProcessor::modeChanged, queue,
                [queue](const RecognitionModeInfo& info) { queue->pushMode(info); }, Qt::DirectConnection);
        connect(client->messageProcessor(), &DataMessageProcessor::resultReceived, queue,
                [queue](const TextResult& result) { queue->pushResult(result); }, Qt::DirectConnection);
    }
    if (asrManager)
        connect(asrManager, &AsrManager::currentModeOrStateChanged, this, &ResultManager::modeStateChanged);
    connect(this, &ResultManager::resultReady, this, &ResultManager::writeTextResult);
}

ResultManager::~ResultManager() = default;

QString ResultManager::formatText(const QString& text, bool isFinal)
{
    QMutexLocker lock(&formatterMutex);
    return formatter.formatText(text, isFinal);
}

QString ResultManager::formatTextResult(const QString& text, bool isFinal)
{
    // Recognised text is patient data: the log gets its size only.
    QString more;
    bool logged = false;
    {
        QMutexLocker lock(&formatterMutex);
        logged = sourceLog.pass(&more);
    }
    if (logged)
        qDebug().noquote() << QStringLiteral("source text: %1 characters%2%3")
                                  .arg(text.size())
                                  .arg(isFinal ? QStringLiteral(" [final]") : QString(),
                                       more.isEmpty() ? QString() : QLatin1Char(' ') + more);
    const QString replaced = autoReplaceManager ? autoReplaceManager->ProcessText(text) : text;
    return formatText(replaced, isFinal);
}

QString ResultManager::processCommand(const QString& id)
{
    return executableCommandsManager ? executableCommandsManager->executeCommand(id) : QString();
}

void ResultManager::modeChanged(RecognitionModeInfo info)
{
    if (info.state() == Started)
        mode = info.mode();
}

void ResultManager::setProcessResults(bool processed)
{
    if (processResults == int(processed))
        return;
    processResults = int(processed);
    emit resultProcessingChanged(processed);
}

void ResultManager::resultReceived(TextResult result)
{
    if (processResults == 0)
        return;
    switch (mode) {
    case RecognitionModeNamespace::Off:
    case RecognitionModeNamespace::VoiceActivation:
        processVoiceActivationResult(result);
        break;
    case RecognitionModeNamespace::Text:
        processTextResult(result);
        break;
    case RecognitionModeNamespace::TemplatedForm:
    case RecognitionModeNamespace::TemplatedWizardForm:
        processTemplateResult(result);
        break;
    }
}

void ResultManager::processVoiceActivationResult(const TextResult& result)
{
    if (!result.commandId().isEmpty())
        runCommand(result.commandId(), false);
}

void ResultManager::processTemplateResult(const TextResult&)
{
}

void ResultManager::processTextResult(const TextResult& result)
{
    setLastResult(result.isFinal() ? nullptr : result.clone());
    if (!result.commandId().isEmpty()) {
        runCommand(result.commandId(), true);
        return;
    }
    const QString text = formatTextResult(result.text(), result.isFinal());
    if (result.isFinal() && commandRunning())
        waiting.push_back({QString(), text, true});
    else
        emit resultReady(text, result.isFinal());
}

void ResultManager::runCommand(const QString& id, bool typed)
{
    if (commandRunning())
        waiting.push_back({id, QString(), typed});
    else
        startCommand(id, typed);
}

void ResultManager::startCommand(const QString& id, bool typed)
{
    QString text;
    const quint64 run = ++lastCommandRun;
    const bool ranAtOnce = !executableCommandsManager
        || executableCommandsManager->startCommand(id, &text, this,
                                                   [this, run](const QString& ended) { commandEnded(run, ended); });
    // A command whose text is not typed holds nothing up.
    if (!typed)
        return;
    if (ranAtOnce)
        emit resultReady(text, true);
    else
        runningCommand = run;
}

void ResultManager::commandEnded(quint64 run, const QString& text)
{
    // Not the command that holds the results: untyped, or dropped by a stop.
    if (run != runningCommand)
        return;
    runningCommand = 0;
    emit resultReady(text, true);
    runWaitingSteps();
}

void ResultManager::runWaitingSteps()
{
    while (!commandRunning() && !waiting.empty()) {
        const Step step = waiting.front();
        waiting.pop_front();
        if (step.commandId.isEmpty())
            emit resultReady(step.text, true);
        else
            startCommand(step.commandId, step.typed);
    }
}

void ResultManager::dropTyping()
{
    // The document still being read goes on, but its text is not typed.
    runningCommand = 0;
    waiting.clear();
}

void ResultManager::writeTextResult(QString text, bool isFinal)
{
    if (isFinal)
        TextWriter::WriteText(getResultWindow(), text, fixWindow);
}

unsigned long ResultManager::getResultWindow()
{
    return fixWindow ? resultWindow : TextWriter::GetFocusedWindow();
}

void ResultManager::setLastResult(TextResult* result)
{
    lastResult.reset(result);
}

void ResultManager::modeStateChanged(RecognitionMode changedMode, AsrState state)
{
    if (state == Started) {
        reset();
        return;
    }
    if (changedMode != RecognitionModeNamespace::Text)
        return;
    if (state == Starting) {
        fixWindow = LaunchSettings().OutputToBackground;
        if (!fixWindow) {
            resultWindow = 0;
            return;
        }
        unsigned long recorded = 0;
        TargetModeInfo* target = asrManager ? asrManager->getTargetModeInfo() : nullptr;
        if (target && target->GetTargetHandles(&recorded)) {
            resultWindow = recorded;
        } else {
            resultWindow = TextWriter::GetFocusedWindow();
            qInfo() << "Result window:" << resultWindow;
            if (target)
                target->UpdateTargetHandles(resultWindow);
        }
    } else if (state == Stopping) {
        // A stop is heard at once: the word being typed is finished, what waits
        // behind it is not typed, nor what came before the stop and still waits
        // to be handled.
        dropTyping();
        if (const int dropped = linkResults->dropResults())
            qInfo().noquote() << QStringLiteral("Stop: %1 results received were not handled").arg(dropped);
        TextWriter::StopTyping();
    } else if (state == Stopped) {
        if (fixWindow)
            qInfo() << "Clear Result window";
        resultWindow = 0;
        // Whatever the server left unfinished belongs to a dictation that is over.
        lastResult.reset();
        linkResults->dropUnflushedPartials();
    }
}

void ResultManager::reset()
{
    const bool capitalizeFirst = ASRSettings().CapitalLetterAfterStart;
    {
        QMutexLocker lock(&formatterMutex);
        formatter.reset(capitalizeFirst);
    }
    lastResult.reset();
}

void ResultManager::flushResult()
{
    // What came before the link dropped is handled first.
    if (!linkResults->pushFlush())
        flushPendingResult();
}

void ResultManager::flushPendingResult()
{
    const std::unique_ptr<TextResult> pending = std::move(lastResult);
    if (!pending)
        return;
    pending->setIsFinal(true);
    processTextResult(*pending);
}
