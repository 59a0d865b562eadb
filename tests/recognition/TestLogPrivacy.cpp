#include "ConnectionManager.h"
#include "ConnectionManagerSettings.h"
#include "LoopbackConnection.h"
#include "RecordingTextWriter.h"
#include "RestProxyServer.h"
#include "TestHome.h"
#include "UserCommandFiles.h"
#include "UserCommandFixtures.h"
#include "UserCommandsManager.h"
#include "WebSocketProxyServer.h"
#include "WebSocketWorker.h"
#include "logger.h"

#include <QtTest>

#include <QJsonDocument>
#include <QStandardPaths>
#include <QWebSocket>

#include <memory>

namespace {
// Every patient text of this test carries both words; neither may reach the log.
const QString MarkerLatin = QStringLiteral("zqxmark");
const QString MarkerCyrillic = QStringLiteral("зябликова");

QString marker(const char* tag)
{
    return MarkerCyrillic + QLatin1Char(' ') + MarkerLatin + QLatin1String(tag);
}

const QString ProgramPhrase = QStringLiteral("запустить ") + marker("pattern");
const QString TemplatePhrase = QStringLiteral("вставить заключение");

QString logText()
{
    const QDir logs(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/logs"));
    QString text;
    for (const QString& name : logs.entryList(QDir::Files)) {
        QFile file(logs.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

// The log lines that hold a marker word, for the failure message.
QString leakedLines(const QString& log)
{
    QStringList leaked;
    for (const QString& line : log.split(QLatin1Char('\n'))) {
        if (line.contains(MarkerLatin, Qt::CaseInsensitive) || line.contains(MarkerCyrillic, Qt::CaseInsensitive))
            leaked << line;
    }
    return leaked.join(QLatin1Char('\n'));
}

QString frame(int type, const QJsonValue& data)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{"MessageType", type}, {"Data", data}}).toJson(QJsonDocument::Compact));
}

QString resultFrame(const QString& text, bool isFinal, const QString& commandId = QString())
{
    return frame(3, QJsonObject{{"Text", text}, {"IsFinal", isFinal}, {"CommandId", commandId}, {"Words", QJsonArray()}});
}

QString sourceTextLine(const QString& text, bool isFinal)
{
    return QStringLiteral("source text: %1 characters%2\n").arg(text.size()).arg(isFinal ? " [final]" : "");
}
} // namespace

// The client's receiving road (link, dispatcher, result handling, commands,
// auto-replace) logging with the built-in configuration, which writes every
// level: what the user dictated, the forms and the user's own lists never
// reach the log file, while the log still tells what happened.
class TestLogPrivacy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void receivedFramesStayOut_data();
    void receivedFramesStayOut();
    void formRequestThroughTheProxyStaysOut();

private:
    QTemporaryDir work;
    RecordingTextWriter writer;
    std::unique_ptr<LoopbackConnection> link;
    QWebSocket form;
    FakeRecognitionServer* server = nullptr;
};

void TestLogPrivacy::initTestCase()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    QVERIFY(work.isValid());
    char name[] = "TestLogPrivacy";
    char* argv[] = {name, nullptr};
    InitLogger(1, argv);
    QVERIFY(logText().contains(QStringLiteral("Logger have used fallback configuration")));

    ConnectionManagerSettings connection;
    connection.QuietConnectionEnabled = true;
    connection.sync();
    const QString folder = UserCommandsManager::commandsFolder();
    QVERIFY(QDir().mkpath(folder));
    UserCommandFiles::Save(QDir(folder).filePath(QStringLiteral("default.json")), ClientThemeInfo(),
                           {UserCommandFixtures::command(UserCommandNamespace::Text, TemplatePhrase, marker("text")),
                            UserCommandFixtures::command(UserCommandNamespace::Exe, ProgramPhrase,
                                                         work.filePath(marker("program")))});
    const QString words = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/Kivaro");
    QVERIFY(QDir().mkpath(words));
    QVERIFY(UserCommandFixtures::writeFile(words + QStringLiteral("/KivaroWords.txt"), marker("word").toUtf8()));

    writer.focusedWindow = 101;
    link = std::make_unique<LoopbackConnection>();
    server = link->addServer();
    link->offerServers({link->entry(QStringLiteral("A"), server->port())});
    link->build(200);
    link->wireDictation();
    link->start();
    QVERIFY(link->waitForState(ConnectionManager::Ready));
    // The word list and the commands sent at connect; every case checks the log for them too.
    const auto sent = [this](int type, const char* tag) {
        const QList<FakeRecognitionServer::Message> messages = server->messagesOfType(type);
        return !messages.isEmpty() && messages.last().raw.contains(MarkerLatin + QLatin1String(tag));
    };
    QTRY_VERIFY_WITH_TIMEOUT(sent(27, "word"), TestHome::scaled(5000));
    QTRY_VERIFY_WITH_TIMEOUT(sent(11, "pattern"), TestHome::scaled(5000));

    // A web form is connected: the server's messages for it are relayed, not dropped.
    WebSocketProxyServer* formServer = link->worker()->webSocketProxyServer();
    QTRY_VERIFY_WITH_TIMEOUT(formServer->isListening(), TestHome::scaled(5000));
    form.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(formServer->serverPort())));
    QTRY_VERIFY_WITH_TIMEOUT(formServer->currentSession(), TestHome::scaled(5000));

    QVERIFY(link->startDictation(server));
}

