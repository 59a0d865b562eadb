#include "AsrManager.h"
#include "ConnectionHeartbeat.h"
#include "ConnectionManager.h"
#include "ConnectionManagerSettings.h"
#include "KeyRecorderWindow.h"
#include "LoopbackConnection.h"
#include "MonitorViewModel.h"
#include "RecordingDeviceManager.h"
#include "ResultManager.h"
#include "SelfTest.h"
#include "SelfTestSettings.h"
#include "SelfTestViewModel.h"
#include "TestHome.h"
#include "TextWriter.h"
#include "WebSocketWorker.h"
#include "XTestKeyboard.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>
#include <memory>

namespace {

struct SoundFile
{
    QString name; // empty: a path where no file is
    int bytes = 0;
    int tail = 0;
    int results = 0;
};

// A file of `bytes` audio bytes that are never zero, so that padding shows.
QString writeSound(const QTemporaryDir& folder, const SoundFile& sound)
{
    if (sound.name.isEmpty())
        return folder.filePath(QStringLiteral("нет такого.raw"));
    QFile file(folder.filePath(sound.name));
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray(sound.bytes, '\x11'));
    return file.fileName();
}

void storeSettings(int soundPeriod, const QList<SoundFile>& sounds, const QTemporaryDir& folder)
{
    SelfTestSettings settings;
    settings.Enabled = true;
    settings.PingCount = 3;
    settings.PingTimeout = 1500;
    settings.StartTimeout = 1500;
    settings.StopTimeout = 20000;
    settings.SoundPeriod = soundPeriod;
    settings.beginWriteArray(QStringLiteral("Files"), sounds.size());
    for (int i = 0; i < sounds.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("path"), writeSound(folder, sounds.at(i)));
        settings.setValue(QStringLiteral("tail"), sounds.at(i).tail);
        settings.setValue(QStringLiteral("results"), sounds.at(i).results);
    }
    settings.endArray();
    settings.sync();
}

QString reportFile(const char* extension)
{
    const QDir reports(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/reports"));
    QFile file(reports.filePath(reports.entryList({QStringLiteral("report_*.") + QLatin1String(extension)}).value(0)));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// RFC 4180 fields of one ";"-separated line.
QStringList csvFields(const QString& line)
{
    QStringList fields{QString()};
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted && c == QLatin1Char('"') && line.mid(i + 1, 1) == QLatin1String("\""))
            fields.last() += line.at(++i);
        else if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == QLatin1Char(';') && !quoted)
            fields << QString();
        else
            fields.last() += c;
    }
    return fields;
}

const QString DuringPlay = QStringLiteral("Пациент \"Иванов\"; жалоб нет");
const QString AfterPlay = QStringLiteral("давление 120/80");

} // namespace

// The self-test against a fake recognition server that answers modes and
// pings and returns one result while a file plays and one after its end.
class TestSelfTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void runWritesLogAndReport();
    void runEnds_data();
    void runEnds();

private:
    void connectLink(int heartbeatPeriod, bool serverStarts);
    void buildRunner(ConnectionHeartbeat* heartbeat);
    void startDictation();

    std::unique_ptr<XTestKeyboard> keyboard;
    std::unique_ptr<KeyRecorderWindow> recorder;
    QTemporaryDir sounds;
    std::unique_ptr<LoopbackConnection> link;
    FakeRecognitionServer* server = nullptr;
    ConnectionHeartbeat idleHeartbeat{nullptr};
    std::unique_ptr<SelfTestViewModel> viewModel;
    std::unique_ptr<SelfTest> runner;
    QString pane;
    int dots = 0;
    int framesSinceStart = 0;
};

void TestSelfTest::initTestCase()
{
    TestHome::useApplicationIdentity();
    keyboard = std::make_unique<XTestKeyboard>();
    QVERIFY2(keyboard->isOpen(), "this test needs an X display");
    QVERIFY(keyboard->setLayout(QStringLiteral("us,ru")));
    recorder = std::make_unique<KeyRecorderWindow>(QRect(60, 80, 400, 160));
    QVERIFY(recorder->isOpen());
}

void TestSelfTest::init()
{
    TestHome::wipe();
    ConnectionManagerSettings connection;
    connection.QuietConnectionEnabled = true;
    connection.sync();
    pane.clear();
    dots = 0;
    framesSinceStart = 0;
}

