#include "UserInfo.h"

#include "AppVariables.h"

#include <QHostInfo>
#include <QMutexLocker>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

#include <vector>

UserInfo* UserInfo::m_instance = nullptr;
QMutex UserInfo::m_mutex;

UserInfo::UserInfo()
{
    Initialize();
}

UserInfo* UserInfo::instance()
{
    QMutexLocker lock(&m_mutex);
    if (!m_instance)
        m_instance = new UserInfo();
    return m_instance;
}

void UserInfo::Initialize()
{
    m_hostName = QHostInfo::localHostName();
    m_userDomain = QHostInfo::localDomainName();
    m_environment = QSysInfo::prettyProductName();
    m_userName = fullNameOf(AppVariables::sm_stdVars.get(QStringLiteral("env"), QStringLiteral("USER")));
}

QString UserInfo::fullNameOf(const QString& login)
{
    if (login.isEmpty())
        return QString();
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? size_t(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    const QByteArray name = login.toUtf8();
    if (getpwnam_r(name.constData(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_gecos)
        return QString();
    return fullNameFromGecos(QByteArray(found->pw_gecos));
}

QString UserInfo::fullNameFromGecos(const QByteArray& gecos)
{
    // The full name comes first, then further comma-separated fields.
    return QString::fromUtf8(gecos).split(QLatin1Char(','), Qt::KeepEmptyParts).first();
}
