#include "MISInfo.h"

namespace {
const QString TypeIdField = QStringLiteral("TypeId");
const QString VersionField = QStringLiteral("Version");
const QString UserField = QStringLiteral("User");

void readIfPresent(const QJsonObject& object, const QString& key, QString* field)
{
    if (object.contains(key))
        *field = object.value(key).toString();
}
} // namespace

MISInfo::MISInfo() = default;

MISInfo::MISInfo(const QJsonObject& object)
{
    readIfPresent(object, TypeIdField, &m_typeId);
    readIfPresent(object, VersionField, &m_version);
    readIfPresent(object, UserField, &m_user);
}

MISInfo::~MISInfo() = default;

QJsonObject MISInfo::toJson() const
{
    return QJsonObject{{TypeIdField, m_typeId}, {VersionField, m_version}, {UserField, m_user}};
}
