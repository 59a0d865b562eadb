#include "ServerThemesInfo.h"

#include "Exception.h"
#include "JsonFields.h"

ServerThemesInfo::ServerThemesInfo() = default;

ServerThemesInfo::ServerThemesInfo(QJsonObject object)
    : m_themeInfos(JsonFields::list<ThemeInfo>(object, QStringLiteral("ThemeInfos")))
{
}

ServerThemesInfo::~ServerThemesInfo() = default;

QJsonObject ServerThemesInfo::toJson() const
{
    throw Exception("not implemented");
}
