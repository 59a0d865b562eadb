#pragma once

#include "RepeatWorker.h"

#include <QDateTime>

#include <functional>

class WebSocketClient;

// Pings the recognition server and reports `timeout` when a ping stays
// unanswered too long. Lives in its own SubService thread ("ConnectionHeartbeat").
class ConnectionHeartbeat : public RepeatWorker
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    static constexpr unsigned long DefaultPeriod = 2000;
    // Whole seconds; a lag must exceed it.
    static constexpr qint64 TimeoutDelay = 10;

    explicit ConnectionHeartbeat(WebSocketClient* client);
    // For tests: the step period and the time source (UTC).
    ConnectionHeartbeat(WebSocketClient* client, unsigned long periodMs, Clock clock);
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
    Clock clock;
    // When the ping now awaited was sent; moves on with every answered ping.
    QDateTime startTime;
};
