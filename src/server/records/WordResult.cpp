#include "WordResult.h"

#include "Exception.h"
#include "JsonFields.h"

WordResult::WordResult() = default;

WordResult::WordResult(QJsonObject object)
    : m_begin(JsonFields::integer(object, QStringLiteral("Begin")))
    , m_dictorNum(JsonFields::integer(object, QStringLiteral("DictorNum")))
    , m_endSentence(JsonFields::integer(object, QStringLiteral("EndSentence")))
    , m_index(JsonFields::integer(object, QStringLiteral("Index")))
    , m_length(JsonFields::integer(object, QStringLiteral("Length")))
    , m_probabilityNorm(JsonFields::number(object, QStringLiteral("ProbabilityNorm")))
    , m_text(JsonFields::text(object, QStringLiteral("Text")))
{
}

WordResult::~WordResult() = default;

QJsonObject WordResult::toJson() const
{
    throw Exception("Not implemented");
}
