#include "ClientConnectionSettings.h"
#include "FakeHttpServer.h"
#include "FormApiSettings.h"
#include "HttpRequestReader.h"
#include "RestProxyServer.h"
#include "StubRestWorker.h"
#include "TestHome.h"

#include <QtTest>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <vector>

using TestHome::scaled;

namespace {
// Another loopback address, one character longer than the "127.0.0.1" it replaces.
const QHostAddress serverAddress(QStringLiteral("127.0.0.10"));

ConnectionStateInfo connectionState(int state)
{
    ConnectionStateInfo info;
    info.setState(state);
    return info;
}

struct Response
{
    explicit Response(const QByteArray& raw)
    {
        const int headEnd = raw.indexOf("\r\n\r\n");
        const QList<QByteArray> lines = raw.left(headEnd).split('\n');
        status = lines.value(0).split(' ').value(1).toInt();
        for (const QByteArray& line : lines.mid(1))
            headers.insert(line.left(line.indexOf(':')).trimmed().toLower(), line.mid(line.indexOf(':') + 1).trimmed());
        body = headEnd < 0 ? QByteArray() : raw.mid(headEnd + 4);
    }
    QString errorText() const
    {
        return QJsonDocument::fromJson(body).object().value("Error").toObject().value("Text").toString();
    }
    int status = 0;
    QMap<QByteArray, QByteArray> headers;
    QByteArray body;
};
} // namespace

// The local HTTP proxy in its own thread, forwarding to a fake REST server on another loopback address.
class TestRestProxy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { proxy.reset(); }
    void readerFramesRequests_data();
    void readerFramesRequests();
    void forwarding_data();
    void forwarding();
    void hostileAnswers_data();
    void hostileAnswers();
    void busyProxyAnswers503();
    void loopToItselfIsDroppedUnanswered();
    void listensOnLoopbackOnlyWhileConnected();
    void quitWhileForwarding();

private:
    void onProxyThread(const std::function<void()>& call)
    {
        QMetaObject::invokeMethod(proxy.get(), call, Qt::BlockingQueuedConnection);
    }
    quint16 proxyPort()
    {
        quint16 port = 0;
        onProxyThread([&] { port = proxy->serverPort(); });
        return port;
    }
    // Writes the pieces one after another and returns everything answered until the proxy closed.
    QByteArray exchange(const QList<QByteArray>& pieces, bool* refused = nullptr);
    // Forwards to the given port of 127.0.0.1, or back to the fake REST server with 0.
    void forwardTo(quint16 port);

    std::unique_ptr<FakeHttpServer> rest;
    std::unique_ptr<RestProxyServer> proxy;
};

void TestRestProxy::initTestCase()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    FakeHttpServer::bypassSystemProxy();
    rest = std::make_unique<FakeHttpServer>(serverAddress);
    QVERIFY(rest->port());
    rest->setHandler([](const FakeHttpRequest& request) {
        const bool known = request.path() != "/api/Missing";
        FakeHttpResponse answer = known ? FakeHttpResponse::json(R"({"Data":"ok"})")
                                        : FakeHttpResponse::json(R"({"Error":{"Text":"Нет такого пути"}})", 404, "Not Found");
        answer.headers.append(qMakePair(QByteArray("Access-Control-Allow-Origin"), QByteArray("*")));
        return answer;
    });
    ClientConnectionSettings asrClient;
    asrClient.Ip = serverAddress.toString();
    asrClient.RestPort = int(rest->port());
    asrClient.sync();
    FormApiSettings formApi;
    formApi.RestPort = 0;
    formApi.sync();
    proxy = std::make_unique<RestProxyServer>();
    onProxyThread([&] { proxy->onWsConnectionState(connectionState(4)); });
    QVERIFY(proxyPort());
}

QByteArray TestRestProxy::exchange(const QList<QByteArray>& pieces, bool* refused)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, proxyPort());
    const bool connected = socket.waitForConnected(scaled(5000));
    if (refused)
        *refused = !connected;
    for (const QByteArray& piece : pieces) {
        socket.write(piece);
        socket.waitForBytesWritten(scaled(5000));
        // Each piece its own read on the proxy side.
        QTest::qWait(20);
    }
    QByteArray answer;
    QDeadlineTimer deadline(scaled(15000));
    while (connected && socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(100);
        answer += socket.readAll();
    }
    return answer + socket.readAll();
}