void TestSelfTest::cleanup()
{
    runner.reset();
    viewModel.reset();
    if (link)
        link->stop();
    link.reset();
    TextWriter::Cleanup();
}

void TestSelfTest::connectLink(int heartbeatPeriod, bool serverStarts)
{
    link = std::make_unique<LoopbackConnection>();
    server = link->addServer();
    link->offerServers({link->entry(QStringLiteral("A"), server->port())});
    link->build(200);
    link->wireDictation();
    TextWriter::Init();
    // Starts dictation when asked (no mode named) and stops it with its last results.
    connect(server, &FakeRecognitionServer::messageReceived, this, [this, serverStarts](const FakeRecognitionServer::Message& m) {
        if (m.type != 1)
            return;
        const QJsonValue type = m.data.toObject().value(QStringLiteral("Type"));
        if (type.isNull() && serverStarts) {
            framesSinceStart = 0;
            server->sendModeChanged(RecognitionModeNamespace::Text, Started);
        } else if (!type.isNull()) {
            if (framesSinceStart > 0) {
                server->sendResult(QStringLiteral("давление"), false);
                server->sendResult(AfterPlay, true);
            }
            server->sendModeChanged(RecognitionModeNamespace::Text, Stopped);
            server->sendModeChanged(RecognitionModeNamespace::Off, Started);
        }
    });
    connect(server, &FakeRecognitionServer::binaryMessageReceived, this, [this] {
        if (++framesSinceStart == 1)
            server->sendResult(DuringPlay, true);
    });
    link->start();
    QVERIFY(link->waitForState(ConnectionManager::Ready));
    // As the program does it: the heartbeat runs while connected.
    if (heartbeatPeriod > 0)
        link->addHeartbeat(heartbeatPeriod, 60000);
    QTRY_VERIFY_WITH_TIMEOUT(link->worker()->asrManager()->isConnected(), TestHome::scaled(5000));
    buildRunner(heartbeatPeriod > 0 ? link->heartbeat() : &idleHeartbeat);
}

void TestSelfTest::buildRunner(ConnectionHeartbeat* heartbeat)
{
    viewModel = std::make_unique<SelfTestViewModel>();
    runner = std::make_unique<SelfTest>(viewModel.get(), link->worker(), link->driver(), heartbeat, link->capture());
    connect(viewModel.get(), &SelfTestViewModel::clearLog, this, [this] { pane.clear(); });
    // The pane gets a dot for each chunk sent, the log file does not.
    connect(viewModel.get(), &SelfTestViewModel::appendLog, this, [this](const QString& text) {
        if (text == QLatin1String("."))
            ++dots;
        else
            pane += text;
    });
}

void TestSelfTest::startDictation()
{
    keyboard->focus(recorder->windowId());
    recorder->clear();
    link->worker()->asrManager()->startRecognition();
    QTRY_COMPARE_WITH_TIMEOUT(link->worker()->asrManager()->currentState(), Started, TestHome::scaled(5000));
}

