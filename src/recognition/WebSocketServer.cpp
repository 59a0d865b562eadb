#include "WebSocketServer.h"

#include "HttpRequestReader.h"
#include "LingeringClose.h"
#include "LocalHostHeader.h"
#include "LogCategories.h"
#include "NetworkErrorText.h"
#include "WebSocketServerSession.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketCorsAuthenticator>
#include <QWebSocketServer>

#include <algorithm>
#include <memory>
#include <utility>

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

namespace {
// A peer that never answers the closing handshake is cut off after this.
constexpr int closeGraceMs = 3000;
// How long a closed connection still reads what its peer sends.
constexpr int closeLingerMs = 2000;
} // namespace

const char* const WebSocketServer::RawCookieProperty = "rawCookieHeader";

// The frame heads in what a client sends (RFC 6455, 5.2): Qt's server takes
// frames without a mask as they are. Qt reads the bytes in a call queued after
// readyRead; what it has not read yet stays in the socket's buffer, behind the
// bytes already looked at here.
struct WebSocketServer::FrameHeads
{
    // Looks at what arrived since the last look; false when a frame without a mask begins in it.
    bool look(QTcpSocket* tcp)
    {
        const qint64 buffered = tcp->bytesAvailable();
        // Qt read outside its queued call, or the frame was told of: the place
        // in the stream is lost, and a guess could close a sound form.
        if (stopped || buffered < seen) {
            stopped = true;
            return true;
        }
        const qint64 fresh = buffered - seen;
        if (payloadLeft >= quint64(fresh)) {
            payloadLeft -= quint64(fresh);
        } else {
            const QByteArray bytes = tcp->peek(buffered);
            if (!follow(bytes.constData() + seen, bytes.size() - seen))
                return false;
        }
        seen = buffered;
        return true;
    }
    // Once Qt has read what it could, all that is left has been looked at.
    void afterQtRead(QTcpSocket* tcp) { seen = std::min(seen, tcp->bytesAvailable()); }

private:
    bool follow(const char* data, qint64 size)
    {
        for (qint64 at = 0; at < size;) {
            if (payloadLeft > 0) {
                const quint64 step = std::min(payloadLeft, quint64(size - at));
                payloadLeft -= step;
                at += qint64(step);
                continue;
            }
            head[headSize++] = uchar(data[at++]);
            if (headSize < 2)
                continue;
            if (!(head[1] & 0x80)) {
                stopped = true;
                return false;
            }
            const int lengthCode = head[1] & 0x7f;
            const int lengthSize = lengthCode == 127 ? 8 : lengthCode == 126 ? 2 : 0;
            if (headSize < 2 + lengthSize + 4)
                continue;
            payloadLeft = lengthSize == 0 ? quint64(lengthCode) : 0;
            for (int i = 2; i < 2 + lengthSize; ++i)
                payloadLeft = (payloadLeft << 8) | head[i];
            headSize = 0;
        }
        return true;
    }

    qint64 seen = 0;
    quint64 payloadLeft = 0;
    uchar head[14] = {};
    int headSize = 0;
    bool stopped = false;
};

// One accepted connection until its upgraded socket is taken as a session.
struct WebSocketServer::Handshake
{
    QTcpSocket* socket = nullptr;
    QTimer* deadline = nullptr;
    // Null once the head has been handed to QWebSocketServer (or refused).
    std::unique_ptr<HttpRequestReader> reader = std::make_unique<HttpRequestReader>(HttpRequestReader::MaxHeadSize);
    int fed = 0;
    QElapsedTimer age;
    QByteArray cookie;
    bool handedOver = false;
    // Answered with an error status, waiting for its close.
    bool refused = false;
};

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
    server->setHandshakeTimeout(HandshakeTimeoutMs);
    connect(server, &QWebSocketServer::newConnection, this, &WebSocketServer::newConnection);
    connect(server, &QWebSocketServer::originAuthenticationRequired, this,
            &WebSocketServer::onOriginAuthenticationRequired);
    listener = new QTcpServer(this);
    // One accepted connection at most waits here for a place; the rest wait in the kernel.
    listener->setMaxPendingConnections(1);
    connect(listener, &QTcpServer::newConnection, this, &WebSocketServer::onTcpConnection);
    // While every place is taken by a head that may still come, looks again soon.
    roomTimer = new QTimer(this);
    roomTimer->setSingleShot(true);
    roomTimer->setInterval(50);
    connect(roomTimer, &QTimer::timeout, this, &WebSocketServer::onTcpConnection);
}

