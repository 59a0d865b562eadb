#include "FakeThemeList.h"

#include "ClientConnectionSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
        themes.append(QJsonObject{{QStringLiteral("Id"), id}, {QStringLiteral("Name"), id + QStringLiteral(" name")}});
    offerRecords(themes);
}

void FakeThemeList::offerRecords(const QJsonArray& themes)
{
    const QJsonObject reply{{QStringLiteral("Error"), QJsonValue()}, {QStringLiteral("Data"), themes}};
    server.setResponse(FakeHttpResponse::json(QJsonDocument(reply).toJson()));
}

void FakeThemeList::fail()
{
    server.setResponse(FakeHttpResponse::json("{}", 500, "Internal Server Error"));
}
