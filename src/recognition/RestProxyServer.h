#pragma once

#include "ConnectionStateInfo.h"
#include "HttpRequestReader.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QSet>
#include <QTcpServer>

#include <optional>

class QThread;
class QTcpSocket;
class QTimer;

// The local HTTP proxy through which MIS web forms call the recognition
// server's REST API: one request per connection, "localhost" and "127.0.0.1"
// in it replaced by the server's address, forwarded to the server's REST port
// and the answer written back. Listens on 127.0.0.1 only while the recognition
// connection is up. Lives, with its sockets, in its own thread "RestProxy";
// each forwarded request waits for the server on a thread of its own, so a
// slow one holds up no other. Every local program and every page in the
// browser can reach it, so what one connection may cost is bounded: the
// number of open connections, the time to send a request head and the whole
// request, its size, the bytes all requests hold at once, and the requests
// forwarded at once. A request it gives up on is answered 503.
class RestProxyServer : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr int DefaultRequestTimeoutMs = 10000;
    // A form's request head comes in one or two packets.
    static constexpr int DefaultHeadTimeoutMs = 2500;
    // Past this, a new connection takes the place of the oldest one still
    // sending its head, or is closed at once when there is none.
    static constexpr int MaxConnections = 64;
    // Each is a thread waiting and a worker thread with its reply (bounded by
    // StubRestWorker::MaxReplySize); later requests wait for a place.
    static constexpr int MaxForwards = 24;
    // How long an answered connection is still read from before it is closed.
    static constexpr int LingerMs = 2000;
    // The bytes of unanswered requests, all connections together; a request
    // that would need more is answered 503.
    static constexpr qint64 MaxBufferedBytes = 3 * HttpRequestReader::DefaultMaxSize;

    RestProxyServer();
    ~RestProxyServer() override;

    // How long a connection has, from its accept, to send its whole request and
    // to have it forwarded; the same again to take the answer.
    void setRequestTimeout(int msecs) { requestTimeoutMs = msecs; }
    // How long a connection has, from its accept, to send the head of its request.
    void setHeadTimeout(int msecs) { headTimeoutMs = msecs; }
    // How long a forwarded request may wait for the server (RestClient's 7000 ms).
    void setForwardTimeout(int msecs) { forwardTimeoutMs = msecs; }
    // Open client connections, answered ones not yet closed included.
    int connectionCount() const { return openSockets; }

    QByteArray proxyRequest(QByteArray method, QByteArray path, QMap<QByteArray, QByteArray> headers,
                            QByteArray body);
    // proxyRequest with the given time limit (-1: the REST client's); callable from any thread.
    static QByteArray sendUpstream(const QByteArray& method, const QByteArray& path,
                                   const QMap<QByteArray, QByteArray>& headers, const QByteArray& body, int timeoutMs);
    static QByteArray serializeJson(const QJsonObject& object);
    // A complete HTTP response carrying the REST error object.
    static QByteArray errorResponse(int status, const QByteArray& reason, const QString& text,
                                    const QString& debugText);

signals:
    // A listen that failed, once per port until one succeeds; the next state 4 tries again.
    void listenFailed(int port, QString error);

public slots:
    void onWsConnectionState(ConnectionStateInfo stateInfo);
    void onSettingsChanged();

private slots:
    void onReadyRead();
    void onDisconnected();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    enum class Stage { Reading, Waiting, Forwarding };
    struct Connection
    {
        HttpRequestReader reader;
        QTimer* deadline = nullptr;
        QElapsedTimer age;
        quint64 serial = 0;
        Stage stage = Stage::Reading;
        bool continueSent = false;
        QThread* forwarder = nullptr;
    };

    void restartServer();
    void stopServer();
    // Makes room for a new connection; false when every slot holds more than a head in progress.
    bool dropOldestUnfinishedHead();
    void onDeadline(QTcpSocket* socket);
    // The response to a complete request that is not forwarded; empty to drop
    // the connection unanswered; nothing when it is to be forwarded.
    std::optional<QByteArray> refusal(const HttpRequestReader& request);
    void startForwards();
    void forward(QTcpSocket* socket, Connection* connection);
    void onForwarded(QThread* forwarder, QTcpSocket* socket, const QByteArray& response);
    void respond(QTcpSocket* socket, const QByteArray& response);
    void dropConnection(QTcpSocket* socket);
    // Forgets the connection of the socket, stopping what it waits for.
    void release(QTcpSocket* socket);
    qint64 bufferedBytes() const;

    QThread* thread;
    QHash<QTcpSocket*, Connection*> connections;
    // Complete requests in arrival order, waiting for a forward.
    QList<QTcpSocket*> waiting;
    QSet<QThread*> forwarders;
    int openSockets = 0;
    quint64 accepted = 0;
    bool full = false;
    int requestTimeoutMs = DefaultRequestTimeoutMs;
    int headTimeoutMs = DefaultHeadTimeoutMs;
    int forwardTimeoutMs = -1;
    int reportedFailurePort = -1;
};
