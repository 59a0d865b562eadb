#pragma once

#include "ConnectionStateInfo.h"
#include "TtsParams.h"
#include "TtsStateInfo.h"

#include <QByteArray>
#include <QJsonValue>
#include <QMutex>
#include <QObject>

// The client side of the server's speech synthesis: keeps the last state the
// server reported, sends the user's voice and speed, and passes synthesised
// sound on to playback. It has no link of its own: requests leave as signals.
class TtsManager : public QObject
{
    Q_OBJECT

public:
    static constexpr int VoiceRequestMessage = 21;
    static constexpr int TtsParamsMessage = 23;

    explicit TtsManager(QObject* parent = nullptr);
    ~TtsManager() override;

    void reloadTtsState();
    TtsParams readTtsParams() const;
    TtsStateInfo ttsState() const;

signals:
    void playSound(QByteArray data);
    void sendTtsParams(int messageType, QJsonValue ttsParams);
    void sendVoiceRequest(int messageType, QJsonValue request);
    void stateChanged(TtsStateInfo ttsState);

public slots:
    void onTtsSettingsChanged();
    void onTtsStateReceived(TtsStateInfo ttsState);
    void onSoundRecived(QByteArray data);
    void onConnectionStateChanged(ConnectionStateInfo stateInfo);

private:
    mutable QMutex lock;
    TtsStateInfo state;
};
