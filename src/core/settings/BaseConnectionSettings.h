#pragma once

#include "Setting.h"
#include "Settings.h"

// One server endpoint: address, WebSocket port, REST port and TLS flag.
class BaseConnectionSettings : public Settings
{
    Q_OBJECT

public:
    BaseConnectionSettings(const QString& group, const QString& defaultIp, int defaultPort,
                           int defaultRestPort, bool defaultUseTls);
    ~BaseConnectionSettings() override;

    virtual QString DefaultIpAddress();
    virtual bool DefaultUseTls();
    virtual int DefaultPort();
    virtual int DefaultRestPort();

    // True for "localhost" or "127.0.0.1" (blanks trimmed, case-sensitive).
    bool isLocalhost();

private:
    const QString m_defaultIp;
    const int m_defaultPort;
    const int m_defaultRestPort;
    const bool m_defaultUseTls;

public:
    Setting<QString> Ip;
    Setting<int> Port;
    Setting<int> RestPort;
    Setting<bool> UseTls;
};
