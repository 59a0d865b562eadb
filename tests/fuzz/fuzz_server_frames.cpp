// Frames of the recognition server through the real dispatch and what stands
// behind it: mode reports, results with auto-replace, formatting and command
// ids, notifications, theme choices, speech synthesis state and sound. Text
// goes to a recording writer instead of X11. Each input line is one text
// frame; a line starting with '#' is a binary frame of the rest of the line.
#include "FuzzEnvironment.h"

#include "AsrManager.h"
#include "AutoReplaceManager.h"
#include "ConnectionManager.h"
#include "DataMessageProcessor.h"
#include "PlaybackDeviceManager.h"
#include "RecordingTextWriter.h"
#include "ResultManager.h"
#include "ResultPart.h"
#include "TtsManager.h"
#include "UserCommandFiles.h"
#include "UserCommandsManager.h"
#include "WebSocketClient.h"
#include "WebSocketWorker.h"

#include <QCoreApplication>
#include <QDir>

using FuzzEnvironment::fail;

namespace {
// Commands the frames can name: text and key chords only, nothing that starts a program.
const char* const commandFile = R"({"ThemeId": "", "ThemeName": "", "Commands": [
  {"Type": "text", "Id": "", "Pattern": "новая строка", "Text": "\n", "IsPunctuation": false},
  {"Type": "text", "Id": "", "Pattern": "тире", "Text": "\u0001", "IsPunctuation": true},
  {"Type": "key", "Id": "", "Pattern": "сохранить", "Text": "Ctrl+S", "IsPunctuation": false}]})";

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

void FuzzEnvironment::setUp()
{
    const QString folder = UserCommandsManager::commandsFolder();
    QDir().mkpath(folder);
    FuzzEnvironment::writeFile(QDir(folder).filePath(UserCommandFiles::DefaultFileName), commandFile);
}

extern "C" int LLVMFuzzerTestOneInput(const char* data, size_t size)
{
    if (size > 256 * 1024)
        return -1;
    RecordingTextWriter writer;
    writer.focusedWindow = 1;
    {
        // Wired as the program wires them, all in this thread.
        UserCommandsManager userCommands;
        AutoReplaceManager autoReplace;
        WebSocketWorker worker(&autoReplace, &userCommands);
        AsrManager* asr = worker.asrManager();
        userCommands.setAsrManager(asr);
        userCommands.LoadAll();
        autoReplace.set_Managers(asr, &userCommands);
        ConnectionManager driver(worker.wsClient(), asr, nullptr);
        QObject::connect(&driver, &ConnectionManager::disconnected, worker.resultManager(), &ResultManager::flushResult);
        TtsManager tts;
        PlaybackDeviceManager playback(nullptr);
        DataMessageProcessor* processor = worker.wsClient()->messageProcessor();
        QObject::connect(processor, &DataMessageProcessor::ttsStateReceived, &tts, &TtsManager::onTtsStateReceived);
        QObject::connect(processor, &DataMessageProcessor::ttsSound, &tts, &TtsManager::onSoundRecived);
        QObject::connect(&tts, &TtsManager::playSound, &playback, &PlaybackDeviceManager::playSound);

        const QByteArray input(data, int(size));
        for (const QByteArray& line : input.split('\n')) {
            if (line.startsWith('#'))
                processor->onBinaryMessageReceived(line.mid(1));
            else
                processor->onTextMessageReceived(QString::fromUtf8(line));
            settle();
        }
        // The link drops: a pending partial result is typed as final.
        worker.resultManager()->flushResult();
        settle();
    }
    for (const QString& typed : writer.typedTexts()) {
        for (const QChar c : typed) {
            if (c == QChar(ResultPart::DashMarker) || c == QChar(ResultPart::OpenQuoteMarker)
                || c == QChar(ResultPart::CloseQuoteMarker))
                fail(QStringLiteral("a marker character was typed"));
        }
    }
    return 0;
}
