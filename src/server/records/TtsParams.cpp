#include "TtsParams.h"

TtsParams::TtsParams() = default;

TtsParams::~TtsParams() = default;

QJsonObject TtsParams::toJson() const
{
    return QJsonObject{
        {QStringLiteral("speed"), m_speed},
        {QStringLiteral("SelectedVoice"), m_selectedVoice.toJson()},
    };
}
