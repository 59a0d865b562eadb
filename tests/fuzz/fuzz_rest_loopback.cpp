// A raw HTTP reply (status line, headers, body) from a server on 127.0.0.1,
// taken by the real REST client for the balancer's server list (HTTPS first,
// then HTTP, then the cache) and for the recognition server's theme list.
// Qt leaves some broken replies (a chunked body cut short) open until the REST
// time-out aborts them: one input may take 3 s + 7 s, hence -timeout=30.
#include "FuzzEnvironment.h"

#include "AsrManager.h"
#include "BalancerReply.h"
#include "ClientConnectionSettings.h"
#include "Exception.h"
#include "FakeHttpServer.h"
#include "ServerStatusStorage.h"

#include <QMutex>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

using FuzzEnvironment::fail;

namespace {
// Answers every request with the same bytes and closes; a TLS hello gets the
// connection closed at once.
class RawReplyServer : public QObject
{
public:
    RawReplyServer()
    {
        moveToThread(&thread);
        thread.start();
        QMetaObject::invokeMethod(this, [this] { listen(); }, Qt::BlockingQueuedConnection);
    }
    ~RawReplyServer() override
    {
        QMetaObject::invokeMethod(this, [this] { delete server; }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
    quint16 port() const { return listeningPort; }
    void setReply(const QByteArray& bytes)
    {
        QMutexLocker lock(&mutex);
        reply = bytes;
    }

private:
    void listen()
    {
        server = new QTcpServer;
        if (!server->listen(QHostAddress::LocalHost, 0))
            fail(QStringLiteral("cannot listen on 127.0.0.1"));
        listeningPort = server->serverPort();
        QObject::connect(server, &QTcpServer::newConnection, server, [this] {
            while (QTcpSocket* socket = server->nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            }
        });
    }
    void answer(QTcpSocket* socket)
    {
        QByteArray& request = pending[socket];
        request += socket->readAll();
        if (request.startsWith('\x16')) {
            pending.remove(socket);
            socket->abort();
            return;
        }
        if (!request.contains("\r\n\r\n"))
            return;
        pending.remove(socket);
        QMutexLocker lock(&mutex);
        socket->write(reply);
        socket->disconnectFromHost();
    }

    QThread thread;
    QTcpServer* server = nullptr;
    quint16 listeningPort = 0;
    QHash<QTcpSocket*, QByteArray> pending;
    QMutex mutex;
    QByteArray reply;
};

RawReplyServer* server = nullptr;
} // namespace

void FuzzEnvironment::setUp()
{
    FakeHttpServer::bypassSystemProxy();
    // Kept for the whole run, like the program's own REST threads.
    server = new RawReplyServer;
    BalancerReply::pointBalancerAt(server->port());
    ClientConnectionSettings client;
    client.Ip = FakeHttpServer::host();
    client.RestPort = int(server->port());
    client.UseTls = false;
    client.sync();
}

extern "C" int LLVMFuzzerTestOneInput(const char* data, size_t size)
{
    if (size > 64 * 1024)
        return -1;
    server->setReply(QByteArray(data, int(size)));
    {
        ServerStatusStorage storage;
        storage.accessPoint()->restClient()->setTimeout(3000);
        bool fromBalancer = false;
        storage.GetServers(&fromBalancer);
        // Either way the cached list is what the next start falls back on.
        storage.cachedServerList();
    }
    AsrManager asr(nullptr);
    try {
        asr.get_Themes(true);
    } catch (const Exception&) {
        // "Не удалось получить список тем": the documented failure.
    }
    return 0;
}
