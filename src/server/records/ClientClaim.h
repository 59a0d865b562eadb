#pragma once

#include "JsonConvertable.h"
#include "MicrophoneInfo.h"

#include <QString>

// A feedback claim, posted to the server's REST path "Claim".
class ClientClaim : public JsonConvertable
{
public:
    ClientClaim();
    ClientClaim(const ClientClaim&) = default;
    ClientClaim& operator=(const ClientClaim&) = default;
    ~ClientClaim() override;

    QString themeName() const { return m_themeName; }
    void setThemeName(const QString& value) { m_themeName = value; }
    QString email() const { return m_email; }
    void setEmail(const QString& value) { m_email = value; }
    QString regionCode() const { return m_regionCode; }
    void setRegionCode(const QString& value) { m_regionCode = value; }
    QString organisationFullName() const { return m_organisationFullName; }
    void setOrganisationFullName(const QString& value) { m_organisationFullName = value; }
    // The organisation's registration number, sent as "OrganisationPsrn".
    QString organisationFullOgrn() const { return m_organisationFullOgrn; }
    void setOrganisationFullOgrn(const QString& value) { m_organisationFullOgrn = value; }
    QString organisationFullOid() const { return m_organisationFullOid; }
    void setOrganisationFullOid(const QString& value) { m_organisationFullOid = value; }
    QString room() const { return m_room; }
    void setRoom(const QString& value) { m_room = value; }
    QString operatingSystem() const { return m_operatingSystem; }
    void setOperatingSystem(const QString& value) { m_operatingSystem = value; }
    QString themeVersion() const { return m_themeVersion; }
    void setThemeVersion(const QString& value) { m_themeVersion = value; }
    QString clientId() const { return m_clientId; }
    void setClientId(const QString& value) { m_clientId = value; }
    QString hostName() const { return m_hostName; }
    void setHostName(const QString& value) { m_hostName = value; }
    QString account() const { return m_account; }
    void setAccount(const QString& value) { m_account = value; }
    QString userName() const { return m_userName; }
    void setUserName(const QString& value) { m_userName = value; }
    QString description() const { return m_description; }
    void setDescription(const QString& value) { m_description = value; }
    MicrophoneInfo microphoneInfo() const { return m_microphoneInfo; }
    void setMicrophoneInfo(const MicrophoneInfo& value) { m_microphoneInfo = value; }

    // Every key is always written, empty strings included.
    QJsonObject toJson() const override;

private:
    QString m_themeName;
    QString m_email;
    QString m_regionCode;
    QString m_organisationFullName;
    QString m_organisationFullOgrn;
    QString m_organisationFullOid;
    QString m_room;
    QString m_operatingSystem;
    QString m_themeVersion;
    QString m_clientId;
    QString m_hostName;
    QString m_account;
    QString m_userName;
    QString m_description;
    MicrophoneInfo m_microphoneInfo;
};
