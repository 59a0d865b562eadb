#include "ConnectionManager.h"
#include "HttpRequestReader.h"
#include "LoopbackConnection.h"
#include "RecordingTextWriter.h"
#include "RestProxyServer.h"
#include "StubRestWorker.h"
#include "TestHome.h"
#include "WebSocketProxyServer.h"
#include "WebSocketWorker.h"

#include <QtTest>

#include <QTcpSocket>
#include <QWebSocket>

#include <functional>
#include <memory>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>

using TestHome::scaled;

namespace {
// Read when it is set: the machine's load at the start says nothing of later.
int shortRequestTimeoutMs()
{
    return scaled(1000);
}
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
    // From here VmHWM is the highest resident size since.
    static void resetPeak()
    {
        QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
        if (clearRefs.open(QIODevice::WriteOnly))
            clearRefs.write("5");
    }
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
                else if (fields.value(0) == "VmHWM:")
                    usage.peakKb = fields.value(1).toLongLong();
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
    qint64 peakKb = 0;
};

std::unique_ptr<QTcpSocket> connectTo(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    socket->waitForConnected(scaled(5000));
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
        }, scaled(10000));
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
QByteArray answerOf(QTcpSocket& socket)
{
    QByteArray answer;
    QDeadlineTimer deadline(scaled(20000));
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

// The status answered to a request that is still being sent when the answer
// comes, read only once all is sent: lost when a reset overtakes it.
int statusOfAllSent(quint16 port, const QByteArray& request)
{
    auto socket = connectTo(port);
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 16 * 1024);
    socket->write(request);
    while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(scaled(5000))) {
    }
    return statusOf(answerOf(*socket));
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

QByteArray unmaskedFrame(const QByteArray& payload)
{
    return QByteArray(1, char(0x81)) + char(payload.size()) + payload;
}

QByteArray handshake(quint16 port, const QByteArray& extraLine = {})
{
    return "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
        + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
          "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
        + (extraLine.isEmpty() ? QByteArray() : extraLine + "\r\n") + "\r\n";
}

