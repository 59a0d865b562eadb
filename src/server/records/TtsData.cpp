#include "TtsData.h"

#include "Exception.h"
#include "JsonFields.h"

TtsData::TtsData() = default;

TtsData::TtsData(QJsonObject object)
    : m_isLastPart(JsonFields::flag(object, QStringLiteral("IsLastPart")))
{
}

TtsData::~TtsData() = default;

QJsonObject TtsData::toJson() const
{
    throw Exception("Not implemented");
}