void TestRestProxy::readerFramesRequests_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<int>("status"); // 0 incomplete, 200 complete, else the refusal
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("blank line split") << QByteArrayList{"POST /a HTTP/1.1\r\nContent-Length: 4\r\n\r", "\nab", "cd\r\n"}
                                      << 200 << QByteArray("abcd");
    QTest::newRow("bare line feeds") << QByteArrayList{"\r\nGET /x HTTP/1.1\nHost: a\n\n"} << 200 << QByteArray();
    QTest::newRow("body still coming") << QByteArrayList{"POST / HTTP/1.1\r\nContent-Length: 9\r\n\r\nabc"} << 0
                                       << QByteArray();
    QTest::newRow("single word") << QByteArrayList{"GARBAGE\r\n\r\n"} << 400 << QByteArray();
    QTest::newRow("header without colon") << QByteArrayList{"GET / HTTP/1.1\r\nHost\r\n\r\n"} << 400 << QByteArray();
    QTest::newRow("carriage return in a value") << QByteArrayList{"GET / HTTP/1.1\r\nX: a\rb\r\n\r\n"} << 400 << QByteArray();
    QTest::newRow("two lengths") << QByteArrayList{"POST / HTTP/1.1\r\nContent-Length: 1\r\ncontent-length: 1\r\n\r\n"}
                                 << 400 << QByteArray();
    QTest::newRow("two hosts") << QByteArrayList{"GET / HTTP/1.1\r\nHost: localhost\r\nHost: evil.example\r\n\r\n"} << 400
                               << QByteArray();
    QTest::newRow("negative length") << QByteArrayList{"POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n"} << 400 << QByteArray();
    QTest::newRow("chunked") << QByteArrayList{"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"} << 411
                             << QByteArray();
    QTest::newRow("declared too large") << QByteArrayList{"POST / HTTP/1.1\r\nContent-Length: 20000000\r\n\r\n"} << 413
                                        << QByteArray();
    QTest::newRow("largest length") << QByteArrayList{"POST / HTTP/1.1\r\nContent-Length: 9223372036854775807\r\n\r\n"}
                                    << 413 << QByteArray();
    QTest::newRow("length past 64 bits") << QByteArrayList{"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n"}
                                         << 413 << QByteArray();
    QByteArray manyHeaders = "GET / HTTP/1.1\r\n";
    for (int i = 0; i <= HttpRequestReader::MaxHeaderLines; ++i)
        manyHeaders += "X-" + QByteArray::number(i) + ": a\r\n";
    QTest::newRow("too many header lines") << QByteArrayList{manyHeaders, "\r\n"} << 431 << QByteArray();
    QTest::newRow("head too large") << QByteArrayList{"GET / HTTP/1.1\r\nX: " + QByteArray(HttpRequestReader::MaxHeadSize, 'a')}
                                    << 431 << QByteArray();
    // Skipped in one pass: copying what follows for each blank line took minutes.
    QTest::newRow("a megabyte of blank lines first")
        << QByteArrayList{QByteArray(1 << 19, '\r').replace("\r", "\r\n"), "GET / HTTP/1.1\r\n\r\n"} << 200 << QByteArray();
    QTest::newRow("HTTP/2") << QByteArrayList{"GET / HTTP/2\r\n\r\n"} << 505 << QByteArray();
    QTest::newRow("HTTP/1.1x") << QByteArrayList{"GET / HTTP/1.1x\r\n\r\n"} << 400 << QByteArray();
    // What follows a whole request in the same piece does not make the request too large.
    QTest::newRow("bytes after the end") << QByteArrayList{"POST / HTTP/1.1\r\nContent-Length: 2\r\n\r\nab"
                                                           + QByteArray(HttpRequestReader::DefaultMaxSize, 'x')}
                                         << 200 << QByteArray("ab");
}

void TestRestProxy::readerFramesRequests()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    HttpRequestReader reader;
    for (const QByteArray& piece : pieces)
        reader.append(piece);
    const int outcome = reader.state() == HttpRequestReader::State::Incomplete ? 0
        : reader.state() == HttpRequestReader::State::Complete                 ? 200
                                                                                : reader.errorStatus();
    QCOMPARE(outcome, status);
    QCOMPARE(reader.body(), body);
}

