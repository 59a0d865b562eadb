#pragma once

#include "JsonConvertable.h"
#include "VoiceInfo.h"

// The synthesis voice and speed the client asks for (message type 23).
class TtsParams : public JsonConvertable
{
public:
    TtsParams();
    TtsParams(const TtsParams&) = default;
    TtsParams& operator=(const TtsParams&) = default;
    ~TtsParams() override;

    VoiceInfo selectedVoice() const { return m_selectedVoice; }
    void setSelectedVoice(const VoiceInfo& voice) { m_selectedVoice.setName(voice.name()); }
    double speed() const { return m_speed; }
    void setSpeed(double speed) { m_speed = speed; }

    // The server reads the speed in lower case, unlike the state it sends.
    QJsonObject toJson() const override;

private:
    VoiceInfo m_selectedVoice;
    double m_speed = 0.0;
};