bool WebSocketServer::isListening() const
{
    return listeningPort.load() != 0;
}

QHostAddress WebSocketServer::serverAddress() const
{
    return isListening() ? QHostAddress(QHostAddress::LocalHost) : QHostAddress();
}

quint16 WebSocketServer::serverPort() const
{
    return listeningPort.load();
}

QList<WebSocketServerSession*> WebSocketServer::sessions() const
{
    QMutexLocker lock(&sessionsMutex);
    return sessionList;
}

void WebSocketServer::onStart(int port)
{
    createServer();
    listeningPort = 0;
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
    // Qt listens with a backlog of 50; a second listen() on the socket only changes the backlog.
    if (::listen(int(listener->socketDescriptor()), AcceptBacklog) != 0)
        qCWarning(lcWebSocketServer) << "The accept backlog stays at Qt's default:" << strerror(errno);
    listeningPort = listener->serverPort();
    reportedFailurePort = -1;
    qCInfo(lcWebSocketServer).noquote() << QStringLiteral("Listening on ws://127.0.0.1:%1/").arg(listener->serverPort());
}

void WebSocketServer::onTcpConnection()
{
    while (listener->hasPendingConnections()) {
        if (int(handshakes.size()) >= MaxPendingHandshakes && !dropOneUnfinished()) {
            // Left with the kernel, which holds the rest behind it: a form's
            // head waits there, sent, until a place is free.
            QString more;
            if (refusalLog.pass(&more))
                qCWarning(lcWebSocketServer).noquote()
                    << MaxPendingHandshakes << "handshakes at once: new connections wait" << more;
            if (!roomTimer->isActive())
                roomTimer->start();
            return;
        }
        QTcpSocket* socket = listener->nextPendingConnection();
        auto handshake = std::make_unique<Handshake>();
        handshake->socket = socket;
        handshake->age.start();
        handshake->reader->setStrictLines(MaxHeadLineSize);
        handshake->deadline = new QTimer(socket);
        handshake->deadline->setSingleShot(true);
        // Whatever a peer sends past the longest head waits in the kernel, not in this process.
        socket->setReadBufferSize(HttpRequestReader::MaxHeadSize + 4096);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onHandshakeBytes(socket); });
        // Until it is taken as a session the socket is this server's, whoever reads it.
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (takeHandshake(socket))
                socket->deleteLater();
        });
        // QWebSocketServer may delete a socket it refused.
        connect(socket, &QObject::destroyed, this, [this, socket] { takeHandshake(socket); });
        connect(handshake->deadline, &QTimer::timeout, socket, &QTcpSocket::abort);
        handshake->deadline->start(HandshakeTimeoutMs);
        handshakes.push_back(std::move(handshake));
        // While it waited in QTcpServer for a place its head may have been read,
        // and readyRead emitted to no one: it will not come again for that head.
        if (socket->bytesAvailable() > 0)
            onHandshakeBytes(socket);
    }
}

bool WebSocketServer::dropOneUnfinished()
{
    // Which goes first: a head already answered, then one that stopped halfway
    // (a form sends its head in one piece), then one that has sent nothing for
    // SilentHeadMs; the oldest of its kind. A younger silent one may be a form
    // whose head is on its way: it stays.
    const auto rank = [](const Handshake& h) {
        return h.refused ? 0 : h.fed > 0 ? 1 : h.age.hasExpired(SilentHeadMs) ? 2 : 3;
    };
    for (int tries = 0; tries < 8; ++tries) {
        Handshake* victim = nullptr;
        for (const auto& handshake : handshakes) {
            if (!handshake->handedOver && rank(*handshake) < 3 && (!victim || rank(*handshake) < rank(*victim)))
                victim = handshake.get();
        }
        if (!victim)
            return false;
        QTcpSocket* socket = victim->socket;
        if (!victim->refused) {
            // In a burst of connections its bytes may be there unread: one look, without waiting.
            const int fed = victim->fed;
            socket->waitForReadyRead(0);
            const Handshake* after = handshakeOf(socket);
            if (!after)
                return true;
            if (after->handedOver || after->refused || after->fed != fed)
                continue;
        }
        QString more;
        if (refusalLog.pass(&more))
            qCWarning(lcWebSocketServer).noquote() << MaxPendingHandshakes << "handshakes unfinished: one is dropped" << more;
        takeHandshake(socket);
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        return true;
    }
    return false;
}

