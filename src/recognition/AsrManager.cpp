#include "AsrManager.h"

#include "ASRSettings.h"
#include "DataMessageProcessor.h"
#include "RecognitionModeCommand.h"
#include "RecognitionParameters.h"
#include "RestAccessPoint.h"
#include "WebSocketClient.h"

#include <QJsonDocument>
#include <QMetaEnum>
#include <QMutexLocker>
#include <QThread>
#include <QtDebug>

#include <optional>

namespace {
const int ReadyState = 14;
const int DisconnectedState = 1;
const int FailedState = 0;
const int ThemeCheckState = 13;
const QString NotConnectedMessage = QStringLiteral("Не удалось подключиться к серверу");
const QString ThemeFirstMessage = QStringLiteral("Сначала выберите тему распознавания в окне «Выбор темы».");
} // namespace

AsrManager::AsrManager(WebSocketClient* client)
    : QObject(nullptr)
    , client(client)
{
    qRegisterMetaType<RecognitionModeInfo>("RecognitionModeInfo");
    qRegisterMetaType<ConnectionStateInfo>("ConnectionStateInfo");
    qRegisterMetaType<AsrState>("AsrState");
    qRegisterMetaType<RecognitionMode>("RecognitionMode");

    const QMetaEnum modes = QMetaEnum::fromType<RecognitionMode>();
    for (int i = 0; i < modes.keyCount(); ++i)
        modeStates.insert(RecognitionMode(modes.value(i)), Stopped);

    if (client)
        connect(client->messageProcessor(), &DataMessageProcessor::modeChanged, this, &AsrManager::updateModeStateInfo);
}

AsrManager::~AsrManager()
{
    if (themeFetchThread) {
        // The REST wait gives up at the request, so this ends at once.
        themeFetchThread->requestInterruption();
        themeFetchThread->wait();
        delete themeFetchThread;
    }
}

void AsrManager::startRecognitionMode(RecognitionMode* mode, bool backup)
{
    const QString themeId = getSelectedTheme().id();

    QMutexLocker locker(&stateMutex);
    const RecognitionMode requested = mode ? *mode : RecognitionModeNamespace::Text;
    const std::optional<RecognitionMode> current = targetModeInfo.mode();
    const bool same = current && *current == requested;
    const bool offWithoutTarget = !current && mode && *mode == RecognitionModeNamespace::Off;
    if (!same && !offWithoutTarget) {
        RecognitionModeInfo stopping;
        stopping.setMode(current.value_or(RecognitionModeNamespace::Off));
        stopping.setState(Stopping);
        updateModeStateInfo(stopping);
    }

    if (backup) {
        // A stop while a form is connected keeps its form for the next start.
        std::optional<FormMetadata> form;
        std::optional<QString> element;
        if (formConnected.load() && requested <= RecognitionModeNamespace::VoiceActivation)
            targetModeInfo.getTargetModeInfo(&form, &element);
        targetModeInfo.BackupTargetMode(&requested, form ? &*form : nullptr, element ? &*element : nullptr, themeId);
    }

    RecognitionModeCommand command;
    command.setType(mode);
    if (client)
        client->sendData(ModeCommandMessage, &command);
}

void AsrManager::startUninteractiveMode()
{
    QMutexLocker locker(&stateMutex);
    RecognitionMode idle = isVoiceActivationEnabled.load() ? RecognitionModeNamespace::VoiceActivation
                                                           : RecognitionModeNamespace::Off;
    startRecognitionMode(&idle, true);
}

void AsrManager::startTargetMode()
{
    RecognitionMode mode = targetModeInfo.getTargetMode();
    if (!TargetModeInfo::isFormMode(mode)) {
        startRecognitionMode(&mode, true);
        return;
    }
    sendTargetForm();
}

