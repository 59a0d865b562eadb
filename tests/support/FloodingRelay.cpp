#include "FloodingRelay.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

#include <utility>

namespace {
// What the relay lets wait for a client that reads slowly before it waits too.
constexpr qint64 OwnBacklog = 1024 * 1024;

QByteArray frameOf(char opcode, const QByteArray& payload)
{
    QByteArray frame;
    frame.append(char(0x80 | opcode));
    if (payload.size() < 126) {
        frame.append(char(payload.size()));
    } else if (payload.size() <= 0xffff) {
        frame.append(char(126));
        uchar length[2];
        qToBigEndian<quint16>(quint16(payload.size()), length);
        frame.append(reinterpret_cast<const char*>(length), 2);
    } else {
        frame.append(char(127));
        uchar length[8];
        qToBigEndian<quint64>(quint64(payload.size()), length);
        frame.append(reinterpret_cast<const char*>(length), 8);
    }
    return frame + payload;
}

// Bytes of the first whole server frame at the start of `bytes`; 0 while it is incomplete.
qint64 wholeFrame(const QByteArray& bytes)
{
    if (bytes.size() < 2)
        return 0;
    const uchar code = uchar(bytes.at(1)) & 0x7f;
    qint64 head = 2;
    quint64 length = code;
    if (code == 126) {
        head = 4;
        if (bytes.size() < head)
            return 0;
        length = qFromBigEndian<quint16>(reinterpret_cast<const uchar*>(bytes.constData() + 2));
    } else if (code == 127) {
        head = 10;
        if (bytes.size() < head)
            return 0;
        length = qFromBigEndian<quint64>(reinterpret_cast<const uchar*>(bytes.constData() + 2));
    }
    const qint64 total = head + qint64(length);
    return bytes.size() >= total ? total : 0;
}
} // namespace

struct FloodingRelay::Link
{
    QPointer<QTcpSocket> client;
    QTcpSocket* server = nullptr;
    QByteArray fromServer;
    bool upgraded = false;
    bool flooded = false;
};

FloodingRelay::FloodingRelay(quint16 serverPort)
    : serverPort(serverPort)
{
    thread.setObjectName(QStringLiteral("FloodingRelay"));
    moveToThread(&thread);
    thread.start();
    QMetaObject::invokeMethod(this, [this] {
        listener = new QTcpServer(this);
        pace = new QTimer(this);
        connect(pace, &QTimer::timeout, this, &FloodingRelay::writeFlood);
        connect(listener, &QTcpServer::newConnection, this, &FloodingRelay::accept);
        listener->listen(QHostAddress::LocalHost, 0);
        listeningPort = listener->serverPort();
    }, Qt::BlockingQueuedConnection);
}

FloodingRelay::~FloodingRelay()
{
    QMetaObject::invokeMethod(this, [this] {
        for (Link* link : std::exchange(links, {})) {
            if (link->client) {
                link->client->disconnect(this);
                delete link->client;
            }
            delete link;
        }
        delete listener;
        delete pace;
    }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

QByteArray FloodingRelay::textFrame(const QByteArray& utf8)
{
    return frameOf(0x1, utf8);
}

QByteArray FloodingRelay::binaryFrame(const QByteArray& bytes)
{
    return frameOf(0x2, bytes);
}

QByteArray FloodingRelay::pingFrame(const QByteArray& payload)
{
    return frameOf(0x9, payload.left(125));
}

void FloodingRelay::flood(const Flood& flood)
{
    flooding = true;
    QMetaObject::invokeMethod(this, [this, flood] { startFlood(flood); }, Qt::QueuedConnection);
}

void FloodingRelay::stop()
{
    QMetaObject::invokeMethod(this, [this] {
        current.frames = 0;
        pace->stop();
        flooding = false;
    }, Qt::BlockingQueuedConnection);
}

void FloodingRelay::accept()
{
    while (QTcpSocket* client = listener->nextPendingConnection()) {
        auto* link = new Link;
        link->client = client;
        link->server = new QTcpSocket(client);
        links.append(link);
        connect(link->server, &QTcpSocket::readyRead, this, [this, link] { passFromServer(link); });
        connect(client, &QTcpSocket::readyRead, this, [this, link] { passFromClient(link); });
        connect(link->server, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        connect(client, &QTcpSocket::disconnected, this, [this, link] {
            links.removeAll(link);
            link->client->deleteLater();
            delete link;
        });
        link->server->connectToHost(QHostAddress::LocalHost, serverPort);
    }
}

void FloodingRelay::passFromServer(Link* link)
{
    link->fromServer += link->server->readAll();
    if (!link->upgraded) {
        const int end = link->fromServer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        link->client->write(link->fromServer.left(end + 4));
        link->fromServer.remove(0, end + 4);
        link->upgraded = true;
    }
    // Whole frames only: the flood's own go in between.
    for (qint64 size = wholeFrame(link->fromServer); size > 0; size = wholeFrame(link->fromServer)) {
        link->client->write(link->fromServer.left(int(size)));
        link->fromServer.remove(0, int(size));
    }
}

void FloodingRelay::passFromClient(Link* link)
{
    if (!link->flooded || current.clientBytes == ClientBytes::Passed) {
        link->server->write(link->client->readAll());
        return;
    }
    if (current.clientBytes == ClientBytes::Dropped)
        link->client->readAll();
}

void FloodingRelay::startFlood(const Flood& flood)
{
    current = flood;
    written = 0;
    for (Link* link : links) {
        if (!link->upgraded || !link->client)
            continue;
        link->flooded = true;
        // What it sends stays in the kernel's buffers, then in the client.
        if (flood.clientBytes == ClientBytes::Unread)
            link->client->setReadBufferSize(1);
        if (flood.burst == 0)
            connect(link->client, &QTcpSocket::bytesWritten, this, &FloodingRelay::writeFlood, Qt::UniqueConnection);
    }
    pace->start(current.burst > 0 ? current.intervalMs : 0);
}

void FloodingRelay::writeFlood()
{
    // Bursts come with the timer alone, whatever an earlier flood left connected.
    if (current.burst > 0 && sender() != pace)
        return;
    const qint64 sent = written.load();
    bool anyLeft = false;
    for (Link* link : links) {
        if (!link->flooded || !link->client || link->client->state() != QAbstractSocket::ConnectedState)
            continue;
        anyLeft = true;
        qint64 next = sent;
        const qint64 last = current.burst > 0 ? std::min(current.frames, sent + current.burst) : current.frames;
        QByteArray batch;
        while (next < last && (current.burst > 0 || link->client->bytesToWrite() + batch.size() < OwnBacklog)) {
            batch += current.frame(next++);
            if (batch.size() >= 64 * 1024) {
                link->client->write(batch);
                batch.clear();
            }
        }
        link->client->write(batch);
        written = next;
    }
    // Paced by the client's reading from here on, not by the timer.
    if (current.burst == 0)
        pace->stop();
    if (!anyLeft || written.load() >= current.frames) {
        pace->stop();
        flooding = false;
    }
}
