#include "VoiceInfo.h"

#include "JsonFields.h"

VoiceInfo::VoiceInfo() = default;

VoiceInfo::VoiceInfo(QJsonObject object)
    : m_name(JsonFields::text(object, QStringLiteral("Name")))
{
}

VoiceInfo::~VoiceInfo() = default;

QJsonObject VoiceInfo::toJson() const
{
    return QJsonObject{{QStringLiteral("Name"), m_name}};
}
