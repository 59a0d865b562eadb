#include "ServerInfoDTO.h"

#include "JsonFields.h"

ServerInfoDTO::ServerInfoDTO(QJsonObject object)
    : ServerId(JsonFields::text(object, QStringLiteral("ServerId")))
    , ConnectionString(JsonFields::text(object, QStringLiteral("ConnectionString")))
    , DeclaredLoadLevel(float(JsonFields::number(object, QStringLiteral("DeclaredLoadLevel"))))
    , EstimatedLoadLevel(float(JsonFields::number(object, QStringLiteral("EstimatedLoadLevel"))))
    , CanAcceptClient(JsonFields::flag(object, QStringLiteral("CanAcceptClient")))
    , LoadPerClient(float(JsonFields::number(object, QStringLiteral("LoadPerLevel"))))
    , LastUpdateDate(QDateTime::fromString(JsonFields::text(object, QStringLiteral("LastUpdateDate")), Qt::ISODateWithMs))
{
}

ServerInfoDTO::~ServerInfoDTO() = default;

QJsonObject ServerInfoDTO::toJson() const
{
    return QJsonObject{
        {QStringLiteral("ServerId"), ServerId},
        {QStringLiteral("ConnectionString"), ConnectionString},
        {QStringLiteral("DeclaredLoadLevel"), double(DeclaredLoadLevel)},
        {QStringLiteral("EstimatedLoadLevel"), double(EstimatedLoadLevel)},
        {QStringLiteral("CanAcceptClient"), CanAcceptClient},
        {QStringLiteral("LoadPerClient"), double(LoadPerClient)},
        {QStringLiteral("LastUpdateDate"), LastUpdateDate.toString(Qt::ISODateWithMs)},
    };
}