void AsrManager::sendTargetForm()
{
    std::optional<FormMetadata> form;
    std::optional<QString> element;
    targetModeInfo.getTargetModeInfo(&form, &element);
    TtsMute();
    if (client && form)
        client->sendData(FormMetadataMessage, &*form);
    if (client && element)
        client->sendJson(FormElementMessage, QJsonValue(*element));
    TtsUnmute();
}

void AsrManager::setFormConnected(bool connected)
{
    formConnected.store(connected);
    if (connected) {
        // A new page brings its own form: the stop that follows its opening must not keep an earlier one.
        targetModeInfo.setForm(nullptr);
        targetModeInfo.setFormElement(nullptr);
    } else {
        // Nothing can resume the form of a page that went away.
        targetModeInfo.ForgetPausedForm();
    }
}

bool AsrManager::isDictationShown()
{
    QMutexLocker locker(&stateMutex);
    return dictationShown;
}

AsrState AsrManager::currentState()
{
    QMutexLocker locker(&stateMutex);
    const RecognitionMode mode = targetModeInfo.mode().value_or(RecognitionModeNamespace::Off);
    return modeStates.value(mode, Stopped);
}

RecognitionMode AsrManager::getLastStartedMode()
{
    QMutexLocker locker(&stateMutex);
    return lastStartedMode;
}

ClientThemeInfo AsrManager::getSelectedTheme()
{
    QMutexLocker locker(&themeMutex);
    return currentTheme;
}

QList<ClientThemeInfo> AsrManager::get_Themes(bool force)
{
    {
        QMutexLocker locker(&themeMutex);
        if (!themes.isEmpty() && !force)
            return themes;
    }
    ++themeFetches;
    return fetchCountedThemes();
}

QList<ClientThemeInfo> AsrManager::fetchCountedThemes()
{
    // The fetch blocks for up to the REST limit: no lock is held across it,
    // and each caller's thread gets its own access point.
    QList<ClientThemeInfo> fetched;
    try {
        fetched = RestAccessPoint().getThemes();
    } catch (...) {
        --themeFetches;
        emit themesFetched(false);
        throw;
    }
    {
        QMutexLocker locker(&themeMutex);
        themes = fetched;
    }

    std::optional<ClientThemeInfo> found;
    if (targetModeInfo.FindTargetTheme(fetched, &found))
        updateSelectedThemeInfo(found ? found->id() : QString(ASRSettings().SelectedTheme));
    --themeFetches;
    emit themesFetched(true);
    return fetched;
}

QList<ClientThemeInfo> AsrManager::knownThemes()
{
    QMutexLocker locker(&themeMutex);
    return themes;
}

void AsrManager::fetchThemes()
{
    if (themeFetchThread || isFetchingThemes())
        return;
    // Counted before the thread starts: a window opened now already sees the fetch.
    ++themeFetches;
    themeFetchThread = QThread::create([this] {
        try {
            fetchCountedThemes();
        } catch (const std::exception& e) {
            qWarning().noquote() << QStringLiteral("Theme list: ") + QString::fromUtf8(e.what());
        }
    });
    themeFetchThread->setObjectName(QStringLiteral("ThemeFetch"));
    connect(themeFetchThread, &QThread::finished, this, [this] {
        themeFetchThread->wait();
        delete themeFetchThread;
        themeFetchThread = nullptr;
    });
    themeFetchThread->start();
}

void AsrManager::updateSelectedThemeInfo(const QString& themeId)
{
    {
        QMutexLocker locker(&themeMutex);
        for (const ClientThemeInfo& theme : qAsConst(themes)) {
            if (theme.id() == themeId) {
                currentTheme = theme;
                break;
            }
        }
    }
    emit selectedThemeChanged();
}

void AsrManager::applySelectedTheme(bool stop)
{
    if (stop)
        stopRecognition();
    updateSelectedThemeInfo(ASRSettings().SelectedTheme);
    ClientThemeInfo theme = getSelectedTheme();
    if (client && !theme.id().isEmpty())
        client->sendData(SelectedThemeMessage, &theme);
}

