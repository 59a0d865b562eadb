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
class RestProxyServer : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr int DefaultIdleTimeoutMs = 10000;

    RestProxyServer();
    ~RestProxyServer() override;

    // How long a connection may stay silent before its request is complete.
    void setIdleTimeout(int msecs) { idleTimeoutMs = msecs; }

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
        QTimer* idleTimer = nullptr;
        bool continueSent = false;
    };

    void restartServer();
    void stopServer();
    // The response to a complete request; empty to drop the connection unanswered.
    QByteArray answer(const HttpRequestReader& request);
    void respond(QTcpSocket* socket, const QByteArray& response);
    void dropConnection(QTcpSocket* socket);

    QThread* thread;
    QHash<QTcpSocket*, Connection*> connections;
    int idleTimeoutMs = DefaultIdleTimeoutMs;
    int reportedFailurePort = -1;
};
