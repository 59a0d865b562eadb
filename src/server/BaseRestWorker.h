#pragma once

#include "StubRestWorker.h"

#include <QMutexLocker>

class QNetworkReply;

// A request worker with its typed result (QJsonObject or QByteArray).
// Lives in its own "RestWorker" thread.
template<typename T>
class BaseRestWorker : public StubRestWorker
{
public:
    using StubRestWorker::StubRestWorker;
    ~BaseRestWorker() override = default;

    virtual T createResult(QNetworkReply* reply) = 0;
    virtual T createDefaultErrorResult(QString debugText) = 0;

    // Read by the caller once the worker's thread has ended.
    T result()
    {
        QMutexLocker lock(&mutex);
        return m_result;
    }

protected:
    void storeDefaultError(const QString& debugText) override { m_result = createDefaultErrorResult(debugText); }
    void storeResult(QNetworkReply* reply) override { m_result = createResult(reply); }

private:
    T m_result;
};
