#pragma once

#include "JsonConvertable.h"

#include <QString>

// Which medical information system a form belongs to, as its handshake cookies
// MIS_TYPE, MIS_VERSION and MIS_USER name it: {"TypeId", "Version", "User"}.
class MISInfo : public JsonConvertable
{
public:
    MISInfo();
    explicit MISInfo(const QJsonObject& object);
    MISInfo(const MISInfo&) = default;
    MISInfo& operator=(const MISInfo&) = default;
    ~MISInfo() override;

    QString typeId() const { return m_typeId; }
    void setTypeId(const QString& typeId) { m_typeId = typeId; }
    QString version() const { return m_version; }
    void setVersion(const QString& version) { m_version = version; }
    QString user() const { return m_user; }
    void setUser(const QString& user) { m_user = user; }

    QJsonObject toJson() const override;

private:
    QString m_typeId;
    QString m_version;
    QString m_user;
};
