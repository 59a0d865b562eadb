#include "ServerInfoDTO.h"

#include "JsonFields.h"

#include <limits>

namespace {
// A load beyond float's range would become infinite, which the cached list
// stores as null and reads back as 0: the busiest server would come first.
float loadLevel(const QJsonObject& object, const QString& key)
{
    constexpr double highest = std::numeric_limits<float>::max();
    const double value = JsonFields::number(object, key);
    return float(value > highest ? highest : value < -highest ? -highest : value);
}
} // namespace

ServerInfoDTO::ServerInfoDTO(QJsonObject object)
    : ServerId(JsonFields::text(object, QStringLiteral("ServerId")))
    , ConnectionString(JsonFields::text(object, QStringLiteral("ConnectionString")))
    , DeclaredLoadLevel(loadLevel(object, QStringLiteral("DeclaredLoadLevel")))
    , EstimatedLoadLevel(loadLevel(object, QStringLiteral("EstimatedLoadLevel")))
    , CanAcceptClient(JsonFields::flag(object, QStringLiteral("CanAcceptClient")))
    , LoadPerClient(loadLevel(object, QStringLiteral("LoadPerLevel")))
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
