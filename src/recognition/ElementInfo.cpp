#include "ElementInfo.h"

namespace {
const QString KeyField = QStringLiteral("Key");
}

ElementInfo::ElementInfo() = default;

ElementInfo::ElementInfo(const QJsonObject& object)
    : m_key(object.value(KeyField).toString())
{
}

ElementInfo::~ElementInfo() = default;

QJsonObject ElementInfo::toJson() const
{
    return QJsonObject{{KeyField, m_key}};
}
