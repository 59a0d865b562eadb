#include "AsrManager.h"
#include "ConnectionManager.h"
#include "EventLoopProbe.h"
#include "FloodingRelay.h"
#include "LoopbackConnection.h"
#include "MonitorViewModel.h"
#include "RecordingTextWriter.h"
#include "ResidentMemory.h"
#include "ResultManager.h"
#include "TestHome.h"
#include "WebSocketWorker.h"
#include "KeyRecorderWindow.h"
#include "XHotKeyManager.h"
#include "XTestKeyboard.h"
#include "XTextWriter.h"
#include "logger.h"

#include <QtTest>

#include <QMenu>
#include <QRegularExpression>

#include <atomic>
#include <memory>
#include <optional>

namespace {
constexpr int ModeRequest = 1;
#if defined(__SANITIZE_ADDRESS__)
// Each frame costs the sanitizer's checks in four threads (the relay, the link,
// the GUI and the server): a tenth of a flood takes as long as a whole one here.
constexpr int FloodShare = 10;
#else
constexpr int FloodShare = 1;
#endif

QByteArray resultFrame(qint64 index, bool isFinal)
{
    return FloodingRelay::textFrame(QByteArray(R"({"Data":{"IsFinal":)") + (isFinal ? "true" : "false")
                                    + R"(,"Text":"пациент жалоб )" + QByteArray::number(index) + R"("},"MessageType":3})");
}

// The number a flooded result ends with; -1 for none.
qint64 indexOf(const QString& text)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("(\\d+)\\s*$")).match(text);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// Types nothing, but finds the focused window and its place on the X display
// as the program's writer does, at the same cost.
class DesktopTextWriter : public RecordingTextWriter
{
public:
    unsigned long getFocusedWindow() override { return x.getFocusedWindow(); }
    bool getWindowRect(unsigned long window, QRect* rect) override { return x.getWindowRect(window, rect); }

private:
    XTextWriter x;
};

// What a flood makes the client log, while it lives: counted, and written as usual.
class LogCounter
{
public:
    LogCounter()
    {
        bytes = 0;
        previous = qInstallMessageHandler(count);
    }
    ~LogCounter() { qInstallMessageHandler(previous); }
    static qint64 logged() { return bytes.load(); }

private:
    static void count(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        // With the date, level and category of a line in the log file.
        bytes += message.toUtf8().size() + 40;
        previous(type, context, message);
    }
    static inline QtMessageHandler previous = nullptr;
    static inline std::atomic<qint64> bytes{0};
};
} // namespace

// The client's link, result handling and monitor as the program wires them,
// against a server gone wrong that floods results through a relay: the GUI
// thread (this one) shows what it can and answers the tray menu and a double
// Ctrl at once, memory and log stay bounded, and no final result is lost or
// put out of order.
class TestResultFlood : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void newestPartialShownFinalsKept();
    void flood_data();
    void flood();

private:
    AsrManager* asr() const { return link->worker()->asrManager(); }
    bool startDictation();

    DesktopTextWriter writer;
    // Has the keyboard focus: the monitor shows partial results over it.
    KeyRecorderWindow focused{QRect(100, 100, 400, 200)};
    std::unique_ptr<LoopbackConnection> link;
    FakeRecognitionServer* server = nullptr;
    std::unique_ptr<FloodingRelay> relay;
    std::unique_ptr<MonitorViewModel> monitor;
};