void TestRestProxy::forwarding_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QString>("allowedOrigins");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorText");
    QTest::addColumn<QByteArray>("method"); // empty: nothing forwarded
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArrayList>("headers"); // further headers the server must see; a name alone: must not
    const QByteArray server = serverAddress.toString().toLatin1();
    const QString refused = QStringLiteral("Некорректный формат запроса");
    QTest::newRow("GET") << QByteArrayList{"GET /api/Theme HTTP/1.1\r\nHost: localhost:39256\r\n\r\n"} << "" << 200 << ""
                         << QByteArray("GET") << QByteArray("/api/Theme") << server + ":39256" << QByteArray()
                         << QByteArrayList();
    QTest::newRow("PUT as GET") << QByteArrayList{"PUT /a?x=1 HTTP/1.1\r\nHost: [::1]\r\nContent-Length: 3\r\n\r\nabc"} << ""
                                << 200 << "" << QByteArray("GET") << QByteArray("/a") << QByteArray("[::1]") << QByteArray()
                                << QByteArrayList();
    QTest::newRow("POST in pieces")
        << QByteArrayList{"POST /api/Claim HTTP/1.1\r\nHost: 127.0.0.1:1\r\nConnection: keep-alive\r\nKeep-Alive: 5\r\n",
                          "Content-Length: 28\r\n\r\n{\"Url\":\"http://127",
                          ".0.0.1/a\"}"}
        << "" << 200 << "" << QByteArray("POST") << QByteArray("/api/Claim") << server + ":1"
        << "{\"Url\":\"http://" + server + "/a\"}" << QByteArrayList();
    QTest::newRow("repeated headers") << QByteArrayList{"GET /a HTTP/1.1\r\nHost: localhost\r\nCookie: a=1\r\nX-Tag: 1\r\n"
                                                        "cookie: b=2\r\nX-Tag: 2\r\n\r\n"}
                                      << "" << 200 << "" << QByteArray("GET") << QByteArray("/a") << server << QByteArray()
                                      << QByteArrayList{"Cookie: a=1; b=2", "X-Tag: 1, 2"};
    QTest::newRow("hop-by-hop headers")
        << QByteArrayList{"GET /a HTTP/1.1\r\nHost: localhost\r\nConnection: X-Hop, close\r\nX-Hop: 1\r\n"
                          "Proxy-Authorization: Basic YTpi\r\nX-End: 2\r\n\r\n"}
        << "" << 200 << "" << QByteArray("GET") << QByteArray("/a") << server << QByteArray()
        << QByteArrayList{"X-Hop", "Proxy-Authorization", "X-End: 2"};
    QTest::newRow("server's error") << QByteArrayList{"GET /api/Missing HTTP/1.1\r\nHost: localhost\r\n\r\n"} << "" << 404
                                    << "Нет такого пути" << QByteArray("GET") << QByteArray("/api/Missing") << server
                                    << QByteArray() << QByteArrayList();
    QTest::newRow("listed origin") << QByteArrayList{"POST /api/Claim HTTP/1.1\r\nHost: localhost\r\nOrigin: https://MIS.example\r\n"
                                                     "Content-Length: 0\r\n\r\n"}
                                   << "https://mis.example" << 200 << "" << QByteArray("POST") << QByteArray("/api/Claim")
                                   << server << QByteArray() << QByteArrayList{"Origin: https://MIS.example"};
    QTest::newRow("foreign origin") << QByteArrayList{"POST /api/Claim HTTP/1.1\r\nHost: localhost\r\nOrigin: https://evil.example\r\n"
                                                      "Content-Length: 0\r\n\r\n"}
                                    << "https://mis.example" << 403 << refused << QByteArray() << QByteArray() << QByteArray()
                                    << QByteArray() << QByteArrayList();
    QTest::newRow("no origin") << QByteArrayList{"GET /api/Theme HTTP/1.1\r\nHost: localhost\r\n\r\n"} << "https://mis.example"
                               << 403 << refused << QByteArray() << QByteArray() << QByteArray() << QByteArray()
                               << QByteArrayList();
    QTest::newRow("bad request line") << QByteArrayList{"NONSENSE\r\n\r\n"} << "" << 400 << refused << QByteArray()
                                      << QByteArray() << QByteArray() << QByteArray() << QByteArrayList();
    QTest::newRow("foreign host") << QByteArrayList{"GET /api/Theme HTTP/1.1\r\nHost: mis.example:39256\r\n\r\n"} << ""
                                  << 403 << refused << QByteArray() << QByteArray() << QByteArray() << QByteArray()
                                  << QByteArrayList();
    QTest::newRow("second host") << QByteArrayList{"GET /api/Theme HTTP/1.1\r\nHost: localhost\r\nHost: evil.example\r\n\r\n"}
                                 << "" << 400 << refused << QByteArray() << QByteArray() << QByteArray() << QByteArray()
                                 << QByteArrayList();
    QTest::newRow("no host") << QByteArrayList{"GET /api/Theme HTTP/1.0\r\n\r\n"} << "" << 403 << refused << QByteArray()
                             << QByteArray() << QByteArray() << QByteArray() << QByteArrayList();
}

