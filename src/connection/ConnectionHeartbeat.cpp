#include "ConnectionHeartbeat.h"

#include "CancellationCondition.h"
#include "LogCategories.h"
#include "WebSocketClient.h"

ConnectionHeartbeat::ConnectionHeartbeat(WebSocketClient* client)
    : ConnectionHeartbeat(client, DefaultPeriod, &QDateTime::currentDateTimeUtc)
{
}

ConnectionHeartbeat::ConnectionHeartbeat(WebSocketClient* client, unsigned long periodMs, Clock clock)
    : RepeatWorker(periodMs)
    , client(client)
    , clock(std::move(clock))
{
    if (client)
        connect(this, &ConnectionHeartbeat::ping, client, &WebSocketClient::onPing);
}

ConnectionHeartbeat::~ConnectionHeartbeat() = default;

void ConnectionHeartbeat::initialize()
{
    startTime = clock();
    emit ping();
}

void ConnectionHeartbeat::repeatableWork(CancellationCondition* cancellationCondition)
{
    const QDateTime now = clock();
    if (client && client->pongReceived()) {
        // Measured from the last answered ping, so one slow answer late in a
        // long session does not count as the whole session's lag.
        startTime = now;
        emit ping();
        return;
    }
    if (!startTime.isValid())
        return;

    // Whole seconds of the clock: 10 s and a few milliseconds are not yet a time-out.
    const qint64 lag = now.toSecsSinceEpoch() - startTime.toSecsSinceEpoch();
    if (lag < 0) {
        // The clock was set back: measure afresh rather than wait out the difference.
        startTime = now;
        return;
    }
    if (lag > TimeoutDelay) {
        qCDebug(lcHeartbeatWorker) << "lagTime > TimeoutDelay: " << lag;
        emit timeout();
        cancellationCondition->cancel();
    }
}

void ConnectionHeartbeat::cleanUp()
{
    startTime = QDateTime();
}
