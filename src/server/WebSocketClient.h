#pragma once

#include "WebSocketConnection.h"

#include <QAbstractSocket>
#include <QJsonValue>
#include <QMutex>
#include <QQueue>
#include <QString>

#include <atomic>

class CookiesSource;
class DataMessageProcessor;
class QTcpSocket;
class QTimer;

// The link to one recognition server: opens ws:// or wss:// with the identity
// cookies, guards the handshake with a timer and answers the heartbeat.
// Lives in the WebSocketWorker thread.
class WebSocketClient : public WebSocketConnection
{
    Q_OBJECT
    Q_PROPERTY(DataMessageProcessor* messageProcessor READ messageProcessor)

public:
    static constexpr int DefaultConnectTimeoutMs = 3000;
    // The most one message from the server may hold (results, theme lists and
    // parts of synthesised sound are far smaller); a larger one ends the link
    // instead of being buffered up to Qt's default of 2 GB.
    static constexpr quint64 MaxIncomingMessageBytes = 16 * 1024 * 1024;
    // Relayed messages go to the socket only while less than this waits in it,
    // so the heartbeat and the client's own messages pass form data by.
    static constexpr qint64 RelayLowWaterBytes = 256 * 1024;
    // Unsent bytes past which the link is aborted: a server that reads less
    // than it makes the client answer (Qt answers its pings by itself) would
    // otherwise keep the answers in this process without limit.
    static constexpr qint64 MaxUnsentBytes = 8 * 1024 * 1024;
    // What the socket reads ahead of the frame being handled: at most one
    // frame of the largest size (Qt waits for a frame to be whole in the read
    // buffer); the rest of a flood stays in the kernel and on the server.
    static constexpr qint64 ReadBufferBytes = qint64(MaxIncomingMessageBytes) + 14;
    // What it reads ahead while frames are small: Qt handles every whole frame
    // in the buffer in one go, and the client's own messages (a stop, the
    // sound) wait for that. Grows while a larger frame is on its way.
    static constexpr qint64 ReadBufferStartBytes = 128 * 1024;

    explicit WebSocketClient(QObject* parent = nullptr);
    // For tests: the handshake limit and the cookies source (taken over).
    WebSocketClient(QObject* parent, int connectTimeoutMs, CookiesSource* cookies);
    ~WebSocketClient() override;

    CookiesSource* getCookiesSource() const { return m_cookiesSource; }
    DataMessageProcessor* messageProcessor() const { return m_messageProcessor; }
    // True when a pong arrived since the last ping; read by the heartbeat's thread.
    bool pongReceived() const { return m_pongReceived.load(); }

    // Why the last open failed or the link dropped, for the user: empty while
    // nothing failed since that open. Read from the connection driver's thread
    // once the disconnection has reached it.
    QString failureCause() const;

    // Sends a message that relays someone else's (a form's): it waits in its
    // own queue, in order, behind what the client sends itself. Any thread.
    void relayJson(int type, const QJsonValue& value);
    // Bytes of relayed messages not yet handed to the socket. Any thread.
    qint64 relayBacklog() const;

    static QString serverUrl(const QString& ipAddress, int port, bool useTls);

signals:
    void open(QString ipAddress, int port, bool useTls);
    void startTimer();

public slots:
    void onPing();
    void onStartTimer();

private slots:
    void onPong();
    void onOpen(QString ipAddress, int port, bool useTls);

private:
    void drainRelay();
    // After Qt has read what it could: grows the read buffer when a frame
    // larger than it waits, and shrinks it back once it is empty.
    void fitReadBuffer(QTcpSocket* tcp);
    // Keeps the first cause of a failure since the last open.
    void noteFailure(const QString& cause);
    // "The link to host:port was dropped: why", for the user.
    QString droppedBecause(const QString& why) const;
    void onSocketError(QAbstractSocket::SocketError error);
    void onConnectTimeout();
    void onAboutToClose();
    // Aborts the link, once, when more than MaxUnsentBytes wait to be sent.
    void abortWhenBacklogged();

    std::atomic<bool> m_pongReceived{false};
    mutable QMutex m_failureMutex;
    QString m_failureCause;
    QString m_host;
    int m_port = 0;
    bool m_tls = false;
    bool m_aborted = false;
    QTimer* m_connectTimer;
    int m_connectTimerInterval;
    DataMessageProcessor* m_messageProcessor;
    CookiesSource* m_cookiesSource;
    mutable QMutex m_relayMutex;
    QQueue<QString> m_relayQueue;
    qint64 m_relayBytes = 0;
};
