#include "SynthesisSettingsViewModel.h"

#include "PropertyChange.h"
#include "TTSSettings.h"
#include "TtsManager.h"

SynthesisSettingsViewModel::SynthesisSettingsViewModel(QObject* parent)
    : AppSettingsViewModel(QStringLiteral("Синтез"), true, parent)
{
    voiceTimer.setSingleShot(true);
    voiceTimer.setInterval(7000);
    connect(&voiceTimer, &QTimer::timeout, this, &SynthesisSettingsViewModel::onVoiceRequestTimeout);
}

SynthesisSettingsViewModel::~SynthesisSettingsViewModel() = default;

void SynthesisSettingsViewModel::set_ErrorMessage(QString message)
{
    changeProperty(this, errorMessage, message, &SynthesisSettingsViewModel::changed_ErrorMessage);
}

void SynthesisSettingsViewModel::set_Voices(QStringList list)
{
    changeProperty(this, voices, list, &SynthesisSettingsViewModel::changed_Voices);
}

void SynthesisSettingsViewModel::set_SelectedVoiceIndex(int index)
{
    changeProperty(this, selectedVoiceIndex, index, &SynthesisSettingsViewModel::changed_SelectedVoiceIndex);
}

void SynthesisSettingsViewModel::set_TTSSpeed(double speed)
{
    changeProperty(this, ttsSpeed, speed, &SynthesisSettingsViewModel::changed_TTSSpeed);
}

void SynthesisSettingsViewModel::Load()
{
    TTSSettings settings;
    storedEnabled = settings.IsTtsEnabled;
    isTtsEnabled = storedEnabled;
    emit changed_IsTtsEnabled(isTtsEnabled);
    set_TTSSpeed(settings.Speed);
    if (ttsManager) {
        ttsManager->reloadTtsState();
        voices.clear();
        set_SelectedVoiceIndex(-1);
        set_VoicesLoading(true);
        voiceTimer.start();
    }
}

void SynthesisSettingsViewModel::set_VoicesLoading(bool loading)
{
    changeProperty(this, voicesLoading, loading, &SynthesisSettingsViewModel::changed_VoicesLoading);
}

void SynthesisSettingsViewModel::onVoiceRequestTimeout()
{
    set_VoicesLoading(false);
    set_ErrorMessage(QStringLiteral("Не удалось загрузить список голосов: сервер не ответил. "
                                    "Закройте и снова откройте настройки, чтобы попробовать ещё раз."));
}

void SynthesisSettingsViewModel::Apply()
{
    TTSSettings settings;
    // Before the server's voice list arrives there is no choice to store: keep the stored voice.
    const QString voice = selectedVoiceIndex >= 0 && selectedVoiceIndex < voices.size() ? voices.at(selectedVoiceIndex)
                                                                                        : QString(settings.Voice);
    if (settings.saveTtsSettings(voice, storedEnabled, ttsSpeed))
        emit ttsSettingsChanged();
}

void SynthesisSettingsViewModel::OnTtsStateChanged(TtsStateInfo ttsState)
{
    voiceTimer.stop();
    set_VoicesLoading(false);
    QStringList names;
    for (const VoiceInfo& voice : ttsState.voiceList())
        names << voice.name();
    set_Voices(names);

    const int stored = names.indexOf(QString(TTSSettings().Voice));
    if (stored >= 0)
        set_SelectedVoiceIndex(stored);
    else if (!names.isEmpty())
        set_SelectedVoiceIndex(0);

    switch (ttsState.state()) {
    case 0:
        set_ErrorMessage(QString());
        break;
    case 1:
        set_ErrorMessage(QStringLiteral("Ошибка инициализации TTS"));
        isTtsEnabled = false;
        emit changed_IsTtsEnabled(false);
        break;
    default:
        break;
    }
}
