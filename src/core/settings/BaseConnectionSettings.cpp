#include "BaseConnectionSettings.h"

#include "AppVariables.h"

BaseConnectionSettings::BaseConnectionSettings(const QString& group, const QString& defaultIp,
                                               int defaultPort, int defaultRestPort, bool defaultUseTls)
    : Settings(group)
    , m_defaultIp(defaultIp)
    , m_defaultPort(defaultPort)
    , m_defaultRestPort(defaultRestPort)
    , m_defaultUseTls(defaultUseTls)
    , Ip(this, QStringLiteral("Ip"), defaultIp)
    , Port(this, QStringLiteral("Port"), defaultPort)
    , RestPort(this, QStringLiteral("RestPort"), defaultRestPort)
    , UseTls(this, QStringLiteral("UseTls"), defaultUseTls)
{
}

BaseConnectionSettings::~BaseConnectionSettings() = default;

QString BaseConnectionSettings::DefaultIpAddress()
{
    return AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("DefaultServerAddress"));
}

bool BaseConnectionSettings::DefaultUseTls()
{
    return false;
}

int BaseConnectionSettings::DefaultPort()
{
    return 0;
}

int BaseConnectionSettings::DefaultRestPort()
{
    return 0;
}

bool BaseConnectionSettings::isLocalhost()
{
    const QString ip = QString(Ip).trimmed();
    return ip == QLatin1String("localhost") || ip == QLatin1String("127.0.0.1");
}
