#include "RestProxyServer.h"

#include "ClientConnectionSettings.h"
#include "FormApiSettings.h"
#include "HttpFields.h"
#include "LingeringClose.h"
#include "LocalHostHeader.h"
#include "LogCategories.h"
#include "NetworkErrorText.h"
#include "RestClient.h"
#include "RestJsonWorker.h"

#include <QJsonDocument>
#include <QPointer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <memory>

namespace {
constexpr int StateDisconnected = 1;
constexpr int StateConnected = 4;

const QString BadRequestText = QStringLiteral("Некорректный формат запроса");
const QString ConnectionErrorText = QStringLiteral("Ошибка подключения к серверу");

// Headers that describe this connection or this request's framing, not the
// request: the forwarded request gets its own.
bool isOwnHeader(const QByteArray& name, const QList<QByteArray>& connectionValues)
{
    static const QList<QByteArray> framing{"expect", "accept-encoding", "content-length"};
    return framing.contains(name.toLower()) || HttpFields::isHopByHop(name, connectionValues);
}

bool isLoopbackName(const QString& ip)
{
    const QString trimmed = ip.trimmed();
    return trimmed == QLatin1String("localhost") || trimmed == QLatin1String("127.0.0.1");
}

// Both names in one pass, so an address that itself contains one of them is not replaced again.
QByteArray substituteAddress(const QByteArray& bytes, const QByteArray& address)
{
    static const QByteArray names[] = {"localhost", "127.0.0.1"};
    QByteArray result;
    result.reserve(bytes.size());
    int i = 0;
    while (i < bytes.size()) {
        bool replaced = false;
        for (const QByteArray& name : names) {
            if (bytes.mid(i, name.size()) == name) {
                result += address;
                i += name.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            result += bytes.at(i++);
    }
    return result;
}

// Repeated fields form one list (RFC 9110, 5.3): every value is forwarded,
// cookies joined as one Cookie header joins them.
QMap<QByteArray, QByteArray> forwardedHeaders(const HttpRequestReader& request, const QByteArray& address)
{
    QMap<QByteArray, QByteArray> result;
    QHash<QByteArray, QByteArray> firstSpelling;
    const QList<QByteArray> connection = request.headerValues("Connection");
    for (const HttpRequestReader::Header& header : request.headers()) {
        if (isOwnHeader(header.first, connection))
            continue;
        const QByteArray value = substituteAddress(header.second, address);
        const QByteArray lower = header.first.toLower();
        const auto known = firstSpelling.constFind(lower);
        if (known == firstSpelling.constEnd()) {
            firstSpelling.insert(lower, header.first);
            result.insert(header.first, value);
        } else {
            result[*known] += (lower == "cookie" ? "; " : ", ") + value;
        }
    }
    return result;
}

// With AllowedOrigins set, only those pages may call, as on the WebSocket:
// a browser names the calling page in Origin on every cross-origin request.
bool isOriginAllowed(const HttpRequestReader& request)
{
    FormApiSettings formApi;
    const QList<QByteArray> origins = request.headerValues("Origin");
    if (origins.isEmpty())
        return formApi.isOriginAllowed(QString());
    return std::all_of(origins.begin(), origins.end(),
                       [&](const QByteArray& origin) { return formApi.isOriginAllowed(QString::fromLatin1(origin)); });
}

QByteArray withConnectionClose(QByteArray response)
{
    const int statusEnd = response.indexOf("\r\n");
    if (!response.startsWith("HTTP/") || statusEnd < 0)
        return RestProxyServer::errorResponse(502, "Bad Gateway", ConnectionErrorText,
                                              QStringLiteral("The server's answer is not HTTP"));
    // In place: the answer may carry megabytes.
    return response.insert(statusEnd + 2, "Connection: close\r\n");
}

QByteArray busyResponse()
{
    return RestProxyServer::errorResponse(503, "Service Unavailable", RestJsonWorker::defaultErrorText(),
                                          QStringLiteral("Too many requests at once"));
}
} // namespace

RestProxyServer::RestProxyServer()
    : thread(new QThread)
{
    thread->setObjectName(QStringLiteral("RestProxy"));
    thread->start();
    moveToThread(thread);
}

RestProxyServer::~RestProxyServer()
{
    // The listener, the sockets and the forwards belong to the proxy thread: they end there.
    if (thread->isRunning() && QThread::currentThread() != thread) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                stopServer();
                // A forward asked to stop gives its request up at once.
                for (QTcpSocket* socket : connections.keys())
                    dropConnection(socket);
                for (QThread* forwarder : forwarders) {
                    forwarder->wait();
                    delete forwarder;
                }
                forwarders.clear();
                qDeleteAll(findChildren<QTcpSocket*>(QString(), Qt::FindDirectChildrenOnly));
            },
            Qt::BlockingQueuedConnection);
    }
    thread->quit();
    thread->wait();
    delete thread;
}