void TestSelfTest::runWritesLogAndReport()
{
    // 50 chunks of 20 ms exactly, then one chunk of silence spends the tail.
    storeSettings(20, {{QStringLiteral("один.raw"), 50 * 640, 600, 2}, {QString(), 0, 0, 1}}, sounds);
    connectLink(50, true);
    // The monitor tells the user that dictation is not typed meanwhile.
    MonitorViewModel monitor(link->worker()->asrManager(), link->worker()->resultManager(), nullptr, nullptr);
    emit viewModel->load();
    QCOMPARE(link->capture()->paused.loadAcquire(), 1);
    QCOMPARE(link->worker()->resultManager()->processResults, 0);
    QVERIFY(monitor.get_ResultsIgnored());
    QVERIFY(viewModel->get_IsConnected());
    keyboard->focus(recorder->windowId());
    recorder->clear();
    server->clearReceived();

    emit viewModel->start();
    QVERIFY(viewModel->get_IsStarted());
    QTRY_VERIFY_WITH_TIMEOUT(pane.endsWith(QStringLiteral("\nStopped")), TestHome::scaled(20000));
    QVERIFY(!viewModel->get_IsStarted());
    // Pings go on after the ping test and still count.
    QVERIFY(viewModel->get_PongCount() >= 3);

    // The file as it was, then the silence its tail allowed.
    const QList<QByteArray> frames = server->binaryMessages();
    QCOMPARE(frames.size(), 51);
    QCOMPARE(frames.first(), QByteArray(640, '\x11'));
    QCOMPARE(frames.last(), QByteArray(640, '\0'));

    const QString log = reportFile("txt");
    QCOMPARE(log, pane);
    QCOMPARE(dots, 51);
    const QString missing = QFileInfo(sounds.filePath(QStringLiteral("нет такого.raw"))).absoluteFilePath();
    // The heartbeat goes on meanwhile: on a loaded machine more pings leave before the third one's pong is
    // read, and pongs still on their way are not waited for.
    const QString atLeastThree = QStringLiteral("(?:[3-9]|[1-9]\\d+)");
    const QRegularExpression shape(QStringLiteral(
        "^\\nPing test(\\nPing \\d+ ms){1,}\\n%4 requests, [1-9]\\d* responses\\nmin delay \\d+ ms, max delay \\d+ ms, average delay "
        "[\\d.]+ ms\\n\\nStart recognition\\nRecognition started in \\d+ ms\\nPlay file один.raw"
        "\\nResult 1 in \\d+ ms: %1\\nFinished один.raw\\nResult 2 in \\d+ ms: %2\\nAll 2 results received\\n"
        "\\nRecognition started in \\d+ ms\\nCannot open file %3\\nFinished нет такого.raw"
        "\\nRecieved 0 of 1 results, 1 results lost\\n\\nStopped$")
                                     .arg(QRegularExpression::escape(DuringPlay), QRegularExpression::escape(AfterPlay),
                                          QRegularExpression::escape(missing), atLeastThree));
    QVERIFY2(shape.match(log).hasMatch(), qPrintable(log));

    const QStringList lines = reportFile("csv").split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4);
    QVERIFY2(QRegularExpression(QStringLiteral("^ping;%1;[1-9]\\d*;\\d+;\\d+;[\\d.]+$").arg(atLeastThree)).match(lines.at(0)).hasMatch(),
             qPrintable(lines.at(0)));
    QStringList during = csvFields(lines.at(1));
    QStringList after = csvFields(lines.at(2));
    QVERIFY(during.value(5).toInt() <= after.value(5).toInt());
    during[5] = after[5] = QStringLiteral("ms");
    QCOMPARE(during, (QStringList{"result", "1", "1", "2", "1", "ms", "один.raw", DuringPlay}));
    QCOMPARE(after, (QStringList{"result", "1", "2", "2", "0", "ms", "один.raw", AfterPlay}));
    QCOMPARE(lines.at(3), QString());

    // Nothing of the test was typed; once the window is closed dictation types again.
    QCOMPARE(recorder->text(), QString());
    emit viewModel->close();
    QCOMPARE(link->capture()->paused.loadAcquire(), 0);
    QCOMPARE(link->worker()->resultManager()->processResults, 1);
    QVERIFY(!monitor.get_ResultsIgnored());
    startDictation();
    server->sendResult(QStringLiteral("жалоб нет"), true);
    QTRY_COMPARE_WITH_TIMEOUT(recorder->text(), QStringLiteral("Жалоб нет"), TestHome::scaled(5000));
}

