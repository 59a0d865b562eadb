#include "ScriptedHttpServer.h"

#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

#include <sys/socket.h>

namespace {
constexpr int ChunkSize = 1024 * 1024;
} // namespace

ScriptedHttpServer::ScriptedHttpServer(Script script)
    : m_script(std::move(script))
{
    m_thread.setObjectName(QStringLiteral("ScriptedHttpServer"));
    m_thread.start();
    m_listener = new QTcpServer;
    m_listener->moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        m_listener,
        [this] {
            m_listener->listen(QHostAddress::LocalHost, 0);
            m_port = m_listener->serverPort();
            QObject::connect(m_listener, &QTcpServer::newConnection, m_listener, [this] {
                while (QTcpSocket* socket = m_listener->nextPendingConnection()) {
                    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { onReadyRead(socket); });
                    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                }
            });
        },
        Qt::BlockingQueuedConnection);
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    QTcpServer* listener = m_listener;
    QMetaObject::invokeMethod(listener, [listener] { delete listener; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

int ScriptedHttpServer::requestCount(const QByteArray& path) const
{
    QMutexLocker lock(&m_mutex);
    return m_counts.value(path);
}

void ScriptedHttpServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    const int headEnd = request.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    const QByteArray head = request.left(headEnd).toLower();
    const int length = head.indexOf("content-length:");
    const int bodySize = length < 0 ? 0 : head.mid(length + 15, head.indexOf('\r', length) - length - 15).trimmed().toInt();
    if (request.size() < headEnd + 4 + bodySize)
        return;
    socket->setProperty("request", QByteArray());
    const QByteArray path = request.left(request.indexOf('\r')).split(' ').value(1).split('?').first();
    {
        QMutexLocker lock(&m_mutex);
        ++m_counts[path];
    }
    answer(socket, m_script(path));
}

void ScriptedHttpServer::answer(QTcpSocket* socket, const Reply& reply)
{
    switch (reply.kind) {
    case Reply::Kind::Raw:
        socket->write(reply.bytes);
        socket->disconnectFromHost();
        break;
    case Reply::Kind::Body:
    case Reply::Kind::ChunkedBody:
        stream(socket, reply.size, reply.kind == Reply::Kind::ChunkedBody);
        break;
    case Reply::Kind::Reset: {
        const linger abortive{1, 0};
        setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        socket->close();
        break;
    }
    case Reply::Kind::Silent:
        break;
    }
}

void ScriptedHttpServer::stream(QTcpSocket* socket, qint64 size, bool chunked)
{
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                  + (chunked ? QByteArray("Transfer-Encoding: chunked") : "Content-Length: " + QByteArray::number(size))
                  + "\r\n\r\n");
    static const QByteArray chunk(ChunkSize, 'x');
    auto sent = std::make_shared<qint64>(0);
    // A megabyte at a time, as the client takes them.
    const auto more = [socket, size, chunked, sent] {
        if (*sent > size)
            return;
        while (socket->bytesToWrite() < ChunkSize && *sent < size) {
            const int count = int(qMin<qint64>(ChunkSize, size - *sent));
            if (chunked)
                socket->write(QByteArray::number(count, 16) + "\r\n");
            socket->write(chunk.constData(), count);
            if (chunked)
                socket->write("\r\n");
            *sent += count;
        }
        if (*sent == size) {
            ++*sent;
            if (chunked)
                socket->write("0\r\n\r\n");
            socket->disconnectFromHost();
        }
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
    more();
}