void RestProxyServer::onSettingsChanged()
{
    // A changed port takes effect now, not at the next connection.
    if (isListening())
        restartServer();
}

void RestProxyServer::onWsConnectionState(ConnectionStateInfo stateInfo)
{
    if (stateInfo.state() == StateDisconnected)
        stopServer();
    else if (stateInfo.state() == StateConnected)
        restartServer();
}

void RestProxyServer::stopServer()
{
    if (isListening()) {
        close();
        qCInfo(lcRestProxyServer) << "Stopped listening";
    }
}

void RestProxyServer::restartServer()
{
    if (isListening())
        close();
    const int port = FormApiSettings().RestPort;
    QString error = QStringLiteral("%1 — не номер порта").arg(port);
    if (port >= 0 && port <= 65535) {
        if (listen(QHostAddress(QHostAddress::LocalHost), quint16(port))) {
            reportedFailurePort = -1;
            qCInfo(lcRestProxyServer).noquote() << QStringLiteral("Start listen to http://localhost:%1/").arg(serverPort());
            return;
        }
        error = NetworkErrorText::ofListen(serverError(), port, errorString());
    }
    qCWarning(lcRestProxyServer).noquote()
        << QStringLiteral("Error while starting listen to http://localhost:%1/ \n%2").arg(port).arg(error);
    if (port == reportedFailurePort)
        return;
    reportedFailurePort = port;
    emit listenFailed(port, error);
}

void RestProxyServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        qCWarning(lcRestProxyServer) << "Cannot take a connection:" << socket->errorString();
        delete socket;
        return;
    }
    if (openSockets >= MaxConnections) {
        const bool dropped = dropOldestUnfinishedHead();
        if (!full)
            qCWarning(lcRestProxyServer).noquote()
                << "More than" << MaxConnections << "connections at once: closing"
                << (dropped ? "the oldest that has not sent its request head" : "new ones");
        full = true;
        if (!dropped) {
            socket->abort();
            delete socket;
            return;
        }
    } else {
        full = false;
    }
    ++openSockets;
    connect(socket, &QObject::destroyed, this, [this] { --openSockets; });
    // Read as far as the request reader takes it; the rest waits in the kernel.
    socket->setReadBufferSize(HttpRequestReader::MaxHeadSize);
    auto* connection = new Connection;
    connection->serial = ++accepted;
    connection->age.start();
    // Counted from the accept: a peer that sends a byte now and then gains nothing.
    connection->deadline = new QTimer(socket);
    connection->deadline->setSingleShot(true);
    connect(connection->deadline, &QTimer::timeout, this, [this, socket] { onDeadline(socket); });
    connections.insert(socket, connection);
    connect(socket, &QTcpSocket::readyRead, this, &RestProxyServer::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &RestProxyServer::onDisconnected);
    connection->deadline->start(qMin(headTimeoutMs, requestTimeoutMs));
}

bool RestProxyServer::dropOldestUnfinishedHead()
{
    QTcpSocket* oldest = nullptr;
    quint64 oldestSerial = 0;
    for (auto it = connections.cbegin(); it != connections.cend(); ++it) {
        const Connection* connection = it.value();
        if (connection->stage == Stage::Reading && !connection->reader.headersComplete()
            && (!oldest || connection->serial < oldestSerial)) {
            oldest = it.key();
            oldestSerial = connection->serial;
        }
    }
    if (!oldest)
        return false;
    release(oldest);
    // At once, so that its place is free for the new one.
    delete oldest;
    return true;
}

void RestProxyServer::onDeadline(QTcpSocket* socket)
{
    Connection* connection = connections.value(socket);
    // A forward ends with an answer within its own time limit.
    if (!connection || connection->stage == Stage::Forwarding)
        return;
    const bool headOnly = connection->stage == Stage::Reading && !connection->reader.headersComplete();
    const qint64 limit = headOnly ? headTimeoutMs : requestTimeoutMs;
    const qint64 age = connection->age.elapsed();
    if (age < limit) {
        connection->deadline->start(int(limit - age));
        return;
    }
    if (connection->stage == Stage::Waiting) {
        qCWarning(lcRestProxyServer) << "A request waited" << age << "ms for one of" << MaxForwards
                                     << "forwards: answered 503";
        respond(socket, busyResponse());
        return;
    }
    qCInfo(lcRestProxyServer) << "Closing a connection whose request" << (headOnly ? "head" : "body")
                              << "is not complete after" << age << "ms";
    dropConnection(socket);
}

