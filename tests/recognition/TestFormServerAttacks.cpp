#include "ConnectionManager.h"
#include "HttpRequestReader.h"
#include "LoopbackConnection.h"
#include "RecordingTextWriter.h"
#include "RestProxyServer.h"
#include "WebSocketProxyServer.h"
#include "WebSocketWorker.h"

#include <QtTest>

#include <QTcpSocket>
#include <QWebSocket>

#include <functional>
#include <memory>
#include <vector>

#include <malloc.h>

namespace {
constexpr int shortRequestTimeoutMs = 500;
using Sockets = std::vector<std::unique_ptr<QTcpSocket>>;

// What the process holds; the heap is trimmed first, so that memory the
// allocator merely keeps for later does not count.
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator holds freed memory in quarantine: the resident size
// does not come back down there.
constexpr bool ResidentSizeTells = false;
#else
constexpr bool ResidentSizeTells = true;
#endif

struct Usage
{
    static Usage now()
    {
        malloc_trim(0);
        Usage usage;
        usage.descriptors = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                const QList<QByteArray> fields = line.simplified().split(' ');
                if (fields.value(0) == "Threads:")
                    usage.threads = fields.value(1).toInt();
                else if (fields.value(0) == "VmRSS:")
                    usage.rssKb = fields.value(1).toLongLong();
            }
        }
        return usage;
    }
    bool within(const Usage& start) const
    {
        // The allocator may keep a little of what the attack made it take.
        return descriptors <= start.descriptors && threads <= start.threads
            && (!ResidentSizeTells || rssKb <= start.rssKb + 32 * 1024);
    }
    QByteArray text() const
    {
        return QStringLiteral("%1 descriptors, %2 threads, %3 kB resident").arg(descriptors).arg(threads).arg(rssKb).toLatin1();
    }
    int descriptors = 0;
    int threads = 0;
    qint64 rssKb = 0;
};

std::unique_ptr<QTcpSocket> connectTo(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    socket->waitForConnected(3000);
    return socket;
}

// Connects in small groups without blocking, so that the form server, which
// accepts in this thread, keeps up and the listen backlog never overflows.
Sockets openMany(quint16 port, int count)
{
    Sockets sockets;
    while (int(sockets.size()) < count) {
        for (int i = 0; i < 16 && int(sockets.size()) < count; ++i) {
            sockets.push_back(std::make_unique<QTcpSocket>());
            sockets.back()->connectToHost(QHostAddress::LocalHost, port);
        }
        (void)QTest::qWaitFor([&] {
            return std::none_of(sockets.begin(), sockets.end(),
                                [](const auto& s) { return s->state() == QAbstractSocket::ConnectingState; });
        }, 5000);
        QTest::qWait(10);
    }
    return sockets;
}

int countIn(const Sockets& sockets, QAbstractSocket::SocketState state)
{
    return int(std::count_if(sockets.begin(), sockets.end(), [state](const auto& s) { return s->state() == state; }));
}

int connectedCount(const Sockets& sockets)
{
    return int(std::count_if(sockets.begin(), sockets.end(),
                             [](const auto& s) { return s->state() == QAbstractSocket::ConnectedState; }));
}

// Everything the peer sends until it closes.
QByteArray answerOf(QTcpSocket& socket, int timeoutMs = 10000)
{
    QByteArray answer;
    QDeadlineTimer deadline(timeoutMs);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(50);
        answer += socket.readAll();
    }
    return answer + socket.readAll();
}

// The form server says why it closed the session.
void expectTooLargeMessage()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("message of more than %1 bytes")
                                                              .arg(WebSocketServer::MaxMessageSize)));
}

int statusOf(const QByteArray& answer)
{
    return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : 0;
}

// A client frame; the zero mask leaves the payload as it is.
QByteArray frameHead(bool final, int opcode, quint64 length)
{
    QByteArray head(1, char((final ? 0x80 : 0) | opcode));
    if (length < 126) {
        head += char(0x80 | length);
    } else {
        head += char(0x80 | 127);
        for (int shift = 56; shift >= 0; shift -= 8)
            head += char((length >> shift) & 0xff);
    }
    return head + QByteArray(4, '\0');
}

