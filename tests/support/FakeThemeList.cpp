#include "FakeThemeList.h"

#include "TestHome.h"

#include "ClientConnectionSettings.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QWaitCondition>

struct FakeThemeList::Reply
{
    QMutex mutex;
    QWaitCondition released;
    FakeHttpResponse response;
    bool held = false;
};

FakeThemeList::FakeThemeList(const QStringList& themeIds)
    : reply(std::make_shared<Reply>())
{
    // In the server's thread: a held request blocks it, which keeps later ones waiting too.
    server.setHandler([reply = reply](const FakeHttpRequest&) {
        QMutexLocker lock(&reply->mutex);
        const QDeadlineTimer limit(TestHome::scaled(60000));
        while (reply->held && !limit.hasExpired())
            reply->released.wait(&reply->mutex, limit);
        return reply->response;
    });
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
    const QJsonObject body{{QStringLiteral("Error"), QJsonValue()}, {QStringLiteral("Data"), themes}};
    setResponse(FakeHttpResponse::json(QJsonDocument(body).toJson()));
}

void FakeThemeList::fail()
{
    setResponse(FakeHttpResponse::json("{}", 500, "Internal Server Error"));
}

void FakeThemeList::setResponse(const FakeHttpResponse& response)
{
    QMutexLocker lock(&reply->mutex);
    reply->response = response;
}

void FakeThemeList::hold()
{
    QMutexLocker lock(&reply->mutex);
    reply->held = true;
}

void FakeThemeList::answerHeld()
{
    QMutexLocker lock(&reply->mutex);
    reply->held = false;
    reply->released.wakeAll();
}

FakeThemeList::~FakeThemeList()
{
    answerHeld();
}
