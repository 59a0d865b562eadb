#include "RecognitionModeInfo.h"

#include "JsonFields.h"

RecognitionModeInfo::RecognitionModeInfo() = default;

RecognitionModeInfo::RecognitionModeInfo(QJsonObject object)
    : m_mode(static_cast<RecognitionMode>(JsonFields::integer(object, QStringLiteral("Mode"))))
    , m_state(static_cast<AsrState>(JsonFields::integer(object, QStringLiteral("State"))))
    , m_info(JsonFields::text(object, QStringLiteral("Info")))
{
}

RecognitionModeInfo::~RecognitionModeInfo() = default;

QJsonObject RecognitionModeInfo::toJson() const
{
    return QJsonObject{
        {QStringLiteral("Mode"), int(m_mode)},
        {QStringLiteral("State"), int(m_state)},
        {QStringLiteral("Info"), m_info},
    };
}