std::unique_ptr<QTcpSocket> upgradedTo(quint16 port, const QByteArray& extraLine = {})
{
    auto socket = connectTo(port);
    socket->write(handshake(port, extraLine));
    // The form server answers in this thread: wait with the event loop running.
    const auto headEnd = [&] { return socket->peek(64 * 1024).indexOf("\r\n\r\n"); };
    if (!QTest::qWaitFor([&] { return headEnd() >= 0; }, scaled(10000)))
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
    (void)QTest::qWaitFor([&] { return code() != 0 || socket.state() != QAbstractSocket::ConnectedState; },
                          scaled(20000));
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
    void setHeadTimeout(int msecs)
    {
        QMetaObject::invokeMethod(proxy.get(), [&] { proxy->setHeadTimeout(msecs); }, Qt::BlockingQueuedConnection);
    }
    int proxyConnections()
    {
        int count = 0;
        QMetaObject::invokeMethod(proxy.get(), [&] { count = proxy->connectionCount(); }, Qt::BlockingQueuedConnection);
        return count;
    }
    quint16 formPort() const { return link->worker()->webSocketProxyServer()->serverPort(); }
    std::unique_ptr<QTcpSocket> sendRequest(const QByteArray& path)
    {
        auto socket = connectTo(proxyPort());
        socket->write("GET " + path + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
        return socket;
    }
    QByteArray restCall() { return answerOf(*sendRequest("/api/Theme")); }
    int restRequests(const QByteArray& path) const
    {
        const QList<FakeHttpRequest> requests = link->restRequests();
        return int(std::count_if(requests.begin(), requests.end(), [&](const auto& r) { return r.path() == path; }));
    }
    // Refused 502 (not 504: before the forward's time limit), a real request served meanwhile.
    void answerOfHundredsOfMegabytes(const QByteArray& path);
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
    // A fixed threshold: a freed buffer of megabytes goes back to the system at
    // once instead of staying on top of a thread's heap (where the dynamic one
    // leaves it after the first such buffer), and it is not counted.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    LoopbackConnection::useQuietHome();
    writer.focusedWindow = 7;
    link = std::make_unique<LoopbackConnection>();
    server = link->addServer();
    link->offerServers({link->entry(QStringLiteral("A"), server->port())});
    // The recognition server's REST side, compromised.
    link->setRestHandler([](const FakeHttpRequest& request) {
        FakeHttpResponse answer = FakeHttpResponse::json(R"({"Data":[]})");
        answer.silent = request.path() == "/api/Silent";
        if (request.path().startsWith("/api/Huge")) {
            answer.streamedSize = 300 * 1024 * 1024;
            answer.chunked = request.path().endsWith("Chunked");
        }
        return answer;
    });
    link->build(200);
    link->wireDictation();
    proxy = std::make_unique<RestProxyServer>();
    setRequestTimeout(shortRequestTimeoutMs());
    setHeadTimeout(scaled(RestProxyServer::DefaultHeadTimeoutMs));
    QMetaObject::invokeMethod(proxy.get(), [this] { proxy->setForwardTimeout(scaled(3000)); }, Qt::BlockingQueuedConnection);
    connect(link->driver(), &ConnectionManager::stateChanged, proxy.get(), &RestProxyServer::onWsConnectionState);
    link->start();
    QVERIFY(link->waitForState(ConnectionManager::Ready, scaled(10000)));
    QTRY_VERIFY_WITH_TIMEOUT(link->worker()->webSocketProxyServer()->isListening(), scaled(10000));
    QTRY_VERIFY_WITH_TIMEOUT(proxyPort(), scaled(10000));

    // Whatever the first form and request set up once is part of the start.
    QVERIFY(formServed());
    QCOMPARE(statusOf(restCall()), 200);
    QTRY_VERIFY_WITH_TIMEOUT(!link->worker()->webSocketProxyServer()->currentSession(), scaled(10000));
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
    if (!connected.wait(scaled(10000)))
        return false;
    form.sendTextMessage(R"({"MessageType":6,"Data":{"Key":"form-1","Mode":0}})");
    const bool served = QTest::qWaitFor([&] { return server->messagesOfType(106).size() > before; }, scaled(10000));
    form.close();
    return served;
}

void TestFormServerAttacks::answerOfHundredsOfMegabytes(const QByteArray& path)
{
    const Usage before = Usage::now();
    Usage::resetPeak();
    auto socket = sendRequest(path);
    QTRY_COMPARE_WITH_TIMEOUT(restRequests(path), 1, scaled(10000));
    QCOMPARE(statusOf(restCall()), 200);
    QCOMPARE(statusOf(answerOf(*socket)), 502);
    // The reply held once, and the network layer's buffers.
    const qint64 growthKb = Usage::now().peakKb - before.rssKb;
    qInfo("Peak growth: %lld kB", growthKb);
    QVERIFY2(!ResidentSizeTells || growthKb < 4 * StubRestWorker::MaxReplySize / 1024, QByteArray::number(growthKb).constData());
}

void TestFormServerAttacks::attack_data()
{
    QTest::addColumn<Attack>("attack");

    // Past the limit connections take the places of those that sent nothing;
    // the form server goes on accepting.
    QTest::newRow("proxy: a connection flood") << Attack([this] {
        // Long enough to count the connections kept before their deadline.
        setRequestTimeout(scaled(60000));
        setHeadTimeout(scaled(60000));
        const Sockets sockets = openMany(proxyPort(), 3 * RestProxyServer::MaxConnections);
        for (const auto& socket : sockets)
            socket->write("G");
        QTRY_COMPARE_WITH_TIMEOUT(countIn(sockets, QAbstractSocket::UnconnectedState), 2 * RestProxyServer::MaxConnections,
                                  scaled(10000));
        QCOMPARE(connectedCount(sockets), RestProxyServer::MaxConnections);
        QVERIFY(proxyConnections() <= RestProxyServer::MaxConnections);
        QVERIFY(formServed());
    });
    QTest::newRow("proxy: unfinished heads in every place") << Attack([this] {
        setRequestTimeout(scaled(60000));
        setHeadTimeout(scaled(10000));
        const Sockets heads = openMany(proxyPort(), RestProxyServer::MaxConnections);
        for (const auto& socket : heads)
            socket->write("GET /api/Theme HTTP/1.1\r\nHost: loc");
        QTRY_COMPARE_WITH_TIMEOUT(proxyConnections(), RestProxyServer::MaxConnections, scaled(10000));
        QCOMPARE(statusOf(restCall()), 200);
        // At the head's deadline, long before the request's.
        QTRY_COMPARE_WITH_TIMEOUT(connectedCount(heads), 0, scaled(30000));
    });
    QTest::newRow("proxy: a byte now and then") << Attack([this] {
        auto socket = connectTo(proxyPort());
        socket->write("GET /api/Theme HTTP/1.1\r\n");
        const QDeadlineTimer deadline(scaled(15000));
        while (socket->state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
            socket->write("X");
            socket->waitForDisconnected(50);
        }
        QCOMPARE(socket->state(), QAbstractSocket::UnconnectedState);
    });
    QTest::newRow("proxy: 100000 header lines") << Attack([this] {
        QByteArray request = "GET /api/Theme HTTP/1.1\r\nHost: localhost\r\n";
        for (int i = 0; i < 100000; ++i)
            request += "X-" + QByteArray::number(i) + ": v\r\n";
        // Made first: under the sanitizer making it takes longer than the head may.
        auto socket = connectTo(proxyPort());
        socket->write(request + "\r\n");
        QCOMPARE(statusOf(answerOf(*socket)), 431);
    });
    // The answer is read, not lost to a reset for the bytes the proxy left unread.
    QTest::newRow("proxy: 500 KB heads") << Attack([this] {
        const QByteArray request = "GET /api/Theme HTTP/1.1\r\nHost: localhost\r\nX-A: " + QByteArray(500 * 1024, 'a');
        for (int i = 0; i < 10; ++i)
            QCOMPARE(statusOfAllSent(proxyPort(), request + "\r\n\r\n"), 431);
    });
    QTest::newRow("proxy: 60 unfinished large heads") << Attack([this] {
        setRequestTimeout(scaled(60000));
        Sockets sockets;
        // Together within the bytes all requests may hold: only the head limit ends them.
        const QByteArray head = "GET /" + QByteArray(RestProxyServer::MaxBufferedBytes / 64, 'a');
        for (int i = 0; i < 60; ++i) {
            sockets.push_back(connectTo(proxyPort()));
            sockets.back()->write(head);
        }
        for (const auto& socket : sockets)
            QCOMPARE(statusOf(answerOf(*socket)), 431);
    });
    QTest::newRow("proxy: unfinished bodies") << Attack([this] {
        // Long enough for all the bytes to arrive on a loaded machine.
        setRequestTimeout(scaled(15000));
        Sockets sockets;
        const qint64 size = HttpRequestReader::DefaultMaxSize - 1024;
        // A byte short, so that only the deadline ends them; shared by every socket's write buffer.
        const QByteArray body(int(size) - 1, 'b');
        for (int i = 0; i < 6; ++i) {
            sockets.push_back(connectTo(proxyPort()));
            sockets.back()->write("POST /api/Claim HTTP/1.1\r\nHost: localhost\r\nContent-Length: " + QByteArray::number(size)
                                  + "\r\n\r\n");
            sockets.back()->write(body);
        }
        // All at once, as the proxy reads them.
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(sockets.begin(), sockets.end(), [](const auto& s) { return s->bytesToWrite() == 0; }),
                                 scaled(20000));
        // Those that do not fit in the bytes all requests may hold are refused, and told so.
        QList<int> statuses;
        for (const auto& socket : sockets)
            statuses.append(statusOf(answerOf(*socket)));
        QCOMPARE(statuses.count(503), 6 - int(RestProxyServer::MaxBufferedBytes / size));
        QCOMPARE(statuses.count(0), int(RestProxyServer::MaxBufferedBytes / size));
    });
    // The request it gives up on ends with its worker thread.
    QTest::newRow("proxy: a server that never answers") << Attack([this] {
        QCOMPARE(statusOf(answerOf(*sendRequest("/api/Silent"))), 504);
    });
    QTest::newRow("proxy: 20 slow answers") << Attack([this] {
        Sockets slow;
        const int before = restRequests("/api/Silent");
        for (int i = 0; i < 20; ++i)
            slow.push_back(sendRequest("/api/Silent"));
        QTRY_COMPARE_WITH_TIMEOUT(restRequests("/api/Silent"), before + 20, scaled(10000));
        QCOMPARE(statusOf(restCall()), 200);
        for (const auto& socket : slow)
            QCOMPARE(statusOf(answerOf(*socket)), 504);
    });
    QTest::newRow("proxy: a 300 MB answer") << Attack([this] { answerOfHundredsOfMegabytes("/api/Huge"); });
    QTest::newRow("proxy: a 300 MB chunked answer") << Attack([this] { answerOfHundredsOfMegabytes("/api/HugeChunked"); });
    QTest::newRow("form server: a handshake flood") << Attack([this] {
        const Sockets sockets = openMany(formPort(), 2 * WebSocketServer::MaxPendingHandshakes);
        QTRY_COMPARE_WITH_TIMEOUT(countIn(sockets, QAbstractSocket::UnconnectedState), WebSocketServer::MaxPendingHandshakes,
                                  scaled(10000));
        QCOMPARE(connectedCount(sockets), WebSocketServer::MaxPendingHandshakes);
        QVERIFY(statusOf(restCall()) == 200);
    });
    // Qt's reader closes on such heads with nothing sent: the page is told why.
    QTest::newRow("form server: a 9 KB header line") << Attack([this] {
        auto socket = connectTo(formPort());
        socket->write(handshake(formPort(), "Cookie: a=" + QByteArray(9 * 1024, 'c')));
        QCOMPARE(statusOf(answerOf(*socket)), 431);
        // The longest line Qt reads.
        QVERIFY(upgradedTo(formPort(), "Cookie: a=" + QByteArray(WebSocketServer::MaxHeadLineSize - 10, 'c')));
    });
    QTest::newRow("form server: 500 KB heads") << Attack([this] {
        const QByteArray head = handshake(formPort(), "Cookie: a=" + QByteArray(500 * 1024, 'c'));
        for (int i = 0; i < 10; ++i)
            QCOMPARE(statusOfAllSent(formPort(), head), 431);
    });
    QTest::newRow("form server: bare line feeds") << Attack([this] {
        auto socket = connectTo(formPort());
        socket->write(handshake(formPort()).replace("\r\n", "\n"));
        QCOMPARE(statusOf(answerOf(*socket)), 400);
    });
    QTest::newRow("form server: a 256 MB frame") << Attack([this] {
        auto socket = upgradedTo(formPort());
        QVERIFY(socket);
        expectTooLargeMessage();
        socket->write(frameHead(true, 2, 256 * 1024 * 1024) + QByteArray(1024 * 1024, 'x'));
        QCOMPARE(closeCodeOf(*socket), 1009);
        socket->abort();
        QTRY_VERIFY_WITH_TIMEOUT(!link->worker()->webSocketProxyServer()->currentSession(), scaled(10000));
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
        QTRY_VERIFY_WITH_TIMEOUT(!link->worker()->webSocketProxyServer()->currentSession(), scaled(10000));
    });
    // Qt's server takes them as they are.
    QTest::newRow("form server: an unmasked frame") << Attack([this] {
        const int forms = server->messagesOfType(106).size();
        auto socket = upgradedTo(formPort());
        QVERIFY(socket);
        socket->write(unmaskedFrame(R"({"MessageType":6,"Data":{"Key":"u","Mode":0}})"));
        QCOMPARE(closeCodeOf(*socket), 1002);
        // Nothing of it reached the server: the next form's is the only one.
        QVERIFY(formServed());
        QCOMPARE(server->messagesOfType(106).size(), forms + 1);
    });
    QTest::newRow("form server: an unmasked frame with the head") << Attack([this] {
        auto socket = connectTo(formPort());
        socket->write(handshake(formPort()) + unmaskedFrame("{}"));
        QCOMPARE(closeCodeOf(*socket), 1002);
    });
}

