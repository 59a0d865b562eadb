#include "ConnectionStateInfo.h"

ConnectionStateInfo::ConnectionStateInfo()
    : QObject(nullptr)
{
}

ConnectionStateInfo::ConnectionStateInfo(const ConnectionStateInfo& other)
    : QObject(nullptr)
{
    *this = other;
}

ConnectionStateInfo& ConnectionStateInfo::operator=(const ConnectionStateInfo& other)
{
    m_oldState = other.m_oldState;
    m_state = other.m_state;
    m_notificationEnabled = other.m_notificationEnabled;
    m_message = other.m_message;
    m_balancerHost = other.m_balancerHost;
    m_serverHost = other.m_serverHost;
    return *this;
}

ConnectionStateInfo::~ConnectionStateInfo() = default;
