#include "TtsStateInfo.h"

#include "Exception.h"
#include "JsonFields.h"

TtsStateInfo::TtsStateInfo() = default;

TtsStateInfo::TtsStateInfo(QJsonObject object)
    : m_state(JsonFields::integer(object, QStringLiteral("State")))
    , m_voiceList(JsonFields::list<VoiceInfo>(object, QStringLiteral("VoiceList")))
    , m_selectedVoice(JsonFields::object(object, QStringLiteral("SelectedVoice")))
    , m_speed(JsonFields::number(object, QStringLiteral("Speed")))
{
}

TtsStateInfo::~TtsStateInfo() = default;

QJsonObject TtsStateInfo::toJson() const
{
    throw Exception("Not Implemented");
}
