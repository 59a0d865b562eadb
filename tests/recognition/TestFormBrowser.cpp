#include "ChildProcess.h"
#include "ConnectionManager.h"
#include "LoopbackConnection.h"
#include "RestProxyServer.h"
#include "ResultManager.h"
#include "TestHome.h"
#include "WebSocketProxyServer.h"
#include "WebSocketWorker.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace {
// The MIS form: cookies (set by the page's own response: a write to
// document.cookie reaches the browser's cookie store asynchronously, and the
// form socket's handshake could leave before it), then a REST call through the proxy, then form metadata,
// element and theme; it reports what came back and closes.
const char pageTemplate[] = R"(<!doctype html><html><body><pre id="out"></pre><script>
const received = [];
let rest = null;
function report(extra) {
  document.getElementById('out').textContent = JSON.stringify(received);
  fetch('/report', {method: 'POST', body: JSON.stringify(Object.assign({received, rest}, extra))});
}
const ws = new WebSocket('ws://127.0.0.1:%1/');
ws.onerror = () => report({error: 'WebSocket error'});
ws.onopen = async () => {
  try {
    const reply = await fetch('http://127.0.0.1:%2/api/Echo?form=1');
    rest = {status: reply.status, body: await reply.text()};
  } catch (e) { rest = {error: String(e)}; }
  ws.send(JSON.stringify({MessageType: 6, Data: {Key: 'form-1', Mode: 0}}));
  ws.send(JSON.stringify({MessageType: 5, Data: 'complaints'}));
  ws.send(JSON.stringify({MessageType: 9, Data: {Id: 'theme-1'}}));
};
ws.onmessage = (event) => {
  received.push(JSON.parse(event.data));
  if (received.length === 3) { ws.close(); report({}); }
};
</script></body></html>)";

QJsonObject envelope(int type, const QJsonValue& data)
{
    return QJsonObject{{"MessageType", type}, {"Data", data}};
}
} // namespace

// A real browser as the MIS form: headless Chromium opens a page served from
// loopback, which talks to the form server and the HTTP proxy of the client's
// link, itself connected to the fake recognition server.
class TestFormBrowser : public QObject
{
    Q_OBJECT

private slots:
    void formRoundTrip();
};

