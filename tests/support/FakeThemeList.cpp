#include "FakeThemeList.h"

#include "ClientConnectionSettings.h"

#include <QJsonDocument>

FakeThemeList::FakeThemeList(const QStringList& themeIds)
{
    FakeHttpServer::bypassSystemProxy();
    ClientConnectionSettings settings;
    settings.Ip = FakeHttpServer::host();
    settings.RestPort = int(server.port());
    settings.UseTls = false;
    settings.sync();
    offer(themeIds);
}

void FakeThemeList::offer(const QStringList& themeIds)
{
    QJsonArray themes;
    for (const QString& id : themeIds)
        themes.append(theme(id));
    const QJsonObject reply{{QStringLiteral("Error"), QJsonValue()}, {QStringLiteral("Data"), themes}};
    server.setResponse(FakeHttpResponse::json(QJsonDocument(reply).toJson()));
}

QJsonObject FakeThemeList::theme(const QString& id)
{
    return QJsonObject{{QStringLiteral("Id"), id}, {QStringLiteral("Name"), id + QStringLiteral(" name")}};
}
