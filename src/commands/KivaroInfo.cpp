#include "KivaroInfo.h"

#include <QJsonArray>

KivaroInfo::KivaroInfo() = default;

KivaroInfo::KivaroInfo(const QStringList& words)
    : m_words(words)
{
}

KivaroInfo::~KivaroInfo() = default;

QJsonObject KivaroInfo::toJson() const
{
    return QJsonObject{{QStringLiteral("Words"), QJsonArray::fromStringList(m_words)}};
}