void TestRestProxy::forwarding()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QString, allowedOrigins);
    QFETCH(int, status);
    QFETCH(QString, errorText);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, body);
    QFETCH(QByteArrayList, headers);
    FormApiSettings formApi;
    formApi.AllowedOrigins = allowedOrigins;
    formApi.sync();
    const int before = rest->requestCount();
    const Response response(exchange(pieces));
    formApi.AllowedOrigins = QString();
    formApi.sync();
    QCOMPARE(response.status, status);
    QCOMPARE(response.headers.value("connection"), QByteArray("close"));
    QCOMPARE(response.headers.value("content-length").toInt(), response.body.size());
    QCOMPARE(response.headers.value("access-control-allow-origin"), QByteArray("*"));
    QCOMPARE(response.errorText(), errorText);

    QCOMPARE(rest->requestCount(), before + (method.isEmpty() ? 0 : 1));
    if (method.isEmpty())
        return;
    const FakeHttpRequest forwarded = rest->requests().constLast();
    QCOMPARE(forwarded.method, method);
    QCOMPARE(forwarded.path(), path);
    QCOMPARE(forwarded.header("Host"), host);
    QCOMPARE(forwarded.body, body);
    QCOMPARE(forwarded.header("Content-Length").toInt(), body.size());
    QVERIFY(forwarded.header("Keep-Alive").isNull());
    for (const QByteArray& header : headers) {
        const QByteArray name = header.split(':').first();
        if (!header.contains(':'))
            QVERIFY2(forwarded.header(name).isNull(), name.constData());
        else
            QCOMPARE(name + ": " + forwarded.header(name), header);
    }
}

void TestRestProxy::forwardTo(quint16 port)
{
    ClientConnectionSettings asrClient;
    asrClient.Ip = port ? QStringLiteral("127.0.0.1") : serverAddress.toString();
    asrClient.RestPort = int(port ? port : rest->port());
    asrClient.sync();
}

