#pragma once

#include "JsonConvertable.h"

#include <QString>

// Only the default is known to the client; the server may send any number.
enum ThemeCompositionType : int {
    ThemeCompositionDefault = 1
};

// A recognition theme as the client lists, selects and stores it.
class ClientThemeInfo : public JsonConvertable
{
public:
    ClientThemeInfo();
    explicit ClientThemeInfo(QJsonObject object);
    ClientThemeInfo(const ClientThemeInfo&) = default;
    ClientThemeInfo& operator=(const ClientThemeInfo&) = default;
    ~ClientThemeInfo() override;

    QString id() const { return m_id; }
    void setId(const QString& id) { m_id = id; }
    // The stored theme id, or the id when the theme has none of its own.
    QString themeId() const { return m_themeId.isEmpty() ? m_id : m_themeId; }
    void setThemeId(const QString& themeId) { m_themeId = themeId; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    QString version() const { return m_version; }
    void setVersion(const QString& version) { m_version = version; }
    QString ShopUrl() const { return m_shopUrl; }
    void setShopUrl(const QString& shopUrl) { m_shopUrl = shopUrl; }
    QString NewVersionInfoUrl() const { return m_newVersionInfoUrl; }
    void setNewVersionInfoUrl(const QString& url) { m_newVersionInfoUrl = url; }
    ThemeCompositionType compositionType() const { return m_compositionType; }
    void setCompositionType(const ThemeCompositionType& type) { m_compositionType = type; }
    QString description() const { return m_description; }
    void setDescription(const QString& description) { m_description = description; }

    // Writes the stored theme id, not the fallback of themeId().
    QJsonObject toJson() const override;

private:
    QString m_id;
    QString m_themeId;
    QString m_name;
    QString m_version;
    QString m_shopUrl;
    QString m_newVersionInfoUrl;
    ThemeCompositionType m_compositionType = ThemeCompositionDefault;
    QString m_description;
};
