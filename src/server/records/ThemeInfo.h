#pragma once

#include "JsonConvertable.h"

#include <QString>

// One theme as the server offers it (message type 10). Holders read the fields directly.
class ThemeInfo : public JsonConvertable
{
public:
    explicit ThemeInfo(QJsonObject object);
    ThemeInfo(const ThemeInfo&) = default;
    ThemeInfo& operator=(const ThemeInfo&) = default;
    ~ThemeInfo() override;

    // Only the server writes its offer.
    QJsonObject toJson() const override;

    QString Id;
    QString ThemeId;
    QString Name;
    QString ThemeVersion;
    QString ShopUrl;
    QString UpdateConfigName;
    QString NewVersionInfoUrl;
};