std::unique_ptr<QTcpSocket> upgradedTo(quint16 port)
{
    auto socket = connectTo(port);
    socket->write(QStringLiteral("GET / HTTP/1.1\r\nHost: 127.0.0.1:%1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                 "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
                      .arg(port)
                      .toLatin1());
    // The form server answers in this thread: wait with the event loop running.
    const auto headEnd = [&] { return socket->peek(64 * 1024).indexOf("\r\n\r\n"); };
    if (!QTest::qWaitFor([&] { return headEnd() >= 0; }, 5000))
        return nullptr;
    return socket->read(headEnd() + 4).startsWith("HTTP/1.1 101") ? std::move(socket) : nullptr;
}

// The status code of the server's close frame, 0 when none came.
int closeCodeOf(QTcpSocket& socket)
{
    QByteArray frames;
    const auto code = [&] {
        frames += socket.readAll();
        const int at = frames.indexOf(char(0x88));
        return at >= 0 && frames.size() >= at + 4 ? (uchar(frames.at(at + 2)) << 8) | uchar(frames.at(at + 3)) : 0;
    };
    (void)QTest::qWaitFor([&] { return code() != 0 || socket.state() != QAbstractSocket::ConnectedState; }, 10000);
    return code();
}
} // namespace

using Attack = std::function<void()>;
Q_DECLARE_METATYPE(Attack)

// The form servers as the program runs them (the link to a fake recognition
// server, the form WebSocket server, the HTTP proxy in its thread), attacked
// over loopback as any local program or web page could. After each attack the
// process is back to the descriptors, threads and memory it had, and at the
// end forms, REST calls and dictation still work.
class TestFormServerAttacks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void attack_data();
    void attack();
    void formsRestAndDictationStillWork();

private:
    quint16 proxyPort()
    {
        quint16 port = 0;
        QMetaObject::invokeMethod(proxy.get(), [&] { port = proxy->serverPort(); }, Qt::BlockingQueuedConnection);
        return port;
    }
    void setRequestTimeout(int msecs)
    {
        QMetaObject::invokeMethod(proxy.get(), [&] { proxy->setRequestTimeout(msecs); }, Qt::BlockingQueuedConnection);
    }
    int proxyConnections()
    {
        int count = 0;
        QMetaObject::invokeMethod(proxy.get(), [&] { count = proxy->connectionCount(); }, Qt::BlockingQueuedConnection);
        return count;
    }
    quint16 formPort() const { return link->worker()->webSocketProxyServer()->serverPort(); }
    QByteArray restCall()
    {
        auto socket = connectTo(proxyPort());
        socket->write("GET /api/Theme HTTP/1.1\r\nHost: localhost\r\n\r\n");
        return answerOf(*socket);
    }
    // A form that connects and tells the server about itself.
    bool formServed();

    RecordingTextWriter writer;
    std::unique_ptr<LoopbackConnection> link;
    FakeRecognitionServer* server = nullptr;
    std::unique_ptr<RestProxyServer> proxy;
    Usage start;
};

void TestFormServerAttacks::initTestCase()
{
    LoopbackConnection::useQuietHome();
    writer.focusedWindow = 7;
    link = std::make_unique<LoopbackConnection>();
    server = link->addServer();
    link->offerServers({link->entry(QStringLiteral("A"), server->port())});
    link->setRestHandler([](const FakeHttpRequest& request) {
        FakeHttpResponse answer = FakeHttpResponse::json(R"({"Data":[]})");
        answer.silent = request.path() == "/api/Silent";
        return answer;
    });
    link->build(200);
    link->wireDictation();
    proxy = std::make_unique<RestProxyServer>();
    setRequestTimeout(shortRequestTimeoutMs);
    QMetaObject::invokeMethod(proxy.get(), [this] { proxy->setForwardTimeout(300); }, Qt::BlockingQueuedConnection);
    connect(link->driver(), &ConnectionManager::stateChanged, proxy.get(), &RestProxyServer::onWsConnectionState);
    link->start();
    QVERIFY(link->waitForState(ConnectionManager::Ready));
    QTRY_VERIFY(link->worker()->webSocketProxyServer()->isListening());
    QTRY_VERIFY(proxyPort());

    // Whatever the first form and request set up once is part of the start.
    QVERIFY(formServed());
    QCOMPARE(statusOf(restCall()), 200);
    QTRY_VERIFY(!link->worker()->webSocketProxyServer()->currentSession());
    start = Usage::now();
    qInfo("At the start: %s", start.text().constData());
}

