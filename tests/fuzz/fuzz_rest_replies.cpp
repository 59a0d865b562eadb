// A REST reply body in process, read as the balancer's server list and as the
// recognition server's theme list: the reply reader of the REST layer, the
// records, the server list cache (a cached list must read back the same) and
// the server order.
#include "FuzzEnvironment.h"

#include "AsrManager.h"
#include "ClientThemeInfo.h"
#include "Exception.h"
#include "RestJsonWorker.h"
#include "ServerListDTO.h"
#include "ServerStatusStorage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>

#include <cmath>

using FuzzEnvironment::fail;

namespace {
// A finished reply holding the body, as the network layer hands it over.
class BodyReply : public QNetworkReply
{
public:
    explicit BodyReply(const QByteArray& body)
        : body(body)
    {
        setOpenMode(QIODevice::ReadOnly);
        setError(NoError, QString());
        setFinished(true);
    }
    void abort() override {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return body.size() - offset + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>(maxSize, body.size() - offset);
        if (n <= 0)
            return -1;
        memcpy(data, body.constData() + offset, size_t(n));
        offset += n;
        return n;
    }

private:
    QByteArray body;
    qint64 offset = 0;
};

QString describe(const ServerInfoDTO& s)
{
    return QStringLiteral("%1|%2|%3|%4|%5|%6")
        .arg(s.ServerId, s.ConnectionString)
        .arg(double(s.DeclaredLoadLevel))
        .arg(double(s.EstimatedLoadLevel))
        .arg(s.CanAcceptClient)
        .arg(s.LastUpdateDate.toString(Qt::ISODateWithMs));
}

QStringList describe(const ServerListDTO& list)
{
    QStringList result{list.Authority, list.TimeStamp.toString(Qt::ISODateWithMs),
                       list.RecommendedServer ? describe(*list.RecommendedServer) : QStringLiteral("none")};
    for (const ServerInfoDTO& s : list.ServerList)
        result << describe(s);
    return result;
}

QString describe(const ClientThemeInfo& t)
{
    return QStringList{t.id(), t.themeId(), t.name(), t.version(), t.ShopUrl(), t.NewVersionInfoUrl(),
                       t.description(), QString::number(int(t.compositionType()))}
        .join(QLatin1Char('|'));
}

// Kept for the whole run: its idle thread is never stopped.
RestJsonWorker* reader = nullptr;

void checkServerList(const QJsonObject& reply)
{
    // What BaseRestAccessPoint::call hands on: replies without an error object.
    const QJsonValue error = reply.value(QStringLiteral("Error"));
    if (!error.isUndefined() && !error.isNull())
        return;
    ServerListDTO list(reply.value(QStringLiteral("Data")).toObject());
    if (!list.valid)
        return;
    list.Authority = QStringLiteral("127.0.0.1:39255");
    ServerStatusStorage storage;
    storage.setCachedServerList(list);
    const ServerListDTO cached = storage.cachedServerList();
    if (describe(cached) != describe(list))
        fail(QStringLiteral("the cached server list reads back differently:\n") + describe(list).join('\n')
             + QStringLiteral("\n---\n") + describe(cached).join('\n'));

    QList<ServerInfoDTO> servers = list.ServerList;
    const QString recommended = list.RecommendedServer ? list.RecommendedServer->ServerId : QString();
    ServerStatusStorage::sortServers(servers, recommended);
    if (servers.size() != list.ServerList.size())
        fail(QStringLiteral("sorting changed the number of servers"));
    for (int i = 1; i < servers.size(); ++i) {
        const ServerInfoDTO& a = servers[i - 1];
        const ServerInfoDTO& b = servers[i];
        const bool aFirst = !recommended.isEmpty() && a.ServerId == recommended;
        const bool bFirst = !recommended.isEmpty() && b.ServerId == recommended;
        if (bFirst && !aFirst)
            fail(QStringLiteral("the recommended server is not first"));
        if (aFirst != bFirst)
            continue;
        if (std::isnan(a.EstimatedLoadLevel) && !std::isnan(b.EstimatedLoadLevel))
            fail(QStringLiteral("a server without a load stands before one with a load"));
        if (a.EstimatedLoadLevel > b.EstimatedLoadLevel)
            fail(QStringLiteral("servers are not in ascending load"));
    }
}

void checkThemes(const QJsonObject& reply)
{
    const QJsonValue error = reply.value(QStringLiteral("Error"));
    if (!error.isUndefined() && !error.isNull())
        return;
    QList<ClientThemeInfo> themes;
    for (const QJsonValue& element : reply.value(QStringLiteral("Data")).toArray())
        themes.append(ClientThemeInfo(element.toObject()));
    for (const ClientThemeInfo& theme : themes) {
        const ClientThemeInfo copy(theme.toJson());
        if (describe(copy) != describe(theme))
            fail(QStringLiteral("a theme reads back differently: ") + describe(theme) + QStringLiteral(" -> ")
                 + describe(copy));
    }
    AsrManager asr(nullptr);
    std::optional<ClientThemeInfo> found;
    asr.getTargetModeInfo()->FindTargetTheme(themes, &found);
}
} // namespace

void FuzzEnvironment::setUp()
{
    reader = new RestJsonWorker(nullptr, QMap<QByteArray, QByteArray>());
}

extern "C" int LLVMFuzzerTestOneInput(const char* data, size_t size)
{
    if (size > 256 * 1024)
        return -1;
    BodyReply reply(QByteArray(data, int(size)));
    QJsonObject object;
    try {
        object = reader->createResult(&reply);
    } catch (const Exception&) {
        return 0; // the worker turns it into the error object
    }
    checkServerList(object);
    checkThemes(object);
    return 0;
}
