#include "ConnectionHeartbeat.h"

#include "CancellationCondition.h"
#include "LogCategories.h"
#include "WebSocketClient.h"

ConnectionHeartbeat::ConnectionHeartbeat(WebSocketClient* client)
    : ConnectionHeartbeat(client, DefaultPeriod, DefaultTimeoutDelayMs)
{
}

ConnectionHeartbeat::ConnectionHeartbeat(WebSocketClient* client, unsigned long periodMs, qint64 timeoutDelayMs)
    : RepeatWorker(periodMs)
    , client(client)
    , timeoutDelayMs(timeoutDelayMs)
{
    if (client)
        connect(this, &ConnectionHeartbeat::ping, client, &WebSocketClient::onPing);
}

ConnectionHeartbeat::~ConnectionHeartbeat() = default;

void ConnectionHeartbeat::initialize()
{
    startTime = QDateTime::currentDateTimeUtc();
    emit ping();
}

void ConnectionHeartbeat::repeatableWork(CancellationCondition* cancellationCondition)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (client && client->pongReceived()) {
        // Measured from the last answered ping, so one slow answer late in a
        // long session does not count as the whole session's lag.
        startTime = now;
        emit ping();
        return;
    }

    const qint64 lag = startTime.isValid() ? startTime.msecsTo(now) : 0;
    if (lag > timeoutDelayMs) {
        qCDebug(lcHeartbeatWorker) << "lagTime > TimeoutDelay: " << lag;
        emit timeout();
        cancellationCondition->cancel();
    }
}

void ConnectionHeartbeat::cleanUp()
{
    startTime = QDateTime();
}