void RestProxyServer::onReadyRead()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    Connection* connection = connections.value(socket);
    // One request per connection: what follows it is read only when the answer is written.
    if (!connection || connection->stage != Stage::Reading)
        return;
    const QByteArray bytes = socket->readAll();
    if (bufferedBytes() + bytes.size() > MaxBufferedBytes) {
        qCWarning(lcRestProxyServer) << "Requests in progress hold" << bufferedBytes() << "bytes: one more refused";
        respond(socket, busyResponse());
        return;
    }
    HttpRequestReader& reader = connection->reader;
    const HttpRequestReader::State state = reader.append(bytes);
    if (state == HttpRequestReader::State::Incomplete) {
        if (reader.headersComplete() && !connection->continueSent
            && reader.header("Expect").compare("100-continue", Qt::CaseInsensitive) == 0) {
            socket->write("HTTP/1.1 100 Continue\r\n\r\n");
            connection->continueSent = true;
        }
        return;
    }
    if (state == HttpRequestReader::State::Failed) {
        qCWarning(lcRestProxyServer).noquote() << "Bad request:" << reader.errorText();
        respond(socket, errorResponse(reader.errorStatus(), reader.errorReason(), BadRequestText, reader.errorText()));
        return;
    }
    const std::optional<QByteArray> refused = refusal(reader);
    if (refused) {
        respond(socket, *refused);
        return;
    }
    connection->stage = Stage::Waiting;
    waiting.append(socket);
    startForwards();
}

qint64 RestProxyServer::bufferedBytes() const
{
    qint64 total = 0;
    for (const Connection* connection : connections)
        total += connection->reader.bufferedSize();
    return total;
}

std::optional<QByteArray> RestProxyServer::refusal(const HttpRequestReader& request)
{
    const QByteArray host = request.header("Host");
    if (!LocalHostHeader::isLocal(host)) {
        qCWarning(lcRestProxyServer).noquote() << "Refused a request for host" << QString::fromLatin1(host.left(100));
        return errorResponse(403, "Forbidden", BadRequestText,
                             QStringLiteral("Host must be localhost, 127.0.0.1 or [::1]"));
    }
    if (!isOriginAllowed(request)) {
        qCWarning(lcRestProxyServer).noquote()
            << "Refused a request from origin" << QString::fromLatin1(request.header("Origin").left(100))
            << ": not an allowed origin";
        return errorResponse(403, "Forbidden", BadRequestText,
                             QStringLiteral("Origin is not one of FormApiServer/AllowedOrigins"));
    }
    ClientConnectionSettings asrClient;
    if (isLoopbackName(asrClient.Ip) && int(asrClient.RestPort) == int(serverPort())) {
        qCWarning(lcRestProxyServer) << "The recognition server's REST address is this proxy: request dropped";
        return QByteArray();
    }
    return std::nullopt;
}

void RestProxyServer::startForwards()
{
    while (forwarders.size() < MaxForwards && !waiting.isEmpty()) {
        QTcpSocket* socket = waiting.takeFirst();
        forward(socket, connections.value(socket));
    }
}