void TestSelfTest::runEnds_data()
{
    // Of the heartbeat; 0: none.
    QTest::addColumn<int>("heartbeatPeriod");
    QTest::addColumn<bool>("serverStarts");
    QTest::addColumn<int>("soundPeriod");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<bool>("closeWhenStarted");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("frameBytes");
    // A time limit of the settings set to a value of its own; none when empty.
    QTest::addColumn<QString>("limitKey");
    QTest::addColumn<int>("limit");

    QTest::newRow("no pings: ping timeout") << 0 << true << 20 << false << false << "\nPing timeout\nStopped" << 0
                                            << QString() << 0;
    QTest::newRow("no start: start timeout") << 50 << false << 20 << false << false
                                             << "\nStart recognition\nStart recognition timeout\nStopped" << 0
                                             << QString() << 0;
    QTest::newRow("a sound period of 0: 1 ms chunks")
        << 50 << true << 0 << false << false << "\nAll 2 results received\n\nStopped" << 32 << QString() << 0;
    QTest::newRow("pings further apart than PingTimeout")
        << 300 << true << 20 << false << false << "\nAll 2 results received\n\nStopped" << 640 << QString() << 0;
    QTest::newRow("loop: the next ping test after the last file")
        << 50 << true << 20 << true << false << "\nAll 2 results received\n\nPing test" << 640 << QString() << 0;
    QTest::newRow("closed while running: dictation back") << 50 << true << 20 << false << true << "" << 0 << QString() << 0;
    // A timer given a negative time never fires: such waits once lasted for ever.
    QTest::newRow("negative StartTimeout: no wait") << 50 << false << 20 << false << false
                                                    << "\nStart recognition\nStart recognition timeout\nStopped" << 0
                                                    << "StartTimeout" << -1;
    QTest::newRow("negative PingTimeout: one heartbeat period") << 0 << true << 20 << false << false
                                                                << "\nPing timeout\nStopped" << 0 << "PingTimeout"
                                                                << -100000;
    QTest::newRow("largest PingTimeout plus the period") << 50 << true << 20 << false << false
                                                         << "\nAll 2 results received\n\nStopped" << 640
                                                         << "PingTimeout" << std::numeric_limits<int>::max();
}

void TestSelfTest::runEnds()
{
    QFETCH(int, heartbeatPeriod);
    QFETCH(bool, serverStarts);
    QFETCH(int, soundPeriod);
    QFETCH(bool, loop);
    QFETCH(bool, closeWhenStarted);
    QFETCH(QString, ending);
    QFETCH(int, frameBytes);
    QFETCH(QString, limitKey);
    QFETCH(int, limit);

    storeSettings(soundPeriod, {{QStringLiteral("два.raw"), 64, 640, 2}}, sounds);
    if (soundPeriod != 20)
        QTest::ignoreMessage(QtWarningMsg, "Self-test: SoundPeriod 0 ms is out of range, using 1 ms");
    connectLink(heartbeatPeriod, serverStarts);
    // Pings come once a period; PingTimeout is how late one may be, and a
    // loaded machine makes them late.
    SelfTestSettings().PingTimeout = TestHome::scaled(100);
    if (!limitKey.isEmpty()) {
        SelfTestSettings settings;
        settings.setValue(limitKey, limit);
        settings.sync();
        if (limit < 0)
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Self-test: %1 %2 ms is out of range, using 0 ms")
                                                              .arg(limitKey)
                                                              .arg(limit)));
    }
    // Qt refuses a timer of a negative time with a warning (and leaves it stopped).
    static QStringList timerWarnings;
    static QtMessageHandler previous = nullptr;
    timerWarnings.clear();
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (message.contains(QLatin1String("negative")))
            timerWarnings << message;
        previous(type, context, message);
    });
    const auto restoreHandler = qScopeGuard([] { qInstallMessageHandler(previous); });
    viewModel->set_Loop(loop);
    emit viewModel->load();
    emit viewModel->start();
    if (closeWhenStarted) {
        QTRY_VERIFY_WITH_TIMEOUT(pane.contains(QStringLiteral("\nPlay file")) || pane.contains(QStringLiteral("\nRecognition started")),
                                 TestHome::scaled(5000));
        emit viewModel->close();
        QVERIFY(!viewModel->get_IsStarted());
        QCOMPARE(link->capture()->paused.loadAcquire(), 0);
        QCOMPARE(link->worker()->resultManager()->processResults, 1);
        startDictation();
        return;
    }
    QTRY_VERIFY2_WITH_TIMEOUT(pane.contains(ending), qPrintable(pane), TestHome::scaled(10000));
    if (frameBytes > 0)
        QVERIFY2(server->binaryMessages().value(0).size() == frameBytes, qPrintable(pane));
    else
        QVERIFY(server->binaryMessages().isEmpty());
    emit viewModel->stop();
    QVERIFY(!viewModel->get_IsStarted());
    QVERIFY2(timerWarnings.isEmpty(), qPrintable(timerWarnings.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestSelfTest)
#include "TestSelfTest.moc"
