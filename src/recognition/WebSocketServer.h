#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;
class QWebSocket;
class QWebSocketCorsAuthenticator;
class QWebSocketServer;
class WebSocketServerSession;

// A small WebSocket server on 127.0.0.1 that turns each accepted socket into a
// session and keeps the list of its sessions. Lives in the thread that created
// it (the GUI thread); start() and stop() may be emitted from any thread.
// Every page in the browser and every local program can reach it: the
// connections waiting for their handshake and the size of a message are bounded.
class WebSocketServer : public QObject
{
    Q_OBJECT

public:
    // The property of an upgraded QWebSocket that holds its handshake's Cookie
    // header as sent: QWebSocket::request() keeps only its Latin-1 part.
    static const char* const RawCookieProperty;
    // A bigger frame or message closes its session with 1009 (too much data).
    static constexpr quint64 MaxMessageSize = 4 * 1024 * 1024;
    // Connections beyond this, all waiting for their handshake, are closed at once.
    static constexpr int MaxPendingHandshakes = 64;

    explicit WebSocketServer(QObject* parent = nullptr);
    ~WebSocketServer() override;

    bool isListening() const;
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    QList<WebSocketServerSession*> sessions() const { return sessionList; }

signals:
    void start(int port);
    void stop();
    void closed();
    // A start that could not listen, once per port until a start succeeds; the
    // next start tries again.
    void listenFailed(int port, QString error);

protected slots:
    virtual void newConnection();
    virtual void sessionDisconnected();

private slots:
    void onStart(int port);
    void onStop();

protected:
    virtual WebSocketServerSession* createSession();
    // Whether a handshake from this Origin (empty when the client sent none) may open a session.
    virtual bool isOriginAllowed(const QString& origin);
    void createServer();
    // The next upgraded socket with its RawCookieProperty set; null when none is pending.
    QWebSocket* nextPendingSocket();
    // Ends every session (closing steps, socket closed, object deleted later).
    void deleteAllSessions();

    QWebSocketServer* server = nullptr;
    QList<WebSocketServerSession*> sessionList;

private:
    void onTcpConnection();
    // Hands the socket to QWebSocketServer once its handshake has arrived.
    void onHandshakeBytes(QTcpSocket* socket);
    void onOriginAuthenticationRequired(QWebSocketCorsAuthenticator* authenticator);
    void reportListenFailure(int port, const QString& error);

    // Accepts the connections; QWebSocketServer only upgrades them.
    QTcpServer* listener = nullptr;
    struct Handshake
    {
        const QTcpSocket* socket = nullptr;
        QByteArray cookie;
    };
    // Raw Cookie headers of sockets being upgraded, by the peer's port.
    QHash<quint16, Handshake> handshakeCookies;
    // Accepted connections whose handshake has not been read yet.
    QList<QTcpSocket*> handshaking;
    int reportedFailurePort = -1;
};
