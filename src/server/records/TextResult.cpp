#include "TextResult.h"

#include "Exception.h"
#include "JsonFields.h"

TextResult::TextResult() = default;

TextResult::TextResult(QJsonObject object)
    : m_text(JsonFields::text(object, QStringLiteral("Text")))
    , m_isFinal(JsonFields::flag(object, QStringLiteral("IsFinal")))
    , m_commandId(JsonFields::text(object, QStringLiteral("CommandId")))
    , m_words(JsonFields::list<WordResult>(object, QStringLiteral("Words")))
{
}

TextResult::~TextResult() = default;

TextResult* TextResult::clone() const
{
    return new TextResult(*this);
}

QJsonObject TextResult::toJson() const
{
    throw Exception("Not implemented");
}
