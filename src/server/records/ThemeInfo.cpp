#include "ThemeInfo.h"

#include "Exception.h"
#include "JsonFields.h"

ThemeInfo::ThemeInfo(QJsonObject object)
    : Id(JsonFields::text(object, QStringLiteral("Id")))
    , ThemeId(JsonFields::text(object, QStringLiteral("ThemeId")))
    , Name(JsonFields::text(object, QStringLiteral("Name")))
    , ThemeVersion(JsonFields::text(object, QStringLiteral("ThemeVersion")))
    , ShopUrl(JsonFields::text(object, QStringLiteral("ShopUrl")))
    , UpdateConfigName(JsonFields::text(object, QStringLiteral("UpdateConfigName")))
    , NewVersionInfoUrl(JsonFields::text(object, QStringLiteral("NewVersionInfoUrl")))
{
}

ThemeInfo::~ThemeInfo() = default;

QJsonObject ThemeInfo::toJson() const
{
    throw Exception("not implemented");
}
