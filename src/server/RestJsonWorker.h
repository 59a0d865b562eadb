#pragma once

#include "BaseRestWorker.h"

#include <QJsonObject>

// Turns every outcome of a request into one JSON object; failures become the
// error object {"Error": {"Text", "DebugText"}, "Data": ""}.
// Lives in its own "RestWorker" thread.
class RestJsonWorker : public BaseRestWorker<QJsonObject>
{
public:
    using BaseRestWorker<QJsonObject>::BaseRestWorker;
    ~RestJsonWorker() override;

    QJsonObject createResult(QNetworkReply* reply) override;
    QJsonObject createDefaultErrorResult(QString debugText) override;

    static QJsonObject createErrorResult(QString text, QString debugText);
    static QString defaultErrorText();
};