void TestFormServerAttacks::cleanupTestCase()
{
    proxy.reset();
    link.reset();
}

bool TestFormServerAttacks::formServed()
{
    const int before = server->messagesOfType(106).size();
    QWebSocket form;
    QSignalSpy connected(&form, &QWebSocket::connected);
    form.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(formPort())));
    if (!connected.wait(5000))
        return false;
    form.sendTextMessage(R"({"MessageType":6,"Data":{"Key":"form-1","Mode":0}})");
    const bool served = QTest::qWaitFor([&] { return server->messagesOfType(106).size() > before; }, 5000);
    form.close();
    return served;
}

void TestFormServerAttacks::attack_data()
{
    QTest::addColumn<Attack>("attack");

    // Past the limit connections are closed at once; the form server goes on accepting.
    QTest::newRow("proxy: a connection flood") << Attack([this] {
        // Long enough to count the connections kept before their deadline.
        setRequestTimeout(5000);
        const Sockets sockets = openMany(proxyPort(), 3 * RestProxyServer::MaxConnections);
        for (const auto& socket : sockets)
            socket->write("G");
        QTRY_COMPARE(countIn(sockets, QAbstractSocket::UnconnectedState), 2 * RestProxyServer::MaxConnections);
        QCOMPARE(connectedCount(sockets), RestProxyServer::MaxConnections);
        QVERIFY(proxyConnections() <= RestProxyServer::MaxConnections);
        QVERIFY(formServed());
    });
    QTest::newRow("proxy: a byte now and then") << Attack([this] {
        auto socket = connectTo(proxyPort());
        socket->write("GET /api/Theme HTTP/1.1\r\n");
        for (int i = 0; i < 200 && socket->state() == QAbstractSocket::ConnectedState; ++i) {
            socket->write("X");
            socket->waitForDisconnected(50);
        }
        QCOMPARE(socket->state(), QAbstractSocket::UnconnectedState);
    });
    QTest::newRow("proxy: 100000 header lines") << Attack([this] {
        auto socket = connectTo(proxyPort());
        QByteArray request = "GET /api/Theme HTTP/1.1\r\nHost: localhost\r\n";
        for (int i = 0; i < 100000; ++i)
            request += "X-" + QByteArray::number(i) + ": v\r\n";
        socket->write(request + "\r\n");
        const QByteArray answer = answerOf(*socket);
        QVERIFY2(answer.isEmpty() || statusOf(answer) == 431, answer.left(100).constData());
    });
    QTest::newRow("proxy: 60 unfinished large heads") << Attack([this] {
        setRequestTimeout(5000);
        Sockets sockets;
        // Together within the bytes all requests may hold: only the head limit ends them.
        const QByteArray head = "GET /" + QByteArray(RestProxyServer::MaxBufferedBytes / 64, 'a');
        for (int i = 0; i < 60; ++i) {
            sockets.push_back(connectTo(proxyPort()));
            sockets.back()->write(head);
        }
        // Answered 431 past the head limit, well before the deadline.
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(sockets), 0, 3000);
    });
    QTest::newRow("proxy: unfinished bodies") << Attack([this] {
        // Long enough for every body to arrive.
        setRequestTimeout(5000);
        Sockets sockets;
        const qint64 size = HttpRequestReader::DefaultMaxSize - 1024;
        // Shared by every socket's write buffer.
        const QByteArray body(int(size) - 1, 'b');
        for (int i = 0; i < 6; ++i) {
            sockets.push_back(connectTo(proxyPort()));
            sockets.back()->write("POST /api/Claim HTTP/1.1\r\nHost: localhost\r\nContent-Length: " + QByteArray::number(size)
                                  + "\r\n\r\n");
            sockets.back()->write(body);
        }
        // The bodies that do not fit are refused with 503 well before the deadline.
        QTRY_VERIFY_WITH_TIMEOUT(connectedCount(sockets) <= int(RestProxyServer::MaxBufferedBytes / size), 3000);
    });
    // The request it gives up on ends with its worker thread.
    QTest::newRow("proxy: a server that never answers") << Attack([this] {
        auto socket = connectTo(proxyPort());
        socket->write("GET /api/Silent HTTP/1.1\r\nHost: localhost\r\n\r\n");
        QCOMPARE(statusOf(answerOf(*socket)), 504);
    });
    QTest::newRow("form server: a handshake flood") << Attack([this] {
        const Sockets sockets = openMany(formPort(), 2 * WebSocketServer::MaxPendingHandshakes);
        QTRY_COMPARE(countIn(sockets, QAbstractSocket::UnconnectedState), WebSocketServer::MaxPendingHandshakes);
        QCOMPARE(connectedCount(sockets), WebSocketServer::MaxPendingHandshakes);
        QVERIFY(statusOf(restCall()) == 200);
    });
    QTest::newRow("form server: a 256 MB frame") << Attack([this] {
        auto socket = upgradedTo(formPort());
        QVERIFY(socket);
        expectTooLargeMessage();
        socket->write(frameHead(true, 2, 256 * 1024 * 1024) + QByteArray(1024 * 1024, 'x'));
        QCOMPARE(closeCodeOf(*socket), 1009);
        socket->abort();
        QTRY_VERIFY(!link->worker()->webSocketProxyServer()->currentSession());
    });
    QTest::newRow("form server: a message that never ends") << Attack([this] {
        auto socket = upgradedTo(formPort());
        QVERIFY(socket);
        expectTooLargeMessage();
        const QByteArray part(1024 * 1024, 'y');
        for (int i = 0; i < 5; ++i)
            socket->write(frameHead(false, i == 0 ? 1 : 0, quint64(part.size())) + part);
        QCOMPARE(closeCodeOf(*socket), 1009);
        socket->abort();
        QTRY_VERIFY(!link->worker()->webSocketProxyServer()->currentSession());
    });
}

