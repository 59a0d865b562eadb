#include "ServerStatusStorage.h"

#include "BalancerConnectionSettings.h"
#include "CachedServerSettings.h"
#include "ConnectionHelper.h"
#include "NetworkErrorText.h"

#include <QJsonDocument>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <exception>

ServerStatusStorage::ServerStatusStorage(QObject* parent)
    : QObject(parent)
    , balancerRestAccessPoint(this)
{
}

ServerStatusStorage::~ServerStatusStorage() = default;

QString ServerStatusStorage::balancerAuthority() const
{
    BalancerConnectionSettings settings;
    return QStringLiteral("%1:%2").arg(QString(settings.Ip), QString::number(settings.RestPort));
}

ServerListDTO ServerStatusStorage::GetServersInternal()
{
    ServerListDTO list;
    try {
        list = balancerRestAccessPoint.GetServers();
        if (list.valid)
            list.Authority = balancerAuthority();
        useHttpsFirst = false;
    } catch (const std::exception& e) {
        useHttpsFirst = true;
        qWarning().noquote() << QString::fromUtf8(e.what());
    } catch (...) {
        useHttpsFirst = true;
        qWarning() << "Unknown exception on servers request";
    }
    const RestClient* client = balancerRestAccessPoint.restClient();
    BalancerConnectionSettings settings;
    lastBalancerFailure = list.valid
        ? QString()
        : NetworkErrorText::ofReply(QNetworkReply::NetworkError(client->lastNetworkError()), settings.Ip,
                                    settings.RestPort, client->usesTls(), client->lastHttpStatus(),
                                    client->lastServerError());
    return list;
}

QString ServerStatusStorage::balancerFailure()
{
    QMutexLocker lock(&mutex);
    return lastBalancerFailure;
}

ServerListDTO ServerStatusStorage::GetServersFromBalancer()
{
    if (ConnectionHelper::tlsRequired()) {
        SwitchToHttps();
        ServerListDTO list = GetServersInternal();
        if (!list.valid)
            qWarning() << "Strict TLS: the balancer is not asked over plain HTTP";
        return list;
    }
    if (useHttpsFirst) {
        SwitchToHttps();
        ServerListDTO list = GetServersInternal();
        if (list.valid)
            return list;
        SwitchToHttp();
    }
    return GetServersInternal();
}

QList<ServerInfoDTO> ServerStatusStorage::GetServers(bool* receivedFromBalancer)
{
    QMutexLocker lock(&mutex);
    ServerListDTO list = GetServersFromBalancer();
    emit ReceivedVACSettingsFromBalancer(list.vacEnabled, list.vacReceived);

    const bool fromBalancer = list.valid;
    if (fromBalancer) {
        setCachedServerList(list);
    } else {
        list = cachedServerList();
        const bool sameBalancer
            = list.valid && list.Authority.compare(balancerAuthority(), Qt::CaseInsensitive) == 0;
        if (!sameBalancer && !list.Authority.isEmpty()) {
            // The cache belongs to a balancer address that is no longer configured.
            list = ServerListDTO();
            setCachedServerList(list);
        }
    }
    if (receivedFromBalancer)
        *receivedFromBalancer = fromBalancer;

    QList<ServerInfoDTO> servers = list.ServerList;
    sortServers(servers, list.RecommendedServer ? list.RecommendedServer->ServerId : QString());
    return servers;
}

void ServerStatusStorage::sortServers(QList<ServerInfoDTO>& servers, const QString& recommendedId)
{
    auto isRecommended = [&recommendedId](const ServerInfoDTO& server) {
        return !recommendedId.isEmpty() && server.ServerId == recommendedId;
    };
    auto before = [&isRecommended](const ServerInfoDTO& a, const ServerInfoDTO& b) {
        const bool aRecommended = isRecommended(a);
        if (aRecommended != isRecommended(b))
            return aRecommended;
        const bool aNan = std::isnan(a.EstimatedLoadLevel);
        const bool bNan = std::isnan(b.EstimatedLoadLevel);
        if (aNan || bNan)
            return !aNan && bNan;
        return a.EstimatedLoadLevel < b.EstimatedLoadLevel;
    };
    std::stable_sort(servers.begin(), servers.end(), before);
}

ServerListDTO ServerStatusStorage::cachedServerList() const
{
    const QString text = CachedServerSettings().ServersList;
    return ServerListDTO(QJsonDocument::fromJson(text.toUtf8()).object());
}

void ServerStatusStorage::setCachedServerList(const ServerListDTO& list)
{
    CachedServerSettings settings;
    settings.ServersList = QString::fromUtf8(QJsonDocument(list.toJson()).toJson(QJsonDocument::Indented));
    settings.sync();
}

void ServerStatusStorage::SetStatus(const QString& serverId, DisconnectStatus status)
{
    QMutexLocker lock(&mutex);
    statuses.insert(serverId, ServerConnectionStatus(serverId, now(), status));
}

DisconnectStatus ServerStatusStorage::GetStatus(const QString& serverId)
{
    QMutexLocker lock(&mutex);
    return statuses.value(serverId).disconnectStatus();
}

ServerConnectionStatus ServerStatusStorage::GetConnectionStatus(const QString& serverId)
{
    QMutexLocker lock(&mutex);
    return statuses.value(serverId);
}

void ServerStatusStorage::Clear()
{
    QMutexLocker lock(&mutex);
    statuses.clear();
    useHttpsFirst = true;
}

int ServerStatusStorage::TimeSinceUpdate(const ServerInfoDTO& server) const
{
    return int(server.LastUpdateDate.secsTo(cachedServerList().TimeStamp));
}

void ServerStatusStorage::SwitchToHttps()
{
    BalancerConnectionSettings settings;
    settings.UseTls = true;
    settings.sync();
}

void ServerStatusStorage::SwitchToHttp()
{
    BalancerConnectionSettings settings;
    settings.UseTls = false;
    settings.sync();
}