void TestFormServerAttacks::attack()
{
    QFETCH(Attack, attack);
    const Usage before = Usage::now();
    attack();
    setRequestTimeout(shortRequestTimeoutMs());
    setHeadTimeout(scaled(RestProxyServer::DefaultHeadTimeoutMs));
    if (QTest::currentTestFailed())
        return;
    // Sockets of ended sessions, aborted workers and request buffers go within the servers' own limits.
    QTRY_VERIFY2_WITH_TIMEOUT(Usage::now().within(before), Usage::now().text().constData(), scaled(20000));
    qInfo("Before: %s; after: %s", before.text().constData(), Usage::now().text().constData());
    QCOMPARE(link->states().count(ConnectionManager::Ready), 1);
}

void TestFormServerAttacks::formsRestAndDictationStillWork()
{
    QVERIFY(formServed());
    QCOMPARE(statusOf(restCall()), 200);
    // With a form still connected a start would resume the form's dictation.
    QTRY_VERIFY_WITH_TIMEOUT(!link->worker()->webSocketProxyServer()->currentSession(), scaled(10000));

    QVERIFY(link->startDictation(server));
    server->sendResult(QStringLiteral("жалоб нет"), true);
    QTRY_VERIFY_WITH_TIMEOUT(writer.typedTexts().join(QLatin1Char('|')).contains(QStringLiteral("алоб нет")), scaled(10000));
    const Usage end = Usage::now();
    qInfo("At the end: %s", end.text().constData());
    QVERIFY2(end.within(start), end.text().constData());
}

// At the desktop's descriptor limit, which the client may not raise here.
int main(int argc, char** argv)
{
    const rlimit limit{1024, 1024};
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) {
        perror("setrlimit");
        return 1;
    }
    QTEST_MAIN_IMPL(TestFormServerAttacks)
}
#include "TestFormServerAttacks.moc"