void AsrManager::TtsMute()
{
    if (client)
        client->sendJson(TtsMuteMessage, QJsonValue());
}

void AsrManager::TtsUnmute()
{
    if (client)
        client->sendJson(TtsUnmuteMessage, QJsonValue());
}

void AsrManager::updateModeStateInfo(RecognitionModeInfo modeInfo)
{
    QMutexLocker locker(&stateMutex);
    const RecognitionMode mode = modeInfo.mode();
    const AsrState state = modeInfo.state();
    auto it = modeStates.find(mode);
    if (it == modeStates.end() || it.value() == state)
        return;

    QString more;
    if (modeLog.pass(&more))
        qInfo().noquote() << QStringLiteral("Mode changed: ")
                + QString::fromUtf8(QJsonDocument(modeInfo.toJson()).toJson(QJsonDocument::Compact)) << more;
    it.value() = state;
    // The monitor's own rule, applied to the same reports in the same order.
    if (mode > RecognitionModeNamespace::VoiceActivation && state != Stopping)
        dictationShown = state != Stopped;
    emit currentModeOrStateChanged(mode, state);

    if (state == Started)
        lastStartedMode = mode;
}

void AsrManager::startRecognition()
{
    QMutexLocker locker(&stateMutex);
    ++starts;
    if (connectedFlag.load()) {
        // With a form connected, dictation goes into it as a reconnection resumes it.
        if (formConnected.load() && targetModeInfo.RestoreFormMode())
            sendTargetForm();
        else
            startRecognitionMode(nullptr, true);
        return;
    }
    QString error = connectionMessage.isEmpty() ? NotConnectedMessage : connectionMessage;
    locker.unlock();
    emit errorNotification(error);
}

void AsrManager::stopRecognition()
{
    QMutexLocker locker(&stateMutex);
    startUninteractiveMode();
    // The server may never confirm the stop (the link dropped, a slow server):
    // the next toggle must start, not stop again.
    dictationShown = false;
}

void AsrManager::stopRecognitionStartedBefore(quint64 count)
{
    QMutexLocker locker(&stateMutex);
    if (starts.load() == count)
        stopRecognition();
}

void AsrManager::changeRecognition()
{
    // What the user sees decides, not the target: a form's target may stand
    // while its dictation is not running.
    QMutexLocker locker(&stateMutex);
    if (dictationShown)
        stopRecognition();
    else
        startRecognition();
}

void AsrManager::reportTargetMode(AsrState state, const QString& info)
{
    RecognitionModeInfo report;
    report.setMode(targetModeInfo.mode().value_or(RecognitionModeNamespace::Off));
    report.setState(state);
    report.setInfo(info);
    updateModeStateInfo(report);
}

void AsrManager::connectionStateChanged(ConnectionStateInfo stateInfo)
{
    QMutexLocker locker(&stateMutex);
    connectedFlag.store(false);
    const int state = stateInfo.state();

    if (state == ReadyState) {
        connectionMessage.clear();
        connectedFlag.store(true);
        locker.unlock();
        applyRecognitionSettings();
        applySelectedTheme(false);
        emit connected();
        startTargetMode();
        return;
    }

    if (state == DisconnectedState) {
        enabled.store(true);
        reportTargetMode(Starting);
    } else if (state == FailedState) {
        reportTargetMode(Stopped, QStringLiteral("On disconnected"));
    }
    // Connected, only waiting for the user's theme choice.
    if (state == ThemeCheckState)
        connectionMessage = ThemeFirstMessage;
    else
        connectionMessage = stateInfo.message().isEmpty() ? NotConnectedMessage : stateInfo.message();
}

void AsrManager::applyRecognitionSettings()
{
    ASRSettings settings;
    RecognitionParameters parameters(settings.SendingMode, settings.UsePunctuation);
    if (client)
        client->sendData(RecognitionParametersMessage, &parameters);
}

void AsrManager::selectedTheme()
{
    applySelectedTheme(true);
}