void TestResultFlood::initTestCase()
{
    LoopbackConnection::useQuietHome();
    // Every line written to a log file, as the program does.
    char name[] = "TestResultFlood";
    char* argv[] = {name, nullptr};
    InitLogger(1, argv);
    XTestKeyboard keyboard;
    QVERIFY2(keyboard.isOpen(), "this test needs an X display");
    keyboard.focus(focused.windowId());
    QTRY_COMPARE_WITH_TIMEOUT(writer.getFocusedWindow(), focused.windowId(), TestHome::scaled(5000));
    link = std::make_unique<LoopbackConnection>();
    server = link->addServer();
    relay = std::make_unique<FloodingRelay>(server->port());
    link->offerServers({link->entry(QStringLiteral("A"), relay->port())});
    link->build(200);
    link->wireDictation();
    monitor = std::make_unique<MonitorViewModel>(asr(), link->worker()->resultManager(), link->capture(), link->driver());
    // The server confirms what is asked at once, as a real one would.
    FakeRecognitionServer* fake = server;
    connect(server, &FakeRecognitionServer::messageReceived, server, [fake](const FakeRecognitionServer::Message& message) {
        if (message.type != ModeRequest)
            return;
        const bool starts = message.data.toObject().value(QStringLiteral("Type")).toInt(2) > 1;
        fake->sendModeChanged(RecognitionModeNamespace::Text, starts ? Starting : Stopping);
        fake->sendModeChanged(RecognitionModeNamespace::Text, starts ? Started : Stopped);
    });
    link->start();
    QVERIFY(link->waitForState(ConnectionManager::Ready));
}

void TestResultFlood::cleanupTestCase()
{
    monitor.reset();
    link.reset();
    relay.reset();
}

bool TestResultFlood::startDictation()
{
    if (!asr()->isDictationShown())
        asr()->startRecognition();
    return QTest::qWaitFor([this] { return monitor->get_Visible() && !monitor->get_Loading(); }, TestHome::scaled(5000));
}

// Partials that come faster than they are shown are merged; every final is
// typed, in order, and the newest partial, left when the link drops, is typed
// once, though it may still have waited to be shown.
void TestResultFlood::newestPartialShownFinalsKept()
{
    QVERIFY(startDictation());
    writer.texts.clear();
    link->clearStates();
    QSignalSpy ready(link->worker()->resultManager(), &ResultManager::resultReady);
    for (const auto& [text, isFinal] : QList<QPair<QString, bool>>{
             {"а", false}, {"а б", false}, {"а б в", true}, {"г", false}, {"г д", false}, {"г д е", true}, {"ж", false}})
        QVERIFY(server->sendResult(QString(text), isFinal));
    QVERIFY(QTest::qWaitFor([&] { return monitor->get_ResultText() == QStringLiteral("ж"); }, TestHome::scaled(5000)));
    // Right behind one shown: it waits its turn to be shown when the link drops.
    QVERIFY(server->sendResult(QStringLiteral("ж з"), false));
    server->disconnectClient();
    QTRY_COMPARE_WITH_TIMEOUT(writer.typedTexts(), (QStringList{"А б в", " г д е", " ж з"}), TestHome::scaled(5000));
    QTest::qWait(200);
    QCOMPARE(writer.typedTexts().size(), 3);
    QStringList finals;
    for (const QList<QVariant>& result : ready) {
        if (result.at(1).toBool())
            finals << result.at(0).toString();
    }
    QCOMPARE(finals, (QStringList{"А б в", " г д е", " ж з"}));
    QVERIFY(ready.count() <= 8);
    QVERIFY(link->waitForState(ConnectionManager::Ready));
}

void TestResultFlood::flood_data()
{
    QTest::addColumn<bool>("finals");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("burst");
    QTest::addColumn<int>("intervalMs");
    QTest::newRow("1,000,000 partials at once") << false << 1000000 / FloodShare << 0 << 0;
    QTest::newRow("10,000 finals a second for 10 s") << true << 100000 / FloodShare << 100 / FloodShare << 10;
}

