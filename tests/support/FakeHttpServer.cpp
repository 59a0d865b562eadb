#include "FakeHttpServer.h"

#include "ClientInfoSettings.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QSslSocket>
#include <QTcpServer>
#include <QThread>

#include <memory>

#include <sys/socket.h>

namespace {
// A megabyte at a time, as the client takes them.
void stream(QTcpSocket* socket, qint64 size, bool chunked)
{
    constexpr int ChunkSize = 1024 * 1024;
    static const QByteArray chunk(ChunkSize, 'x');
    auto sent = std::make_shared<qint64>(0);
    const auto more = [socket, size, chunked, sent] {
        while (socket->bytesToWrite() < ChunkSize && *sent < size) {
            const int count = int(qMin<qint64>(ChunkSize, size - *sent));
            socket->write(chunked ? QByteArray::number(count, 16) + "\r\n" : QByteArray());
            socket->write(chunk.constData(), count);
            socket->write(chunked ? "\r\n" : "");
            *sent += count;
            if (*sent == size) {
                socket->write(chunked ? "0\r\n\r\n" : "");
                socket->disconnectFromHost();
            }
        }
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
    more();
}
} // namespace

QByteArray FakeHttpRequest::path() const
{
    const int question = target.indexOf('?');
    return question < 0 ? target : target.left(question);
}

QByteArray FakeHttpRequest::header(const QByteArray& name) const
{
    for (const auto& pair : headers) {
        if (pair.first.toLower() == name.toLower())
            return pair.second;
    }
    return QByteArray();
}

FakeHttpResponse FakeHttpResponse::json(const QByteArray& body, int status, const QByteArray& reason)
{
    FakeHttpResponse response;
    response.status = status;
    response.reason = reason;
    response.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
    response.body = body;
    return response;
}

// Lives in the server thread; sockets are its children.
class FakeHttpListener : public QTcpServer
{
public:
    FakeHttpListener(FakeHttpServer* owner, const QSslConfiguration& tls)
        : owner(owner)
        , tls(tls)
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        QTcpSocket* socket = nullptr;
        if (tls.localCertificate().isNull()) {
            socket = new QTcpSocket(this);
            socket->setSocketDescriptor(descriptor);
        } else {
            auto* ssl = new QSslSocket(this);
            ssl->setSocketDescriptor(descriptor);
            ssl->setSslConfiguration(tls);
            ssl->startServerEncryption();
            socket = ssl;
        }
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] { onReadyRead(socket, *buffer); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

private:
    void onReadyRead(QTcpSocket* socket, QByteArray& buffer)
    {
        buffer += socket->readAll();
        // Not a request line (a TLS hello to a plain server): drop it the way a real server would.
        if (!buffer.isEmpty() && (buffer.at(0) < 'A' || buffer.at(0) > 'Z')) {
            owner->reject();
            buffer.clear();
            socket->abort();
            return;
        }
        const int headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        FakeHttpRequest request;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        int contentLength = 0;
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines[i].indexOf(':');
            if (colon < 0)
                continue;
            const QByteArray name = lines[i].left(colon).trimmed();
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            request.headers.append(qMakePair(name, value));
            if (name.toLower() == "content-length")
                contentLength = value.toInt();
        }
        if (buffer.size() < headerEnd + 4 + contentLength)
            return;
        request.body = buffer.mid(headerEnd + 4, contentLength);
        buffer.clear();

        const FakeHttpResponse response = owner->answer(request);
        if (response.silent)
            return;
        if (response.reset) {
            const linger abortive{1, 0};
            setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            socket->close();
            return;
        }
        QByteArray text = "HTTP/1.1 " + QByteArray::number(response.status) + " " + response.reason + "\r\n";
        for (const auto& header : response.headers)
            text += header.first + ": " + header.second + "\r\n";
        const qint64 size = response.streamedSize ? response.streamedSize : response.body.size();
        if (response.chunked)
            text += "Transfer-Encoding: chunked\r\n";
        else if (response.addContentLength)
            text += "Content-Length: " + QByteArray::number(size) + "\r\n";
        text += "Connection: close\r\n\r\n";
        if (response.streamedSize) {
            socket->write(text);
            stream(socket, size, response.chunked);
            return;
        }
        socket->write(response.raw.isEmpty() ? text + response.body : response.raw);
        socket->disconnectFromHost();
    }

    FakeHttpServer* owner;
    QSslConfiguration tls;
};

FakeHttpServer::FakeHttpServer()
    : FakeHttpServer(QSslConfiguration())
{
}

FakeHttpServer::FakeHttpServer(const QSslConfiguration& tls)
    : FakeHttpServer(tls, 0, QHostAddress(QHostAddress::LocalHost))
{
}

FakeHttpServer::FakeHttpServer(quint16 port)
    : FakeHttpServer(QSslConfiguration(), port, QHostAddress(QHostAddress::LocalHost))
{
}

FakeHttpServer::FakeHttpServer(const QHostAddress& address)
    : FakeHttpServer(QSslConfiguration(), 0, address)
{
}

FakeHttpServer::FakeHttpServer(const QSslConfiguration& tls, quint16 port, const QHostAddress& address)
    : m_handler([](const FakeHttpRequest&) { return FakeHttpResponse::json("{}"); })
    , m_thread(new QThread())
{
    m_thread->setObjectName(QStringLiteral("FakeHttpServer"));
    m_thread->start();
    auto* listener = new FakeHttpListener(this, tls);
    listener->moveToThread(m_thread);
    m_listener = listener;
    QMetaObject::invokeMethod(
        listener, [this, listener, port, address] {
            listener->listen(address, port);
            m_port = listener->serverPort();
        },
        Qt::BlockingQueuedConnection);
}

FakeHttpServer::~FakeHttpServer()
{
    QTcpServer* listener = m_listener;
    QMetaObject::invokeMethod(listener, [listener] { delete listener; }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

void FakeHttpServer::bypassSystemProxy()
{
    ClientInfoSettings settings;
    settings.UseProxy = false;
    settings.sync();
}

void FakeHttpServer::setHandler(Handler handler)
{
    QMutexLocker lock(&m_mutex);
    m_handler = std::move(handler);
}

void FakeHttpServer::setResponse(const FakeHttpResponse& response)
{
    setHandler([response](const FakeHttpRequest&) { return response; });
}

QList<FakeHttpRequest> FakeHttpServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

int FakeHttpServer::requestCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests.size();
}

void FakeHttpServer::close()
{
    QTcpServer* listener = m_listener;
    QMetaObject::invokeMethod(
        listener, [listener] {
            listener->close();
            for (QTcpSocket* socket : listener->findChildren<QTcpSocket*>())
                socket->abort();
        },
        Qt::BlockingQueuedConnection);
}

int FakeHttpServer::rejectedCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_rejected;
}

void FakeHttpServer::reject()
{
    QMutexLocker lock(&m_mutex);
    ++m_rejected;
}

FakeHttpResponse FakeHttpServer::answer(const FakeHttpRequest& request)
{
    Handler handler;
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(request);
        handler = m_handler;
    }
    return handler(request);
}
