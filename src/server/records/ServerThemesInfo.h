#pragma once

#include "JsonConvertable.h"
#include "ThemeInfo.h"

#include <QList>
#include <QMetaType>

// The themes the server offers (message type 10).
class ServerThemesInfo : public JsonConvertable
{
public:
    ServerThemesInfo();
    explicit ServerThemesInfo(QJsonObject object);
    ServerThemesInfo(const ServerThemesInfo&) = default;
    ServerThemesInfo& operator=(const ServerThemesInfo&) = default;
    ~ServerThemesInfo() override;

    QList<ThemeInfo> themeInfos() const { return m_themeInfos; }

    // Only the server writes its offer.
    QJsonObject toJson() const override;

private:
    QList<ThemeInfo> m_themeInfos;
};

Q_DECLARE_METATYPE(ServerThemesInfo)
