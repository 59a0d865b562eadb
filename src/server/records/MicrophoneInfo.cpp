#include "MicrophoneInfo.h"

MicrophoneInfo::MicrophoneInfo() = default;

MicrophoneInfo::~MicrophoneInfo() = default;

QJsonObject MicrophoneInfo::toJson() const
{
    return QJsonObject{
        {QStringLiteral("MicHwId"), m_micHwId},
        {QStringLiteral("MicDisplayName"), m_micDisplayName},
        {QStringLiteral("MicLevel"), m_micLevel},
    };
}
