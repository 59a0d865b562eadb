#include "WebSocketServer.h"

#include "LogCategories.h"
#include "NetworkErrorText.h"
#include "WebSocketServerSession.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketCorsAuthenticator>
#include <QWebSocketServer>

#include <utility>

namespace {
// A peer that never answers the closing handshake is cut off after this.
constexpr int closeGraceMs = 3000;
// A handshake must arrive within this, and be no larger.
constexpr int handshakeTimeoutMs = 10000;
constexpr int maxHandshakeBytes = 64 * 1024;
const char handshakeTimerName[] = "handshakeTimer";

QByteArray cookieHeader(const QByteArray& head)
{
    for (const QByteArray& line : head.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare("Cookie", Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}
} // namespace

const char* const WebSocketServer::RawCookieProperty = "rawCookieHeader";

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
    delete listener;
}

void WebSocketServer::createServer()
{
    if (server)
        return;
    server = new QWebSocketServer(QStringLiteral("Qt Server"), QWebSocketServer::NonSecureMode, this);
    connect(server, &QWebSocketServer::newConnection, this, &WebSocketServer::newConnection);
    connect(server, &QWebSocketServer::originAuthenticationRequired, this,
            &WebSocketServer::onOriginAuthenticationRequired);
    listener = new QTcpServer(this);
    connect(listener, &QTcpServer::newConnection, this, &WebSocketServer::onTcpConnection);
}

bool WebSocketServer::isListening() const
{
    return listener && listener->isListening();
}

QHostAddress WebSocketServer::serverAddress() const
{
    return listener ? listener->serverAddress() : QHostAddress();
}

quint16 WebSocketServer::serverPort() const
{
    return listener ? listener->serverPort() : 0;
}

void WebSocketServer::onStart(int port)
{
    createServer();
    if (listener->isListening())
        listener->close();
    if (port < 0 || port > 65535) {
        reportListenFailure(port, QStringLiteral("%1 — не номер порта").arg(port));
        return;
    }
    // Loopback only, whatever address the settings name: forms run on this machine.
    if (!listener->listen(QHostAddress(QHostAddress::LocalHost), quint16(port))) {
        reportListenFailure(port, NetworkErrorText::ofListen(listener->serverError(), port, listener->errorString()));
        return;
    }
    reportedFailurePort = -1;
    qCInfo(lcWebSocketServer).noquote() << QStringLiteral("Listening on ws://127.0.0.1:%1/").arg(listener->serverPort());
}

void WebSocketServer::onTcpConnection()
{
    while (QTcpSocket* socket = listener->nextPendingConnection()) {
        if (handshaking.size() >= MaxPendingHandshakes) {
            qCWarning(lcWebSocketServer) << "More than" << MaxPendingHandshakes << "handshakes at once: connection closed";
            socket->abort();
            socket->deleteLater();
            continue;
        }
        handshaking.append(socket);
        connect(socket, &QObject::destroyed, this, [this, socket] { handshaking.removeOne(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onHandshakeBytes(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto* timer = new QTimer(socket);
        timer->setObjectName(QLatin1String(handshakeTimerName));
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, socket, &QTcpSocket::abort);
        timer->start(handshakeTimeoutMs);
    }
}

void WebSocketServer::onHandshakeBytes(QTcpSocket* socket)
{
    const QByteArray head = socket->peek(maxHandshakeBytes);
    const int end = head.indexOf("\r\n\r\n");
    if (end < 0 && head.size() < maxHandshakeBytes)
        return;
    socket->disconnect(this);
    handshaking.removeOne(socket);
    disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    delete socket->findChild<QTimer*>(QLatin1String(handshakeTimerName), Qt::FindDirectChildrenOnly);
    const quint16 port = socket->peerPort();
    handshakeCookies.insert(port, {socket, cookieHeader(head.left(end))});
    // A refused handshake never becomes a pending connection: its entry goes with its socket.
    connect(socket, &QObject::destroyed, this, [this, port, socket] {
        const auto it = handshakeCookies.constFind(port);
        if (it != handshakeCookies.constEnd() && it->socket == socket)
            handshakeCookies.erase(it);
    });
    // From here QWebSocketServer owns the socket and answers the handshake, a refusal included.
    server->handleConnection(socket);
}

QWebSocket* WebSocketServer::nextPendingSocket()
{
    QWebSocket* socket = server->nextPendingConnection();
    if (!socket)
        return nullptr;
    socket->setProperty(RawCookieProperty, handshakeCookies.take(socket->peerPort()).cookie);
    // Qt's defaults let one message take gigabytes; a form's metadata needs far less.
    socket->setMaxAllowedIncomingFrameSize(MaxMessageSize);
    socket->setMaxAllowedIncomingMessageSize(MaxMessageSize);
    return socket;
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
    if (!listener)
        return;
    if (listener->isListening()) {
        listener->close();
        emit closed();
    }
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
        if (socket->state() == QAbstractSocket::UnconnectedState) {
            socket->deleteLater();
        } else {
            connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(closeGraceMs, socket, &QWebSocket::abort);
            emit session->close();
        }
        session->deleteLater();
    }
}

WebSocketServerSession* WebSocketServer::createSession()
{
    QWebSocket* socket = nextPendingSocket();
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