void TestFormServerAttacks::attack()
{
    QFETCH(Attack, attack);
    const Usage before = Usage::now();
    attack();
    setRequestTimeout(shortRequestTimeoutMs);
    if (QTest::currentTestFailed())
        return;
    // Sockets of ended sessions, aborted workers and request buffers go within the servers' own limits.
    QTRY_VERIFY2_WITH_TIMEOUT(Usage::now().within(before), Usage::now().text().constData(), 15000);
    QCOMPARE(link->states().count(ConnectionManager::Ready), 1);
}

void TestFormServerAttacks::formsRestAndDictationStillWork()
{
    QVERIFY(formServed());
    QCOMPARE(statusOf(restCall()), 200);
    // With a form still connected a start would resume the form's dictation.
    QTRY_VERIFY(!link->worker()->webSocketProxyServer()->currentSession());

    QVERIFY(link->startDictation(server));
    server->sendResult(QStringLiteral("жалоб нет"), true);
    QTRY_VERIFY(writer.typedTexts().join(QLatin1Char('|')).contains(QStringLiteral("алоб нет")));
    const Usage end = Usage::now();
    qInfo("At the end: %s", end.text().constData());
    QVERIFY2(end.within(start), end.text().constData());
}

QTEST_MAIN(TestFormServerAttacks)
#include "TestFormServerAttacks.moc"