void RestProxyServer::forward(QTcpSocket* socket, Connection* connection)
{
    const HttpRequestReader& request = connection->reader;
    ClientConnectionSettings asrClient;
    const QString ip = asrClient.Ip;
    const QByteArray address = ip.toUtf8();
    const QByteArray path = substituteAddress(request.target(), address);
    const QByteArray body = substituteAddress(request.body(), address);
    QMap<QByteArray, QByteArray> headers = forwardedHeaders(request, address);
    if (!body.isEmpty() || !request.header("Content-Length").isNull())
        headers.insert("Content-Length", QByteArray::number(body.size()));
    const QByteArray method = request.method();
    qCDebug(lcRestProxyServer).noquote() << "Method:" << QString::fromLatin1(method)
                                         << "UrlPart:" << QString::fromUtf8(path.split('?').first())
                                         << QStringLiteral("Target: %1:%2").arg(ip).arg(int(asrClient.RestPort))
                                         << "Body:" << body.size() << "bytes";

    auto response = std::make_shared<QByteArray>();
    const int timeoutMs = forwardTimeoutMs;
    QThread* forwarder = QThread::create([=] {
        try {
            *response = withConnectionClose(sendUpstream(method, path, headers, body, timeoutMs));
        } catch (const std::exception& e) {
            const QString text = QString::fromUtf8(e.what());
            qCWarning(lcRestProxyServer).noquote() << (text.isEmpty() ? QStringLiteral("Unknown error") : text);
            *response = errorResponse(502, "Bad Gateway", ConnectionErrorText, text);
        } catch (...) {
            qCWarning(lcRestProxyServer) << "Unknown error";
            *response = errorResponse(502, "Bad Gateway", ConnectionErrorText, QString());
        }
    });
    forwarder->setObjectName(QStringLiteral("RestProxyForward"));
    connection->stage = Stage::Forwarding;
    connection->forwarder = forwarder;
    forwarders.insert(forwarder);
    const QPointer<QTcpSocket> target(socket);
    connect(forwarder, &QThread::finished, this,
            [this, forwarder, target, response] { onForwarded(forwarder, target, *response); });
    forwarder->start();
}

void RestProxyServer::onForwarded(QThread* forwarder, QTcpSocket* socket, const QByteArray& response)
{
    // Already ended and deleted when the proxy is going away.
    if (!forwarders.remove(forwarder))
        return;
    Connection* connection = socket ? connections.value(socket) : nullptr;
    const bool awaited = connection && connection->forwarder == forwarder;
    if (awaited)
        connection->forwarder = nullptr;
    // Finished is its last signal: the thread is about to end.
    forwarder->wait();
    delete forwarder;
    if (awaited)
        respond(socket, response);
    startForwards();
}

QByteArray RestProxyServer::proxyRequest(QByteArray method, QByteArray path, QMap<QByteArray, QByteArray> headers,
                                         QByteArray body)
{
    return sendUpstream(method, path, headers, body, forwardTimeoutMs);
}

QByteArray RestProxyServer::sendUpstream(const QByteArray& method, const QByteArray& path,
                                         const QMap<QByteArray, QByteArray>& headers, const QByteArray& body,
                                         int timeoutMs)
{
    ClientConnectionSettings asrClient;
    RestClient client;
    client.initialize(asrClient.Ip, asrClient.RestPort, asrClient.UseTls);
    // The form names the whole path itself.
    client.setApiPrefix(QStringLiteral("/"));
    if (timeoutMs >= 0)
        client.setTimeout(timeoutMs);
    client.addHeaders(headers);
    if (method == "POST")
        return client.executeClearHttp(QString::fromUtf8(path), POST, body, {});
    return client.executeClearHttp(QString::fromUtf8(path), GET, QByteArray(), {});
}

void RestProxyServer::respond(QTcpSocket* socket, const QByteArray& response)
{
    release(socket);
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    disconnect(socket, &QTcpSocket::disconnected, this, nullptr);
    if (!response.isEmpty())
        socket->write(response);
    LingeringClose::start(socket, requestTimeoutMs, LingerMs);
}

void RestProxyServer::dropConnection(QTcpSocket* socket)
{
    release(socket);
    socket->abort();
    socket->deleteLater();
}

void RestProxyServer::release(QTcpSocket* socket)
{
    Connection* connection = connections.take(socket);
    if (!connection)
        return;
    waiting.removeOne(socket);
    connection->deadline->stop();
    // Nobody waits for its answer any more.
    if (connection->forwarder)
        connection->forwarder->requestInterruption();
    delete connection;
}

void RestProxyServer::onDisconnected()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket)
        return;
    release(socket);
    socket->deleteLater();
}

QByteArray RestProxyServer::serializeJson(const QJsonObject& object)
{
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    qCDebug(lcRestProxyServer).noquote() << QString::fromUtf8(text);
    return text;
}

QByteArray RestProxyServer::errorResponse(int status, const QByteArray& reason, const QString& text,
                                          const QString& debugText)
{
    const QByteArray body = serializeJson(RestJsonWorker::createErrorResult(text, debugText));
    // Readable by the form's page, which is of another origin than this proxy.
    return "HTTP/1.1 " + QByteArray::number(status) + " " + reason
        + "\r\n"
          "Content-Type: application/json; charset=utf-8\r\n"
          "Content-Length: "
        + QByteArray::number(body.size())
        + "\r\n"
          "Connection: close\r\n"
          "Access-Control-Allow-Origin: *\r\n"
          "\r\n"
        + body;
}
