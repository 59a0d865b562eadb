#include "TtsManager.h"

#include "TTSSettings.h"
#include "VoiceInfo.h"

#include <QJsonObject>
#include <QMutexLocker>

namespace {
const int ReadyState = 14;
}

TtsManager::TtsManager(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<TtsStateInfo>("TtsStateInfo");
    qRegisterMetaType<ConnectionStateInfo>("ConnectionStateInfo");
}

TtsManager::~TtsManager() = default;

TtsParams TtsManager::readTtsParams() const
{
    TTSSettings settings;
    TtsParams params;
    params.setSpeed(settings.Speed);
    VoiceInfo voice;
    voice.setName(settings.Voice);
    params.setSelectedVoice(voice);
    return params;
}

TtsStateInfo TtsManager::ttsState() const
{
    QMutexLocker locker(&lock);
    return state;
}

void TtsManager::reloadTtsState()
{
    emit sendVoiceRequest(VoiceRequestMessage, QJsonObject());
}

void TtsManager::onTtsSettingsChanged()
{
    emit sendTtsParams(TtsParamsMessage, readTtsParams().toJson());
}

void TtsManager::onTtsStateReceived(TtsStateInfo ttsState)
{
    TtsStateInfo copy;
    {
        QMutexLocker locker(&lock);
        state = ttsState;
        copy = state;
    }
    emit stateChanged(copy);
}

void TtsManager::onSoundRecived(QByteArray data)
{
    emit playSound(data);
}

void TtsManager::onConnectionStateChanged(ConnectionStateInfo stateInfo)
{
    if (stateInfo.state() == ReadyState)
        emit sendTtsParams(TtsParamsMessage, readTtsParams().toJson());
}
