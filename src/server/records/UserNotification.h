#pragma once

#include "JsonConvertable.h"

#include <QMetaType>
#include <QString>

// Which tray icon goes with the message; other values show none.
enum NotificationType : int {
    NotificationTypeNone = 0,
    NotificationTypeInformation = 1,
    NotificationTypeWarning = 2,
    NotificationTypeCritical = 3
};

enum NotificationAction : int {
    // Show the message in a tray balloon.
    NotificationActionShow = 0,
    // Disconnect and switch recognition off.
    NotificationActionDisconnect = 1,
    // Stop recognition and show the message.
    NotificationActionStopRecognition = 2
};

// A message for the user (message type 5), from the server or made by the client.
class UserNotification : public JsonConvertable
{
public:
    UserNotification();
    explicit UserNotification(QJsonObject object);
    UserNotification(const UserNotification&) = default;
    UserNotification& operator=(const UserNotification&) = default;
    ~UserNotification() override;

    QString message() const { return m_message; }
    void setMessage(const QString& message) { m_message = message; }
    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    NotificationType type() const { return m_type; }
    void setType(const NotificationType& type) { m_type = type; }
    NotificationAction action() const { return m_action; }
    void setAction(const NotificationAction& action) { m_action = action; }
    // Shown even when the connection is not ready.
    bool force() const { return m_force; }
    void setForce(bool force) { m_force = force; }

    // Only the server writes notifications.
    QJsonObject toJson() const override;

private:
    QString m_message;
    QString m_title;
    NotificationType m_type = NotificationTypeNone;
    NotificationAction m_action = NotificationActionShow;
    bool m_force = false;
};

Q_DECLARE_METATYPE(UserNotification)
