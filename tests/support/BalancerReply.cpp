#include "BalancerReply.h"

#include "BalancerConnectionSettings.h"

#include <QJsonDocument>

namespace BalancerReply {

QJsonObject server(const QString& id, double load, const QDateTime& lastUpdate)
{
    return QJsonObject{{"ServerId", id},
                       {"ConnectionString", "127.0.0.1;34000;39255"},
                       {"EstimatedLoadLevel", load},
                       {"LastUpdateDate", lastUpdate.toString(Qt::ISODateWithMs)}};
}

FakeHttpResponse list(const QJsonArray& servers, const QString& recommendedId, const QDateTime& timeStamp,
                      const QJsonValue& vacEnabled)
{
    QJsonObject data{{"ServerList", servers}, {"TimeStamp", timeStamp.toString(Qt::ISODateWithMs)}};
    for (const QJsonValue& s : servers) {
        if (!recommendedId.isEmpty() && s.toObject().value("ServerId").toString() == recommendedId)
            data.insert("RecommendedServer", s);
    }
    if (!vacEnabled.isNull())
        data.insert("VacEnabled", vacEnabled);
    return FakeHttpResponse::json(QJsonDocument(QJsonObject{{"Error", QJsonValue()}, {"Data", data}}).toJson());
}

void pointBalancerAt(quint16 port, const QString& ip, bool tls)
{
    BalancerConnectionSettings settings;
    settings.Ip = ip;
    settings.RestPort = int(port);
    settings.UseTls = tls;
    settings.sync();
}

} // namespace BalancerReply
