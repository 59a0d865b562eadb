#include "FakeHttpServer.h"
#include "RestClient.h"
#include "RestJsonWorker.h"
#include "SslSettings.h"
#include "SelfSignedCertificate.h"
#include "TestHome.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSslSocket>
#include <QtTest>

#include <atomic>

using Parameters = QMap<QString, QString>;

namespace {
QJsonObject errorObject(const QString& debugText)
{
    return QJsonObject{{"Error", QJsonObject{{"Text", RestJsonWorker::defaultErrorText()}, {"DebugText", debugText}}},
                       {"Data", ""}};
}

// The header lines of a raw answer, each still ending in CR; and its body.
QPair<QList<QByteArray>, QByteArray> splitAnswer(const QByteArray& text)
{
    const int end = text.indexOf("\r\n\r\n");
    QList<QByteArray> lines = text.left(end + 2).split('\n');
    lines.removeLast();
    return {lines, text.mid(end + 4)};
}
} // namespace

class TestRestClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestHome::useApplicationIdentity();
        TestHome::wipe();
        FakeHttpServer::bypassSystemProxy();
    }

    void composesUrl_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("url");
        QTest::newRow("plain") << "Theme" << "http://h:39255/api/Theme";
        QTest::newRow("slashes and blanks") << " /Theme/x/ " << "http://h:39255/api/Theme/x";
        QTest::newRow("only slashes") << "///" << "http://h:39255/api/";
        QTest::newRow("percent sequence kept") << "a%1b" << "http://h:39255/api/a%1b";
    }
    void composesUrl()
    {
        QFETCH(QString, path);
        QFETCH(QString, url);
        RestClient client;
        client.initialize(QStringLiteral("h"), 39255, false);
        QCOMPARE(client.composeUrl(path), url);
        client.initialize(QStringLiteral("h"), 39255, true);
        QCOMPARE(client.composeUrl(path), QString(url).replace("http://", "https://"));
    }

    void sendsRequest_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Parameters>("parameters");
        QTest::addColumn<QByteArray>("expectedTarget");
        QTest::newRow("GET") << int(GET) << QByteArray() << Parameters() << QByteArray("/api/Servers");
        QTest::newRow("POST") << int(POST) << QByteArray("{\"a\":1}")
                              << Parameters{{"requestIp", "10.0.0.1"}, {"clientId", "ID 1"}}
                              << QByteArray("/api/Servers?clientId=ID%201&requestIp=10.0.0.1");
        QTest::newRow("PUT") << int(PUT) << QByteArray("{}") << Parameters() << QByteArray("/api/Servers");
    }
    void sendsRequest()
    {
        QFETCH(int, method);
        QFETCH(QByteArray, body);
        QFETCH(Parameters, parameters);
        QFETCH(QByteArray, expectedTarget);
        FakeHttpServer server;
        server.setResponse(FakeHttpResponse::json("{\"Data\":{\"x\":1}}"));
        RestClient client;
        client.initialize(server.host(), server.port(), false);
        client.addHeaders({{"Cookie", "A=1;"}});

        QCOMPARE(client.execute(QStringLiteral("/Servers/"), Method(method), body, parameters),
                 QJsonObject({{"Data", QJsonObject{{"x", 1}}}}));
        const FakeHttpRequest request = server.requests().value(0);
        QCOMPARE(request.method, QTest::currentDataTag());
        QCOMPARE(request.target, expectedTarget);
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(request.header("Cookie"), QByteArray("A=1;"));
        QCOMPARE(request.body, body);
    }

    void shapesJsonReply_data()
    {
        QTest::addColumn<FakeHttpResponse>("response");
        QTest::addColumn<QJsonObject>("expected");
        QTest::newRow("object unchanged") << FakeHttpResponse::json("{\"Error\":null,\"Data\":[1]}")
                                          << QJsonObject{{"Error", QJsonValue()}, {"Data", QJsonArray{1}}};
        QTest::newRow("array wrapped") << FakeHttpResponse::json("[1,2]")
                                       << QJsonObject{{"non_field_data", QJsonArray{1, 2}}};
        QTest::newRow("not json") << FakeHttpResponse::json("<html>")
                                  << errorObject(QJsonParseError{0, QJsonParseError::IllegalValue}.errorString());
        QTest::newRow("truncated") << FakeHttpResponse::json("{\"Data\":{\"a\":")
                                   << errorObject(QJsonParseError{0, QJsonParseError::UnterminatedObject}.errorString());
        QTest::newRow("http error, body not read")
            << FakeHttpResponse::json("{\"Data\":1}", 404, "Not Found")
            << errorObject("Код: 203\nОшибка: Error transferring %1 - server replied: Not Found");
    }
    void shapesJsonReply()
    {
        QFETCH(FakeHttpResponse, response);
        QFETCH(QJsonObject, expected);
        FakeHttpServer server;
        server.setResponse(response);
        RestClient client;
        client.initialize(server.host(), server.port(), false);
        const QJsonObject reply = client.execute(QStringLiteral("Theme"), GET, QByteArray(), {});
        const QString debugText = expected.value("Error").toObject().value("DebugText").toString();
        if (debugText.contains("%1")) {
            expected["Error"] = QJsonObject{{"Text", RestJsonWorker::defaultErrorText()},
                                            {"DebugText", debugText.arg(client.composeUrl("Theme"))}};
        }
        QCOMPARE(reply, expected);
    }

    void abortsSilentServerInTime()
    {
        FakeHttpServer server;
        FakeHttpResponse silent;
        silent.silent = true;
        server.setResponse(silent);
        RestClient client;
        QCOMPARE(client.timeout(), 7000);
        client.setTimeout(300);
        client.initialize(server.host(), server.port(), false);

        QElapsedTimer timer;
        timer.start();
        QCOMPARE(client.execute(QStringLiteral("Theme"), GET, QByteArray(), {}),
                 errorObject(QStringLiteral("Код: 5\nОшибка: Operation canceled")));
        const QByteArray raw = client.executeClearHttp(QStringLiteral("Theme"), GET, QByteArray(), {});
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(raw.startsWith("HTTP/1.1 504 Gateway Timeout\r\n"));
        QVERIFY(raw.contains("Код: 5"));
    }

    void abandonedWorkerCleansUpAfterItself()
    {
        auto* worker = new RestJsonWorker(nullptr, {});
        QSemaphore hold;
        std::atomic<bool> destroyed{false};
        connect(worker, &QObject::destroyed, worker, [&destroyed] { destroyed = true; }, Qt::DirectConnection);
        QMetaObject::invokeMethod(worker, [&hold] { hold.acquire(); }, Qt::QueuedConnection);
        QVERIFY(!worker->waitForFinished(50));
        worker->abandon();
        QMetaObject::invokeMethod(worker, [worker] { worker->thread()->quit(); }, Qt::QueuedConnection);
        hold.release();
        QTRY_VERIFY(destroyed);
    }

    void passesRawAnswerOn_data()
    {
        QTest::addColumn<FakeHttpResponse>("response");
        QTest::addColumn<QByteArray>("body");
        FakeHttpResponse binary;
        binary.status = 201;
        binary.reason = "Created";
        binary.headers = {{"X-Id", "7"}, {"Set-Cookie", "a=1"}, {"Set-Cookie", "b=2"}};
        binary.body = QByteArray("  \x00\xff\xfe binary \n", 14);
        QTest::newRow("binary, repeated headers") << binary << binary.body;

        const QByteArray plain = "{\"Data\": \"" + QByteArray(3000, 'x') + "\"}";
        FakeHttpResponse chunked = FakeHttpResponse::json(QByteArray::number(1000, 16) + "\r\n" + plain.left(1000)
                                                          + "\r\n" + QByteArray::number(plain.size() - 1000, 16)
                                                          + "\r\n" + plain.mid(1000) + "\r\n0\r\n\r\n");
        chunked.addContentLength = false;
        chunked.headers += {{"Transfer-Encoding", "chunked"}};
        QTest::newRow("chunked") << chunked << plain;
        FakeHttpResponse deflated = FakeHttpResponse::json(qCompress(plain).mid(4));
        deflated.headers += {{"Content-Encoding", "deflate"}};
        QTest::newRow("deflate") << deflated << plain;
    }
    void passesRawAnswerOn()
    {
        QFETCH(FakeHttpResponse, response);
        QFETCH(QByteArray, body);
        FakeHttpServer server;
        server.setResponse(response);
        RestClient client;
        client.setApiPrefix(QStringLiteral("/"));
        client.initialize(server.host(), server.port(), false);
        // The browser's own length and coding headers must not reach the server.
        client.addHeaders({{"Accept-Encoding", "br"}, {"Content-Length", "999"}});

        const auto answer = splitAnswer(client.executeClearHttp(QStringLiteral("api/x"), POST, "127", {}));
        const FakeHttpRequest request = server.requests().value(0);
        QCOMPARE(request.target, QByteArray("/api/x"));
        QCOMPARE(request.body, QByteArray("127"));
        QCOMPARE(request.header("Content-Length"), QByteArray("3"));

        QList<QByteArray> lines = answer.first;
        QCOMPARE(lines.takeFirst(), "HTTP/1.1 " + QByteArray::number(response.status) + " " + response.reason + "\r");
        QCOMPARE(answer.second, body);
        QVERIFY(lines.contains("Content-Length:" + QByteArray::number(body.size()) + "\r"));
        for (const auto& header : response.headers) {
            if (header.first != "Transfer-Encoding" && header.first != "Content-Encoding")
                QVERIFY2(lines.contains(header.first + ":" + header.second + "\r"), header.first.constData());
        }
        for (const QByteArray& line : lines) {
            const QByteArray name = line.left(line.indexOf(':')).toLower();
            QVERIFY2(name != "transfer-encoding" && name != "content-encoding" && name != "connection", line.constData());
            QVERIFY(line.endsWith('\r'));
        }
    }

    void rawAnswerOfHttpErrorIsGatewayTimeout()
    {
        FakeHttpServer server;
        server.setResponse(FakeHttpResponse::json("{\"x\":1}", 404, "Not Found"));
        RestClient client;
        client.initialize(server.host(), server.port(), false);
        const QByteArray json
            = QJsonDocument(errorObject("Код: 203\nОшибка: Error transferring " + client.composeUrl("Theme")
                                        + " - server replied: Not Found"))
                  .toJson(QJsonDocument::Indented)
                  .trimmed();
        QCOMPARE(client.executeClearHttp(QStringLiteral("Theme"), GET, QByteArray(), {}),
                 "HTTP/1.1 504 Gateway Timeout\r\nContent-Length: " + QByteArray::number(json.size())
                     + "\r\nContent-Type: application/json\r\n\r\n" + json);
    }

    void verifiesCertificateWhenStrict_data()
    {
        QTest::addColumn<QString>("verification");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("strict") << "Strict" << false;
        QTest::newRow("insecure") << "Insecure" << true;
        QTest::newRow("unknown name") << "Sloppy" << true;
    }
    void verifiesCertificateWhenStrict()
    {
        QFETCH(QString, verification);
        QFETCH(bool, succeeds);
        if (!QSslSocket::supportsSsl())
            QSKIP("no TLS library");
        const SelfSignedCertificate certificate;
        QVERIFY2(certificate.isValid(), qPrintable(certificate.error()));
        {
            SslSettings ssl;
            ssl.SslCertificateVerification = verification;
            ssl.sync();
        }
        FakeHttpServer server(certificate.serverConfiguration());
        RestClient client;
        client.initialize(server.host(), server.port(), true);
        if (!succeeds) {
            QTest::ignoreMessage(QtWarningMsg, "Self signed SSL certificate");
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^SSL error: "));
        }
        const QJsonObject reply = client.execute(QStringLiteral("Theme"), GET, QByteArray(), {});
        QCOMPARE(reply.contains("Error"), !succeeds);
        QCOMPARE(server.requestCount(), succeeds ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestRestClient)
#include "TestRestClient.moc"
