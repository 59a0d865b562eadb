#include "WebSocketServer.h"

#include "LogCategories.h"
#include "WebSocketServerSession.h"

#include <QTimer>
#include <QWebSocket>
#include <QWebSocketCorsAuthenticator>
#include <QWebSocketServer>

#include <utility>

namespace {
// A peer that never answers the closing handshake is cut off after this.
constexpr int closeGraceMs = 3000;
} // namespace

WebSocketServer::WebSocketServer(QObject* parent)
    : QObject(parent)
{
    createServer();
    connect(this, &WebSocketServer::start, this, &WebSocketServer::onStart);
    connect(this, &WebSocketServer::stop, this, &WebSocketServer::onStop);
}

WebSocketServer::~WebSocketServer()
{
    onStop();
    delete server;
}

void WebSocketServer::createServer()
{
    if (server)
        return;
    server = new QWebSocketServer(QStringLiteral("Qt Server"), QWebSocketServer::NonSecureMode, this);
    connect(server, &QWebSocketServer::closed, this, &WebSocketServer::closed);
    connect(server, &QWebSocketServer::newConnection, this, &WebSocketServer::newConnection);
    connect(server, &QWebSocketServer::originAuthenticationRequired, this,
            &WebSocketServer::onOriginAuthenticationRequired);
}

bool WebSocketServer::isListening() const
{
    return server && server->isListening();
}

QHostAddress WebSocketServer::serverAddress() const
{
    return server ? server->serverAddress() : QHostAddress();
}

quint16 WebSocketServer::serverPort() const
{
    return server ? server->serverPort() : 0;
}

void WebSocketServer::onStart(int port)
{
    createServer();
    if (server->isListening())
        server->close();
    if (port < 0 || port > 65535) {
        reportListenFailure(port, QStringLiteral("not a port number"));
        return;
    }
    // Loopback only, whatever address the settings name: forms run on this machine.
    if (!server->listen(QHostAddress(QHostAddress::LocalHost), quint16(port))) {
        reportListenFailure(port, server->errorString());
        return;
    }
    reportedFailurePort = -1;
    qCInfo(lcWebSocketServer).noquote() << QStringLiteral("Listening on ws://127.0.0.1:%1/").arg(server->serverPort());
}

void WebSocketServer::reportListenFailure(int port, const QString& error)
{
    qCWarning(lcWebSocketServer).noquote() << QStringLiteral("Cannot listen on ws://127.0.0.1:%1/: %2").arg(port).arg(error);
    if (port == reportedFailurePort)
        return;
    reportedFailurePort = port;
    emit listenFailed(port, error);
}

void WebSocketServer::onStop()
{
    if (!server)
        return;
    server->close();
    deleteAllSessions();
}

void WebSocketServer::deleteAllSessions()
{
    // Taken out first: a socket may report its disconnect while it is closed below.
    const QList<WebSocketServerSession*> sessions = std::exchange(sessionList, {});
    for (WebSocketServerSession* session : sessions) {
        session->finish();
        // The socket outlives its session until the peer has answered the close.
        QWebSocket* socket = session->socket();
        socket->setParent(this);
        connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(closeGraceMs, socket, &QWebSocket::abort);
        emit session->close();
        session->deleteLater();
    }
}

WebSocketServerSession* WebSocketServer::createSession()
{
    QWebSocket* socket = server->nextPendingConnection();
    return socket ? new WebSocketServerSession(socket, this) : nullptr;
}

void WebSocketServer::newConnection()
{
    WebSocketServerSession* session = createSession();
    if (!session)
        return;
    connect(session, &WebSocketServerSession::disconnected, this, &WebSocketServer::sessionDisconnected);
    sessionList.append(session);
}

void WebSocketServer::sessionDisconnected()
{
    auto* session = qobject_cast<WebSocketServerSession*>(sender());
    // A session already ended by a replacement or a stop is on its way out.
    if (!session || !sessionList.removeOne(session))
        return;
    session->finish();
    session->deleteLater();
}

bool WebSocketServer::isOriginAllowed(const QString&)
{
    return true;
}

void WebSocketServer::onOriginAuthenticationRequired(QWebSocketCorsAuthenticator* authenticator)
{
    const QString origin = authenticator->origin();
    const bool allowed = isOriginAllowed(origin);
    authenticator->setAllowed(allowed);
    const QString shown = origin.isEmpty() ? QStringLiteral("(none)") : origin;
    if (allowed)
        qCInfo(lcWebSocketServer).noquote() << "Handshake from origin" << shown;
    else
        qCWarning(lcWebSocketServer).noquote() << "Handshake from origin" << shown << "refused: not an allowed origin";
}
