#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>

// The host and user identity, gathered once per process. The lookups may be
// slow (domain name, password database), so callers reach it off the GUI thread.
class UserInfo
{
public:
    UserInfo();

    // The process-wide record, created on first use and never deleted.
    static UserInfo* instance();

    void Initialize();

    QString hostName() const { return m_hostName; }
    QString userDomain() const { return m_userDomain; }
    // The operating system's pretty product name.
    QString environment() const { return m_environment; }
    // The full name of the login user, from the password database.
    QString userName() const { return m_userName; }

    // The full name part of a password database GECOS field.
    static QString fullNameFromGecos(const QByteArray& gecos);

    static UserInfo* m_instance;
    static QMutex m_mutex;

private:
    static QString fullNameOf(const QString& login);

    QString m_hostName;
    QString m_userDomain;
    QString m_environment;
    QString m_userName;
};