// A compromised or broken server: the page gets a sound answer or 502, and a
// POST reaches the server once.
void TestRestProxy::hostileAnswers_data()
{
    QTest::addColumn<FakeHttpResponse>("reply");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArrayList>("absent"); // header lines, lower case, the page must not see
    const auto raw = [](const QByteArray& head) {
        FakeHttpResponse reply;
        reply.raw = head + "\r\nContent-Length: 2\r\n\r\n{}";
        return reply;
    };
    const auto streamed = [](qint64 size, bool chunked) {
        FakeHttpResponse reply;
        reply.streamedSize = size;
        reply.chunked = chunked;
        return reply;
    };
    FakeHttpResponse reset;
    reset.reset = true;
    QTest::newRow("reset after the request") << reset << 502 << QByteArrayList();
    QTest::newRow("malformed status line") << raw("HTTP/1.1 2x0 OK") << 502 << QByteArrayList();
    QTest::newRow("status of four digits") << raw("HTTP/1.1 2000 OK") << 502 << QByteArrayList();
    QTest::newRow("carriage return in the reason") << raw("HTTP/1.1 200 O\rSet-Cookie: a=1") << 502 << QByteArrayList();
    QTest::newRow("carriage return in a value") << raw("HTTP/1.1 200 OK\r\nX-Note: a\rSet-Cookie: injected=1") << 502
                                                << QByteArrayList();
    QTest::newRow("line without a colon") << raw("HTTP/1.1 200 OK\r\nSet-Cookie injected=1\r\nX-A: 1") << 502
                                          << QByteArrayList();
    QTest::newRow("folded line") << raw("HTTP/1.1 200 OK\r\nX-A: 1\r\n Set-Cookie: b=2") << 200
                                 << QByteArrayList{" ", "set-cookie"};
    QTest::newRow("hop-by-hop headers") << raw("HTTP/1.1 200 OK\r\nConnection: X-Hop\r\nX-Hop: 1\r\nKeep-Alive: 5\r\n"
                                               "Upgrade: h2c\r\nProxy-Authenticate: Basic")
                                        << 200 << QByteArrayList{"x-hop", "keep-alive", "upgrade", "proxy-authenticate"};
    // The final answer after it never reaches the proxy: the network layer stops at the interim one.
    QTest::newRow("interim answer first") << raw("HTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 200 OK") << 502
                                          << QByteArrayList();
    QTest::newRow("largest answer") << streamed(StubRestWorker::MaxReplySize, false) << 200 << QByteArrayList();
    QTest::newRow("a byte more") << streamed(StubRestWorker::MaxReplySize + 1, false) << 502 << QByteArrayList();
    QTest::newRow("a byte more, chunked") << streamed(StubRestWorker::MaxReplySize + 1, true) << 502 << QByteArrayList();
}

void TestRestProxy::hostileAnswers()
{
    QFETCH(FakeHttpResponse, reply);
    QFETCH(int, status);
    QFETCH(QByteArrayList, absent);
    FakeHttpServer upstream;
    upstream.setResponse(reply);
    forwardTo(upstream.port());
    const QByteArray answer = exchange({"POST /api/Claim HTTP/1.1\r\nHost: localhost\r\nContent-Length: 2\r\n\r\n{}"});
    forwardTo(0);
    const Response response(answer);
    QCOMPARE(response.status, status);
    QCOMPARE(upstream.requestCount(), 1);
    if (status == 200 && reply.streamedSize)
        QCOMPARE(response.body.size(), int(reply.streamedSize));
    for (const QByteArray& line : answer.left(answer.indexOf("\r\n\r\n")).toLower().split('\n').mid(1)) {
        for (const QByteArray& start : absent)
            QVERIFY2(!line.startsWith(start), line.constData());
    }
}

// Past the forwards at once, a request waits for a place; one that waits too long is told so.
void TestRestProxy::busyProxyAnswers503()
{
    FakeHttpServer upstream;
    FakeHttpResponse silent;
    silent.silent = true;
    upstream.setResponse(silent);
    forwardTo(upstream.port());
    onProxyThread([&] {
        proxy->setForwardTimeout(scaled(60000));
        proxy->setRequestTimeout(scaled(1000));
    });
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (int i = 0; i < RestProxyServer::MaxForwards; ++i) {
        slow.push_back(std::make_unique<QTcpSocket>());
        slow.back()->connectToHost(QHostAddress::LocalHost, proxyPort());
        slow.back()->write("GET /slow HTTP/1.1\r\nHost: localhost\r\n\r\n");
    }
    QTRY_COMPARE_WITH_TIMEOUT(upstream.requestCount(), RestProxyServer::MaxForwards, scaled(10000));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("forwards: answered 503")));
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(Response(exchange({"GET /late HTTP/1.1\r\nHost: localhost\r\n\r\n"})).status, 503);
    QVERIFY2(elapsed.elapsed() < scaled(5000), QByteArray::number(elapsed.elapsed()).constData());
    QCOMPARE(upstream.requestCount(), RestProxyServer::MaxForwards);
    // Their forwards end with their connections.
    slow.clear();
    forwardTo(0);
    onProxyThread([&] {
        proxy->setForwardTimeout(-1);
        proxy->setRequestTimeout(RestProxyServer::DefaultRequestTimeoutMs);
    });
    QCOMPARE(Response(exchange({"GET /api/Theme HTTP/1.1\r\nHost: localhost\r\n\r\n"})).status, 200);
}

