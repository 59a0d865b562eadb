#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

// One report of the connection state, published by the connection driver
// with every change and received by value in every listener's thread.
class ConnectionStateInfo : public QObject
{
    Q_OBJECT

public:
    ConnectionStateInfo();
    // A copy has the source's fields but no parent: copies are made and
    // destroyed in whichever thread a queued signal delivers them to, and a
    // parent would delete a value that something else still holds.
    ConnectionStateInfo(const ConnectionStateInfo& other);
    // Copies the fields; the parent stays.
    ConnectionStateInfo& operator=(const ConnectionStateInfo& other);
    ~ConnectionStateInfo() override;

    int oldState() const { return m_oldState; }
    void setOldState(int state) { m_oldState = state; }
    int state() const { return m_state; }
    void setState(int state) { m_state = state; }
    bool notificationEnabled() const { return m_notificationEnabled; }
    void setNotificationEnabled(bool enabled) { m_notificationEnabled = enabled; }
    QString message() const { return m_message; }
    void setMessage(const QString& message) { m_message = message; }
    QString balancerHost() const { return m_balancerHost; }
    void setBalancerHost(const QString& host) { m_balancerHost = host; }
    QString serverHost() const { return m_serverHost; }
    void setServerHost(const QString& host) { m_serverHost = host; }

private:
    int m_oldState = 0;
    int m_state = 0;
    bool m_notificationEnabled = false;
    QString m_message;
    QString m_balancerHost;
    QString m_serverHost;
};

Q_DECLARE_METATYPE(ConnectionStateInfo)
