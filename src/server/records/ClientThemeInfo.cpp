#include "ClientThemeInfo.h"

#include "JsonFields.h"

ClientThemeInfo::ClientThemeInfo() = default;

ClientThemeInfo::ClientThemeInfo(QJsonObject object)
    : m_id(JsonFields::text(object, QStringLiteral("Id")))
    , m_themeId(JsonFields::text(object, QStringLiteral("ThemeId")))
    , m_name(JsonFields::text(object, QStringLiteral("Name")))
    , m_version(JsonFields::text(object, QStringLiteral("Version")))
    , m_shopUrl(JsonFields::text(object, QStringLiteral("ShopUrl")))
    , m_newVersionInfoUrl(JsonFields::text(object, QStringLiteral("NewVersionInfoUrl")))
    , m_compositionType(static_cast<ThemeCompositionType>(JsonFields::integer(object, QStringLiteral("CompositionType"))))
    , m_description(JsonFields::text(object, QStringLiteral("Description")))
{
}

ClientThemeInfo::~ClientThemeInfo() = default;

QJsonObject ClientThemeInfo::toJson() const
{
    return QJsonObject{
        {QStringLiteral("Id"), m_id},
        {QStringLiteral("ThemeId"), m_themeId},
        {QStringLiteral("Name"), m_name},
        {QStringLiteral("Version"), m_version},
        {QStringLiteral("ShopUrl"), m_shopUrl},
        {QStringLiteral("NewVersionInfoUrl"), m_newVersionInfoUrl},
        {QStringLiteral("CompositionType"), int(m_compositionType)},
        {QStringLiteral("Description"), m_description},
    };
}