WebSocketServer::Handshake* WebSocketServer::handshakeOf(const QTcpSocket* socket) const
{
    const auto it = std::find_if(handshakes.begin(), handshakes.end(), [socket](const auto& h) { return h->socket == socket; });
    return it == handshakes.end() ? nullptr : it->get();
}

std::unique_ptr<WebSocketServer::Handshake> WebSocketServer::takeHandshake(const QTcpSocket* socket)
{
    const auto it = std::find_if(handshakes.begin(), handshakes.end(), [socket](const auto& h) { return h->socket == socket; });
    if (it == handshakes.end())
        return nullptr;
    std::unique_ptr<Handshake> handshake = std::move(*it);
    handshakes.erase(it);
    return handshake;
}

void WebSocketServer::onHandshakeBytes(QTcpSocket* socket)
{
    Handshake* handshake = handshakeOf(socket);
    if (!handshake || !handshake->reader)
        return;
    // Peeked, not read: QWebSocketServer reads the head itself.
    const QByteArray bytes = socket->peek(HttpRequestReader::MaxHeadSize + 4);
    if (bytes.size() > handshake->fed)
        handshake->reader->append(bytes.mid(handshake->fed));
    handshake->fed = bytes.size();
    const HttpRequestReader& head = *handshake->reader;
    if (head.state() == HttpRequestReader::State::Failed) {
        refuse(handshake, head.errorStatus(), head.errorReason(), head.errorText());
        return;
    }
    if (!head.headersComplete())
        return;
    if (!LocalHostHeader::isLocal(head.header("Host"))) {
        refuse(handshake, 403, "Forbidden",
               QStringLiteral("a request for host %1").arg(QString::fromLatin1(head.header("Host").left(100))));
        return;
    }
    handshake->cookie = head.header("Cookie");
    handshake->reader.reset();
    handshake->handedOver = true;
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    // QWebSocketServer answers the handshake, a refusal included; the socket keeps
    // its deadline and its place in the count until it is taken as a session.
    server->handleConnection(socket);
}

void WebSocketServer::refuse(Handshake* handshake, int status, const QByteArray& reason, const QString& why)
{
    QString more;
    if (refusalLog.pass(&more))
        qCWarning(lcWebSocketServer).noquote() << QStringLiteral("Handshake refused with %1: %2").arg(status).arg(why) << more;
    handshake->reader.reset();
    handshake->refused = true;
    QTcpSocket* socket = handshake->socket;
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason
                  + "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
    // The rest of its head is read and dropped, so that the page reads why; its
    // place and deadline stay until it is gone.
    LingeringClose::start(socket, closeGraceMs, closeLingerMs);
}

QWebSocket* WebSocketServer::nextPendingSocket()
{
    while (QWebSocket* socket = server->nextPendingConnection()) {
        // Qt's defaults let one message take gigabytes; a form's metadata needs far less.
        socket->setMaxAllowedIncomingFrameSize(MaxMessageSize);
        socket->setMaxAllowedIncomingMessageSize(MaxMessageSize);
        const auto it = std::find_if(handshakes.begin(), handshakes.end(), [socket](const auto& h) {
            return h->handedOver && isUpgradeOf(*socket, *h->socket);
        });
        if (it == handshakes.end())
            return socket;
        std::unique_ptr<Handshake> handshake = std::move(*it);
        handshakes.erase(it);
        QTcpSocket* tcp = handshake->socket;
        delete handshake->deadline;
        tcp->disconnect(this);
        tcp->setReadBufferSize(0);
        socket->setProperty(RawCookieProperty, handshake->cookie);
        // One lingering close for the connection, however often its close is announced (close, then abort).
        connect(socket, &QWebSocket::aboutToClose, this, [this, tcp, once = std::make_shared<bool>(false)] {
            if (!std::exchange(*once, true))
                lingerAfterClose(tcp);
        });
        if (watchFrames(socket, tcp))
            return socket;
        QString more;
        if (refusalLog.pass(&more))
            qCWarning(lcWebSocketServer).noquote() << "A client sent a frame without a mask with its handshake: closed (1002)" << more;
        closeEnded(socket, QWebSocketProtocol::CloseCodeProtocolError, QStringLiteral("Frames must be masked"));
    }
    return nullptr;
}

