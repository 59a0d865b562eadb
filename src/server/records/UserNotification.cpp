#include "UserNotification.h"

#include "Exception.h"
#include "JsonFields.h"

UserNotification::UserNotification() = default;

UserNotification::UserNotification(QJsonObject object)
    : m_message(JsonFields::text(object, QStringLiteral("Message")))
    , m_type(static_cast<NotificationType>(JsonFields::integer(object, QStringLiteral("Type"))))
    , m_action(static_cast<NotificationAction>(JsonFields::integer(object, QStringLiteral("Action"))))
{
}

UserNotification::~UserNotification() = default;

QJsonObject UserNotification::toJson() const
{
    throw Exception("Not implemented");
}