void TestResultFlood::flood()
{
    QFETCH(bool, finals);
    QFETCH(int, frames);
    QFETCH(int, burst);
    QFETCH(int, intervalMs);
    XTestKeyboard keyboard;
    QVERIFY2(keyboard.isOpen(), "this test needs an X display");
    XHotKeyManager hotkeys;
    QTRY_VERIFY_WITH_TIMEOUT(hotkeys.IsInitialized(), TestHome::scaled(5000));
    connect(&hotkeys, &HotKeyManager::activated, asr(), [this](int hotkeyClass) {
        if (hotkeyClass == int(HotkeyClass::Toggle))
            asr()->changeRecognition();
    });
    const auto trayMenu = [](QMenu* menu) {
        for (const char* entry : {"Включить распознавание", "Монитор", "Настройки", "Выход"})
            menu->addAction(QString::fromUtf8(entry));
    };
    {
        // A process's first menu loads fonts and style: 300-450 ms in the
        // sanitizer build beside busy loops with no flood at all. Shown before,
        // so that the figure below is the burst's.
        QMenu first;
        trayMenu(&first);
        first.popup(QPoint(100, 100));
        QTRY_VERIFY_WITH_TIMEOUT(first.isVisible(), TestHome::scaled(10000));
    }
    QMenu menu;
    trayMenu(&menu);
    QVERIFY(startDictation());
    writer.texts.clear();

    const qint64 startMb = ResidentMemory::megabytes();
    qint64 mostMb = startMb;
    QTimer memoryProbe;
    connect(&memoryProbe, &QTimer::timeout, this, [&] { mostMb = std::max(mostMb, ResidentMemory::megabytes()); });
    memoryProbe.start(100);
    std::optional<LogCounter> log(std::in_place);
    relay->flood({[finals](qint64 i) { return resultFrame(i, finals); }, frames, burst, intervalMs,
                  FloodingRelay::ClientBytes::Passed});
    const EventLoopProbe loop;

    QTest::qWait(100);
    // As a click on the tray icon arrives: an event behind whatever waits in the queue.
    QElapsedTimer shown;
    shown.start();
    QTimer::singleShot(0, &menu, [&menu] { menu.popup(QPoint(100, 100)); });
    QTRY_VERIFY_WITH_TIMEOUT(menu.isVisible(), TestHome::scaled(60000));
    const qint64 menuMs = shown.elapsed();
    menu.hide();
    const bool floodingAtTheStop = relay->isFlooding();
    const int typedBeforeStop = writer.texts.size();
    QElapsedTimer sinceKeys;
    qint64 stopMs = -1;
    const QMetaObject::Connection heard = connect(server, &FakeRecognitionServer::messageReceived, this,
                                                  [&](const FakeRecognitionServer::Message& message) {
                                                      if (message.type == ModeRequest && stopMs < 0)
                                                          stopMs = sinceKeys.elapsed();
                                                  });
    sinceKeys.start();
    keyboard.doubleTap("Control_L");
    QTRY_VERIFY_WITH_TIMEOUT(stopMs >= 0, TestHome::scaled(60000));
    disconnect(heard);
    const qint64 longestStallMs = loop.longestStall();
    QTRY_VERIFY_WITH_TIMEOUT(!relay->isFlooding(), TestHome::scaled(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!monitor->get_Visible(), TestHome::scaled(5000));
    QTest::qWait(200);
    log.reset();
    memoryProbe.stop();
    qInfo("menu in %lld ms, stop at the server in %lld ms, GUI thread stalled %lld ms at most, %lld -> %lld MB, "
          "%lld bytes logged, %d typed",
          menuMs, stopMs, longestStallMs, startMb, mostMb, LogCounter::logged(), int(writer.texts.size()));

    QVERIFY(floodingAtTheStop);
    QVERIFY2(menuMs <= TestHome::scaled(500), qPrintable(QString::number(menuMs)));
    QVERIFY2(stopMs <= TestHome::scaled(500), qPrintable(QString::number(stopMs)));
    QVERIFY2(longestStallMs <= TestHome::scaled(500), qPrintable(QString::number(longestStallMs)));
    QVERIFY2(!ResidentMemory::tells || mostMb <= startMb + 100, qPrintable(QStringLiteral("%1 -> %2 MB").arg(startMb).arg(mostMb)));
    QVERIFY2(LogCounter::logged() <= 256 * 1024, qPrintable(QString::number(LogCounter::logged())));
    // Every final that came before the stop typed, in order; those after it in order too.
    qint64 last = -1;
    for (int i = 0; i < writer.texts.size(); ++i) {
        const qint64 index = indexOf(writer.texts.at(i).second);
        QVERIFY2(index > last, qPrintable(writer.texts.at(i).second));
        if (i < typedBeforeStop)
            QCOMPARE(index, qint64(i));
        last = index;
    }
    QVERIFY(!finals || typedBeforeStop > 0);
    QVERIFY(finals || writer.texts.isEmpty());
}

QTEST_MAIN(TestResultFlood)
#include "TestResultFlood.moc"
