#pragma once

#include "FakeHttpServer.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// Replies of a fake balancer to "Servers", and the settings that point the client at it.
namespace BalancerReply {
QJsonObject server(const QString& id, double load, const QDateTime& lastUpdate = QDateTime());
// Everything wrapped as the reply's "Data"; a recommended id names a server of the list.
FakeHttpResponse list(const QJsonArray& servers, const QString& recommendedId = QString(),
                      const QDateTime& timeStamp = QDateTime(), const QJsonValue& vacEnabled = QJsonValue());
void pointBalancerAt(quint16 port, const QString& ip = FakeHttpServer::host(), bool tls = false);
} // namespace BalancerReply
