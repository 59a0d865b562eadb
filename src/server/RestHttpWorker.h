#pragma once

#include "BaseRestWorker.h"

#include <QByteArray>

// Turns the reply into a complete HTTP/1.1 response for the local HTTP proxy,
// the server's error answers included. An exchange that timed out becomes a
// 504 answer carrying the REST error object; one that failed otherwise (the
// connection, a reply too large, an answer that is not sound HTTP or not final) a 502.
// Lives in its own "RestWorker" thread.
class RestHttpWorker : public BaseRestWorker<QByteArray>
{
public:
    using BaseRestWorker<QByteArray>::BaseRestWorker;
    ~RestHttpWorker() override;

    QByteArray createResult(QNetworkReply* reply) override;
    QByteArray createDefaultErrorResult(QString debugText) override;
    QByteArray createBadGatewayResult(const QString& debugText);
    QByteArray serializeReply(QNetworkReply* reply);

protected:
    bool passesHeader(const QByteArray& name) const override;
    bool logsTarget() const override;

private:
    static QByteArray errorAnswer(const QByteArray& statusLine, const QString& debugText);
};