void TestFormBrowser::formRoundTrip()
{
    // Debian's chromium-headless-shell is a script that does not exec the browser:
    // the browser itself, so that the process held is the one to end.
    QString browser = QStandardPaths::findExecutable(QStringLiteral("chromium-headless-shell"), {QStringLiteral("/usr/lib/chromium")});
    for (const char* name : {"chromium-headless-shell", "chromium"}) {
        if (browser.isEmpty())
            browser = QStandardPaths::findExecutable(QString::fromLatin1(name));
    }
    if (browser.isEmpty())
        QSKIP("No Chromium: scripts/deps.sh installs chromium-headless-shell");

    LoopbackConnection::useQuietHome();

    LoopbackConnection link;
    FakeRecognitionServer* server = link.addServer();
    link.offerServers({link.entry("A", server->port())});
    link.setRestHandler([](const FakeHttpRequest&) {
        FakeHttpResponse answer = FakeHttpResponse::json(R"({"Data":"rest-ok"})");
        answer.headers.append(qMakePair(QByteArray("Access-Control-Allow-Origin"), QByteArray("*")));
        return answer;
    });
    link.build(200);
    RestProxyServer proxy;
    connect(link.driver(), &ConnectionManager::stateChanged, &proxy, &RestProxyServer::onWsConnectionState);
    link.start();
    QVERIFY(link.waitForState(ConnectionManager::Ready));
    WebSocketProxyServer* formServer = link.worker()->webSocketProxyServer();
    QTRY_VERIFY_WITH_TIMEOUT(formServer->isListening(), TestHome::scaled(5000));
    // Queued behind the connected state the proxy has already been sent.
    quint16 restPort = 0;
    QMetaObject::invokeMethod(&proxy, [&] { restPort = proxy.serverPort(); }, Qt::BlockingQueuedConnection);
    QVERIFY(restPort);

    FakeHttpServer page;
    const QByteArray html = QString::fromLatin1(pageTemplate).arg(formServer->serverPort()).arg(restPort).toUtf8();
    page.setHandler([html](const FakeHttpRequest& request) {
        FakeHttpResponse response = FakeHttpResponse::json("{}", request.path() == "/" ? 200 : 404);
        response.headers = {qMakePair(QByteArray("Content-Type"), QByteArray("text/html; charset=utf-8"))};
        for (const char* cookie : {"MIS_TYPE=mis-e2e", "MIS_VERSION=3.1", "MIS_USER=doctor-7"})
            response.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray(cookie) + "; Path=/"));
        response.body = request.path() == "/" ? html : QByteArray();
        return response;
    });

    QTemporaryDir profile;
    ChildProcess chromium;
    chromium.setProcessChannelMode(QProcess::MergedChannels);
    chromium.start(browser, {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                             "--disable-background-networking", "--disable-component-update", "--disable-sync",
                             "--no-proxy-server", "--user-data-dir=" + profile.path(),
                             QStringLiteral("http://127.0.0.1:%1/").arg(page.port())});
    QVERIFY2(chromium.waitForStarted(TestHome::scaled(10000)), qPrintable(chromium.errorString()));

    // The form's opening and its three messages, renumbered.
    const bool formMessages = QTest::qWaitFor([&] { return !server->messagesOfType(109).isEmpty(); }, TestHome::scaled(30000));
    QVERIFY2(formMessages, qPrintable("The page's form messages did not reach the recognition server. Browser output:\n"
                                      + QString::fromLocal8Bit(chromium.readAll().right(3000))));
    QCOMPARE(server->messagesOfType(115).value(0).data,
             QJsonValue(QJsonObject{{"TypeId", "mis-e2e"}, {"Version", "3.1"}, {"User", "doctor-7"}}));
    QCOMPARE(server->messagesOfType(106).value(0).data.toObject().value("Key"), QJsonValue("form-1"));
    QCOMPARE(server->messagesOfType(105).value(0).data, QJsonValue("complaints"));
    QCOMPARE(server->messagesOfType(109).value(0).data, QJsonValue(QJsonObject{{"Id", "theme-1"}}));

    // The next handshake carries the form's MIS cookies.
    server->disconnectClient();
    QTRY_COMPARE_WITH_TIMEOUT(server->connectionCount(), 2, TestHome::scaled(10000));
    QCOMPARE(server->cookieValue("MIS_TYPE"), QByteArray("mis-e2e"));
    QCOMPARE(server->cookieValue("MIS_USER"), QByteArray("doctor-7"));
    QVERIFY(link.waitForState(ConnectionManager::Ready));

    const QJsonArray groups{QJsonArray{QJsonObject{{"Type", 3}, {"Value", "без изменений"}}}};
    QVERIFY(server->sendMessage(201, QJsonObject{{"Type", 7}, {"Value", "жалоб нет"}}));
    QVERIFY(server->sendMessage(206, groups));
    QVERIFY(server->sendMessage(209, "текст"));
    QTRY_VERIFY2_WITH_TIMEOUT(page.requestCount() && page.requests().constLast().path() == "/report", "no report from the page",
                              TestHome::scaled(30000));

    // What the page received: the values formatted as the client formats results.
    ResultManager formatter(nullptr, nullptr, nullptr, nullptr);
    const QString value = formatter.formatTextResult(QStringLiteral("жалоб нет"), true);
    const QString interim = formatter.formatTextResult(QStringLiteral("текст"), false);
    const QJsonObject report = QJsonDocument::fromJson(page.requests().constLast().body).object();
    QVERIFY2(!report.contains("error"), report.value("error").toString().toUtf8().constData());
    QCOMPARE(report.value("received").toArray(),
             QJsonArray({envelope(1, QJsonObject{{"Type", 7}, {"Value", value}}), envelope(6, groups), envelope(9, interim)}));
    QCOMPARE(report.value("rest").toObject().value("status").toInt(), 200);
    QCOMPARE(report.value("rest").toObject().value("body").toString(), QStringLiteral(R"({"Data":"rest-ok"})"));
    const QList<FakeHttpRequest> restCalls = link.restRequests();
    QVERIFY(std::any_of(restCalls.begin(), restCalls.end(), [](const FakeHttpRequest& r) { return r.target == "/api/Echo?form=1"; }));

    // The page closed its socket.
    QTRY_COMPARE_WITH_TIMEOUT(server->messagesOfType(116).size(), 1, TestHome::scaled(10000));
}

QTEST_GUILESS_MAIN(TestFormBrowser)
#include "TestFormBrowser.moc"