bool WebSocketServer::watchFrames(QWebSocket* socket, QTcpSocket* tcp)
{
    auto frames = std::make_shared<FrameHeads>();
    // Before Qt reads the bytes; Qt also answers pings without a signal, so this is the moment to look at the backlog too.
    connect(tcp, &QTcpSocket::readyRead, socket, [this, socket, tcp, frames] {
        if (!abortWhenBacklogged(socket) && !frames->look(tcp))
            closeUnmasked(socket);
    });
    const auto afterQtRead = [frames, tcp = QPointer<QTcpSocket>(tcp)] {
        if (tcp)
            frames->afterQtRead(tcp);
    };
    connect(tcp, &QTcpSocket::readyRead, socket, afterQtRead, Qt::QueuedConnection);
    // Frames that came with the head: Qt's reading of them is already on its way.
    if (tcp->bytesAvailable() == 0)
        return true;
    QMetaObject::invokeMethod(socket, afterQtRead, Qt::QueuedConnection);
    return frames->look(tcp);
}

void WebSocketServer::closeUnmasked(QWebSocket* socket)
{
    QString more;
    if (sessionLog.pass(&more))
        qCWarning(lcWebSocketServer).noquote() << "A form sent a frame without a mask: closed (1002)" << more;
    // Before Qt reads the frame: once the close is sent, Qt hands no more messages on.
    closeSocket(socket, QWebSocketProtocol::CloseCodeProtocolError, QStringLiteral("Frames must be masked"));
}

bool WebSocketServer::isUpgradeOf(const QWebSocket& upgraded, const QTcpSocket& accepted)
{
    return upgraded.peerPort() == accepted.peerPort() && upgraded.peerAddress() == accepted.peerAddress();
}

bool WebSocketServer::abortWhenBacklogged(QWebSocket* socket)
{
    if (socket->bytesToWrite() <= MaxUnsentBytes)
        return false;
    qCWarning(lcWebSocketServer) << "A form left more than" << MaxUnsentBytes << "bytes unread: connection aborted";
    socket->abort();
    return true;
}

void WebSocketServer::lingerAfterClose(QTcpSocket* tcp)
{
    // Qt closes its descriptor right after the close frame, and a close with the
    // peer's bytes unread resets the connection: the page may never read why it
    // was closed (1009, 1008). A second descriptor keeps the connection open for
    // a lingering close once Qt has let go of it.
    const int fd = ::dup(int(tcp->socketDescriptor()));
    if (fd < 0)
        return;
    auto handOver = [this, fd, done = std::make_shared<bool>(false)] {
        if (std::exchange(*done, true))
            return;
        auto* lingering = new QTcpSocket(this);
        if (!lingering->setSocketDescriptor(fd)) {
            ::close(fd);
            delete lingering;
            return;
        }
        lingeringSockets.removeAll(nullptr);
        while (lingeringSockets.size() >= MaxLingeringSockets) {
            QTcpSocket* oldest = lingeringSockets.takeFirst();
            oldest->abort();
            oldest->deleteLater();
        }
        lingeringSockets.append(lingering);
        LingeringClose::start(lingering, closeGraceMs, closeLingerMs);
    };
    connect(tcp, &QTcpSocket::disconnected, this, handOver);
    connect(tcp, &QObject::destroyed, this, handOver);
}

void WebSocketServer::closeSocket(QWebSocket* socket, QWebSocketProtocol::CloseCode code, const QString& reason)
{
    if (socket->state() == QAbstractSocket::UnconnectedState)
        return;
    QTimer::singleShot(closeGraceMs, socket, &QWebSocket::abort);
    socket->close(code, reason);
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
    listeningPort = 0;
    if (listener->isListening()) {
        listener->close();
        emit closed();
    }
    deleteAllSessions();
}

