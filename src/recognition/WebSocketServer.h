#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QWebSocketCorsAuthenticator;
class QWebSocketServer;
class WebSocketServerSession;

// A small WebSocket server on 127.0.0.1 that turns each accepted socket into a
// session and keeps the list of its sessions. Lives in the thread that created
// it (the GUI thread); start() and stop() may be emitted from any thread.
class WebSocketServer : public QObject
{
    Q_OBJECT

public:
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
    // Ends every session (closing steps, socket closed, object deleted later).
    void deleteAllSessions();

    QWebSocketServer* server = nullptr;
    QList<WebSocketServerSession*> sessionList;

private:
    void onOriginAuthenticationRequired(QWebSocketCorsAuthenticator* authenticator);
    void reportListenFailure(int port, const QString& error);

    int reportedFailurePort = -1;
};
