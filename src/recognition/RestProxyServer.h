#pragma once

#include "ConnectionStateInfo.h"
#include "HttpRequestReader.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QTcpServer>

class QThread;
class QTcpSocket;
class QTimer;

// The local HTTP proxy through which MIS web forms call the recognition
// server's REST API: one request per connection, "localhost" and "127.0.0.1"
// in it replaced by the server's address, forwarded to the server's REST port
// and the answer written back. Listens on 127.0.0.1 only while the recognition
// connection is up. Lives, with its sockets, in its own thread "RestProxy".
// Every local program and every page in the browser can reach it, so what one
// connection may cost is bounded: the number of open connections, the time to
// send a request, its size, and the bytes all requests hold at once.
class RestProxyServer : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr int DefaultRequestTimeoutMs = 10000;
    // Connections beyond this are closed at once.
    static constexpr int MaxConnections = 64;
    // The bytes of unanswered requests, all connections together; a request
    // that would need more is answered 503.
    static constexpr qint64 MaxBufferedBytes = 3 * HttpRequestReader::DefaultMaxSize;

    RestProxyServer();
    ~RestProxyServer() override;

    // How long a connection has, from its accept, to send its whole request;
    // the same again to take the answer.
    void setRequestTimeout(int msecs) { requestTimeoutMs = msecs; }
    // How long a forwarded request may wait for the server (RestClient's 7000 ms).
    void setForwardTimeout(int msecs) { forwardTimeoutMs = msecs; }
    // Open client connections, answered ones not yet closed included.
    int connectionCount() const { return openSockets; }

    QByteArray proxyRequest(QByteArray method, QByteArray path, QMap<QByteArray, QByteArray> headers,
                            QByteArray body);
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
    struct Connection
    {
        HttpRequestReader reader;
        QTimer* deadline = nullptr;
        bool continueSent = false;
    };

    void restartServer();
    void stopServer();
    // The response to a complete request; empty to drop the connection unanswered.
    QByteArray answer(const HttpRequestReader& request);
    void respond(QTcpSocket* socket, const QByteArray& response);
    void dropConnection(QTcpSocket* socket);
    qint64 bufferedBytes() const;

    QThread* thread;
    QHash<QTcpSocket*, Connection*> connections;
    int openSockets = 0;
    bool refusing = false;
    int requestTimeoutMs = DefaultRequestTimeoutMs;
    int forwardTimeoutMs = -1;
    int reportedFailurePort = -1;
};
