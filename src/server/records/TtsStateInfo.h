#pragma once

#include "JsonConvertable.h"
#include "VoiceInfo.h"

#include <QList>
#include <QMetaType>

// The server's speech-synthesis state (message type 22).
class TtsStateInfo : public JsonConvertable
{
public:
    TtsStateInfo();
    explicit TtsStateInfo(QJsonObject object);
    TtsStateInfo(const TtsStateInfo&) = default;
    TtsStateInfo& operator=(const TtsStateInfo&) = default;
    ~TtsStateInfo() override;

    // 0 synthesis is available, 1 its initialisation failed.
    int state() const { return m_state; }
    QList<VoiceInfo> voiceList() const { return m_voiceList; }
    VoiceInfo selectedVoice() const { return m_selectedVoice; }
    double speed() const { return m_speed; }

    // Only the server writes its state.
    QJsonObject toJson() const override;

private:
    int m_state = 1;
    QList<VoiceInfo> m_voiceList;
    VoiceInfo m_selectedVoice;
    double m_speed = 0.0;
};

Q_DECLARE_METATYPE(TtsStateInfo)
