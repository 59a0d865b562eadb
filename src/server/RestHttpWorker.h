#pragma once

#include "BaseRestWorker.h"

#include <QByteArray>

// Turns the reply into a complete HTTP/1.1 response for the local HTTP proxy,
// the server's error answers included; a failed exchange becomes a 504 answer
// carrying the REST error object.
// Lives in its own "RestWorker" thread.
class RestHttpWorker : public BaseRestWorker<QByteArray>
{
public:
    using BaseRestWorker<QByteArray>::BaseRestWorker;
    ~RestHttpWorker() override;

    QByteArray createResult(QNetworkReply* reply) override;
    QByteArray createDefaultErrorResult(QString debugText) override;
    QByteArray serializeReply(QNetworkReply* reply);

protected:
    bool passesHeader(const QByteArray& name) const override;
    bool logsTarget() const override;
};
