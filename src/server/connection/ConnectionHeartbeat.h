#pragma once

#include "RepeatWorker.h"

#include <QDateTime>

class WebSocketClient;

// Pings the recognition server and reports `timeout` when a ping stays
// unanswered too long. Lives in its own SubService thread ("ConnectionHeartbeat").
class ConnectionHeartbeat : public RepeatWorker
{
    Q_OBJECT

public:
    static constexpr unsigned long DefaultPeriod = 2000;
    static constexpr qint64 DefaultTimeoutDelayMs = 10000;

    explicit ConnectionHeartbeat(WebSocketClient* client);
    // For tests: the step period and the allowed silence.
    ConnectionHeartbeat(WebSocketClient* client, unsigned long periodMs, qint64 timeoutDelayMs);
    ~ConnectionHeartbeat() override;

    void initialize() override;
    void repeatableWork(CancellationCondition* cancellationCondition) override;
    void cleanUp() override;

signals:
    void ping();
    void timeout();
    void pong();

private:
    WebSocketClient* client;
    qint64 timeoutDelayMs;
    // When the ping now awaited was sent; moves on with every answered ping.
    QDateTime startTime;
};