void TestLogPrivacy::cleanupTestCase()
{
    link.reset();
}

void TestLogPrivacy::receivedFramesStayOut_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("typed");

    const QString programId = server->registeredCommandId(ProgramPhrase);
    QVERIFY(!programId.isEmpty());

    QTest::newRow("final result") << resultFrame(marker("final"), true) << sourceTextLine(marker("final"), true)
                                  << MarkerLatin + QStringLiteral("final");
    QTest::newRow("interim result") << resultFrame(marker("interim"), false)
                                    << sourceTextLine(marker("interim"), false) << QString();
    QTest::newRow("text command") << resultFrame(TemplatePhrase, true) << sourceTextLine(TemplatePhrase, true)
                                  << MarkerLatin + QStringLiteral("text");
    QTest::newRow("program command that fails")
        << resultFrame(ProgramPhrase, true, programId) << QStringLiteral("Cannot start program of command ") + programId
        << QString();
    QTest::newRow("form values") << frame(201, QJsonObject{{"Key", "complaints"}, {"Type", 0}, {"Value", marker("value")}})
                                 << QStringLiteral("frame of type 201 relayed to the web form: ") << QString();
    QTest::newRow("not JSON") << marker("broken") + QStringLiteral(" {")
                              << QStringLiteral("dropped a frame that is not a JSON object") << QString();
}

void TestLogPrivacy::receivedFramesStayOut()
{
    QFETCH(QString, frame);
    QFETCH(QString, logged);
    QFETCH(QString, typed);

    const int before = logText().count(logged);
    QVERIFY(server->sendRaw(frame));
    // The frame has been handled once the log says so.
    QTRY_COMPARE_WITH_TIMEOUT(logText().count(logged), before + 1, TestHome::scaled(5000));
    if (!typed.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(writer.typedTexts().join(QLatin1Char('|')).contains(typed, Qt::CaseInsensitive),
                                 TestHome::scaled(5000));
    const QString log = logText();
    QVERIFY2(leakedLines(log).isEmpty(), qPrintable(leakedLines(log)));
}

void TestLogPrivacy::formRequestThroughTheProxyStaysOut()
{
    // Forwarded to the recognition server's REST port, which the link has recorded.
    RestProxyServer proxy;
    const QByteArray value = QUrl::toPercentEncoding(marker("query"));
    const QString request = QStringLiteral("POST REQUEST (path of %1 characters)").arg(QByteArray("/api/Form?patient=" + value).size());
    const int before = logText().count(request);
    QByteArray reply;
    QVERIFY(QMetaObject::invokeMethod(
        &proxy,
        [&] {
            reply = proxy.proxyRequest("POST", "/api/Form?patient=" + value,
                                       {{"Cookie", "MIS_USER=" + value}, {"Content-Type", "application/json"}},
                                       marker("body").toUtf8());
        },
        Qt::BlockingQueuedConnection));
    QVERIFY(!reply.isEmpty());
    const QString log = logText();
    QCOMPARE(log.count(request), before + 1);
    QVERIFY(log.contains(QStringLiteral("/api/Form?<%1 characters>").arg(QByteArray("patient=" + value).size())));
    QVERIFY2(leakedLines(log).isEmpty(), qPrintable(leakedLines(log)));
}

QTEST_MAIN(TestLogPrivacy)
#include "TestLogPrivacy.moc"