void TestRestProxy::loopToItselfIsDroppedUnanswered()
{
    ClientConnectionSettings asrClient;
    asrClient.Ip = QStringLiteral("localhost");
    asrClient.RestPort = int(proxyPort());
    asrClient.sync();
    const int before = rest->requestCount();
    const QByteArray answer = exchange({"GET /api/Theme HTTP/1.1\r\nHost: localhost\r\n\r\n"});
    asrClient.Ip = serverAddress.toString();
    asrClient.RestPort = int(rest->port());
    asrClient.sync();
    QCOMPARE(answer, QByteArray());
    QCOMPARE(rest->requestCount(), before);
}

void TestRestProxy::listensOnLoopbackOnlyWhileConnected()
{
    QHostAddress address;
    onProxyThread([&] { address = proxy->serverAddress(); });
    QCOMPARE(address, QHostAddress(QHostAddress::LocalHost));

    bool refused = false;
    onProxyThread([&] { proxy->onWsConnectionState(connectionState(1)); });
    exchange({}, &refused);
    QVERIFY(refused);

    // A taken port: reported once, tried again at the next connection.
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost));
    FormApiSettings formApi;
    formApi.RestPort = int(holder.serverPort());
    formApi.sync();
    QSignalSpy failures(proxy.get(), &RestProxyServer::listenFailed);
    for (int attempt = 0; attempt < 2; ++attempt) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("listen to http://localhost:%1/").arg(holder.serverPort())));
        onProxyThread([&] { proxy->onWsConnectionState(connectionState(4)); });
    }
    QCOMPARE(failures.size(), 1);
    QCOMPARE(failures.first().first().toInt(), int(holder.serverPort()));
    QCOMPARE(failures.first().last().toString(), QStringLiteral("порт %1 занят другой программой").arg(holder.serverPort()));
    holder.close();
    onProxyThread([&] { proxy->onWsConnectionState(connectionState(4)); });
    QCOMPARE(proxyPort(), quint16(formApi.RestPort));
    QCOMPARE(Response(exchange({"GET / HTTP/1.1\r\nHost: localhost\r\n\r\n"})).status, 200);

    // A port changed in the settings applies at once.
    QVERIFY(holder.listen(QHostAddress::LocalHost));
    const quint16 next = holder.serverPort();
    holder.close();
    formApi.RestPort = int(next);
    formApi.sync();
    onProxyThread([&] { proxy->onSettingsChanged(); });
    QCOMPARE(proxyPort(), next);
}

// Quitting while the server keeps a forwarded request waiting is heard at
// once, not after the request's time limit.
void TestRestProxy::quitWhileForwarding()
{
    FakeHttpServer silent(QHostAddress(QStringLiteral("127.0.0.11")));
    FakeHttpResponse never;
    never.silent = true;
    silent.setResponse(never);
    ClientConnectionSettings asrClient;
    asrClient.Ip = QStringLiteral("127.0.0.11");
    asrClient.RestPort = int(silent.port());
    asrClient.sync();
    // The proxy of the other cases keeps its port.
    FormApiSettings formApi;
    formApi.RestPort = 0;
    formApi.sync();
    auto leaving = std::make_unique<RestProxyServer>();
    quint16 port = 0;
    QMetaObject::invokeMethod(
        leaving.get(),
        [&] {
            leaving->onWsConnectionState(connectionState(4));
            port = leaving->serverPort();
        },
        Qt::BlockingQueuedConnection);
    QVERIFY(port);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write("GET /api/Theme HTTP/1.1\r\nHost: localhost\r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(silent.requestCount(), 1, TestHome::scaled(10000));

    QElapsedTimer quitting;
    quitting.start();
    leaving.reset();
    const qint64 took = quitting.elapsed();
    asrClient.Ip = serverAddress.toString();
    asrClient.RestPort = int(rest->port());
    asrClient.sync();
    QVERIFY2(took < TestHome::scaled(500), qPrintable(QString::number(took)));
}

QTEST_GUILESS_MAIN(TestRestProxy)
#include "TestRestProxy.moc"