void WebSocketServer::deleteAllSessions()
{
    // Taken out first: a socket may report its disconnect while it is closed below.
    QList<WebSocketServerSession*> sessions;
    {
        QMutexLocker lock(&sessionsMutex);
        sessions = std::exchange(sessionList, {});
    }
    for (WebSocketServerSession* session : sessions) {
        session->finish();
        // The socket outlives its session until the peer has answered the close.
        QWebSocket* socket = session->socket();
        socket->setParent(this);
        if (socket->state() == QAbstractSocket::UnconnectedState)
            socket->deleteLater();
        else
            closeEnded(socket);
        session->deleteLater();
    }
}

void WebSocketServer::closeEnded(QWebSocket* socket, QWebSocketProtocol::CloseCode code, const QString& reason)
{
    // Forms that connect again and again must not pile up sockets waiting for their close.
    while (closingSockets.size() >= MaxClosingSockets) {
        QWebSocket* oldest = closingSockets.takeFirst();
        oldest->disconnect(this);
        oldest->abort();
        oldest->deleteLater();
    }
    closingSockets.append(socket);
    connect(socket, &QWebSocket::disconnected, this, [this, socket] {
        closingSockets.removeOne(socket);
        socket->deleteLater();
    });
    QTimer::singleShot(closeGraceMs, socket, &QWebSocket::abort);
    socket->close(code, reason);
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
    QMutexLocker lock(&sessionsMutex);
    sessionList.append(session);
}

void WebSocketServer::sessionDisconnected()
{
    auto* session = qobject_cast<WebSocketServerSession*>(sender());
    // A session already ended by a replacement or a stop is on its way out.
    {
        QMutexLocker lock(&sessionsMutex);
        if (!session || !sessionList.removeOne(session))
            return;
    }
    session->finish();
    session->deleteLater();
}

void WebSocketServer::holdOff(const QString& origin)
{
    // Only a local program can name Origins at will: a few are enough to remember.
    constexpr int maxHeldOff = 64;
    for (auto it = heldOff.begin(); it != heldOff.end();)
        it = it->hasExpired() ? heldOff.erase(it) : std::next(it);
    if (heldOff.size() >= maxHeldOff && !heldOff.contains(origin))
        heldOff.erase(heldOff.begin());
    heldOff.insert(origin, QDeadlineTimer(HoldOffMs));
}

bool WebSocketServer::openingAllowed(const QString& origin)
{
    // Only a local program can name Origins at will: a few are enough to remember.
    if (openings.size() >= 64 && openings.find(origin) == openings.end())
        openings.clear();
    auto budget = openings.try_emplace(origin, MaxOpeningBurst, MaxOpeningsPerSecond).first;
    if (budget->second.take())
        return true;
    holdOff(origin);
    return false;
}

bool WebSocketServer::isOriginAllowed(const QString&)
{
    return true;
}

void WebSocketServer::onOriginAuthenticationRequired(QWebSocketCorsAuthenticator* authenticator)
{
    const QString origin = authenticator->origin();
    const auto held = heldOff.constFind(origin);
    const bool isHeldOff = held != heldOff.constEnd() && !held->hasExpired();
    const bool tooOften = !isHeldOff && !openingAllowed(origin);
    const bool allowed = !isHeldOff && !tooOften && isOriginAllowed(origin);
    authenticator->setAllowed(allowed);
    QString more;
    if (!(allowed ? acceptanceLog : refusalLog).pass(&more))
        return;
    const QString shown = origin.isEmpty() ? QStringLiteral("(none)") : origin.left(100);
    if (allowed)
        qCInfo(lcWebSocketServer).noquote() << "Handshake from origin" << shown << more;
    else
        qCWarning(lcWebSocketServer).noquote() << "Handshake from origin" << shown << "refused:"
                                               << (isHeldOff  ? "its last form was closed for its traffic"
                                                   : tooOften ? "it opens forms too often"
                                                              : "not an allowed origin")
                                               << more;
}
