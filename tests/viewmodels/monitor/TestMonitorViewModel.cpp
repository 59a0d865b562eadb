#include "ASRSettings.h"
#include "AsrManager.h"
#include "ConnectionManager.h"
#include "ConnectionManagerSettings.h"
#include "LoopbackConnection.h"
#include "MonitorViewModel.h"
#include "PulseAudioManager.h"
#include "PulsePipeSource.h"
#include "PulseTestServer.h"
#include "RecordingDeviceManager.h"
#include "SettingsSnapshot.h"
#include "SignalRecorder.h"
#include "TestHome.h"
#include "WebSocketWorker.h"

#include <QtEndian>
#include <QtTest>

#include <memory>

using Reports = QList<QPair<int, int>>;

namespace {
constexpr int Text = RecognitionModeNamespace::Text;

// A square wave at half of full scale, `msecs` long.
QByteArray loudPcm(int msecs)
{
    QByteArray pcm(16 * msecs * 2, Qt::Uninitialized);
    for (int i = 0; i < pcm.size() / 2; ++i)
        qToLittleEndian<qint16>((i / 20) % 2 ? 16000 : -16000, pcm.data() + 2 * i);
    return pcm;
}

QStringList withoutLevels(const QStringList& entries)
{
    QStringList kept;
    for (const QString& entry : entries) {
        if (!entry.startsWith(QLatin1String("changed_SoundLevel")))
            kept << entry;
    }
    return kept;
}
} // namespace

// The monitor over the client's real recognition link to a fake server and a
// microphone of the private sound server fed through a pipe.
class TestMonitorViewModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup() { monitor.reset(); }
    void followsModeStates_data();
    void followsModeStates();
    void showsDictation();
    void stateFromAnotherThreadArrivesInTheGuiThread();
    void gainStoredOnlyWhenTheUserSetsIt_data();
    void gainStoredOnlyWhenTheUserSetsIt();

private:
    RecordingDeviceManager* microphone() const { return audio->RecordingManager(); }
    AsrManager* asr() const { return link->worker()->asrManager(); }

    std::unique_ptr<PulsePipeSource> pipe;
    std::unique_ptr<PulseAudioManager> audio;
    std::unique_ptr<LoopbackConnection> link;
    FakeRecognitionServer* server = nullptr;
    std::unique_ptr<MonitorViewModel> monitor;
};

void TestMonitorViewModel::initTestCase()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    QVERIFY2(PulseTestServer::isRunning(), "needs the sound server of scripts/headless-services.sh");
    {
        ConnectionManagerSettings quiet;
        quiet.QuietConnectionEnabled = true;
        quiet.sync();
        ASRSettings asrSettings;
        asrSettings.SelectedTheme = QStringLiteral("t2");
        asrSettings.sync();
    }
    pipe = std::make_unique<PulsePipeSource>(QStringLiteral("monitor_pipe"));
    QVERIFY(pipe->isReady());
    audio = std::make_unique<PulseAudioManager>();
    audio->Start();
    const auto pipeIndex = [this] {
        const ExtAudioDeviceInfoList devices = microphone()->DeviceList();
        for (int i = 0; i < devices.size(); ++i) {
            if (devices.at(i).deviceName() == pipe->name())
                return i;
        }
        return -1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(pipeIndex() >= 0, TestHome::scaled(10000));
    microphone()->set_SelectedIndex(pipeIndex());

    link = std::make_unique<LoopbackConnection>();
    link->offerThemes({QJsonObject{{"Id", "t1"}, {"Name", "Терапия"}, {"Version", "2"}},
                       QJsonObject{{"Id", "t2"}, {"Name", "Хирургия"}, {"Version", "3"}}});
    server = link->addServer();
    link->offerServers({link->entry(QStringLiteral("A"), server->port())});
    link->build(1000);
    link->wireDictation();
    link->start();
    QVERIFY(link->waitForState(ConnectionManager::Ready));
    QTRY_VERIFY_WITH_TIMEOUT(asr()->isConnected(), TestHome::scaled(5000));
}

void TestMonitorViewModel::cleanupTestCase()
{
    link.reset();
    audio.reset();
    pipe.reset();
}

void TestMonitorViewModel::init()
{
    monitor = std::make_unique<MonitorViewModel>(asr(), link->worker()->resultManager(), microphone(), link->driver());
}

void TestMonitorViewModel::followsModeStates_data()
{
    QTest::addColumn<Reports>("reports");
    QTest::addColumn<QStringList>("emitted");

    QTest::newRow("voice activation moves nothing") << Reports{{RecognitionModeNamespace::VoiceActivation, Starting}}
                                                    << QStringList();
    QTest::newRow("stopping, stopped: hidden, panes closed, still loading")
        << Reports{{Text, Started}, {Text, Stopping}, {Text, Stopped}}
        << QStringList{"changed_Visible(true)", "changed_Loading(true)", "changed_Visible(false)",
                       "changed_GainVisible(false)", "changed_ThemeVisible(false)"};
}

void TestMonitorViewModel::followsModeStates()
{
    QFETCH(Reports, reports);
    monitor->set_GainVisible(true);
    monitor->set_ThemeVisible(true);
    SignalRecorder recorder(monitor.get());
    for (const auto& report : reports) {
        RecognitionModeInfo info;
        info.setMode(RecognitionMode(report.first));
        info.setState(AsrState(report.second));
        asr()->updateModeStateInfo(info);
    }
    QCoreApplication::processEvents();
    QTEST(withoutLevels(recorder.take()), "emitted");

    RecognitionModeInfo stopped;
    stopped.setMode(RecognitionMode(Text));
    stopped.setState(Stopped);
    asr()->updateModeStateInfo(stopped);
}

void TestMonitorViewModel::showsDictation()
{
    QCOMPARE(monitor->get_ThemeName(), QStringLiteral("Хирургия 3"));
    server->sendModeChanged(Text, Starting);
    QTRY_VERIFY_WITH_TIMEOUT(monitor->get_Visible() && monitor->get_Loading(), TestHome::scaled(5000));
    server->sendModeChanged(Text, Started);
    QTRY_VERIFY_WITH_TIMEOUT(!monitor->get_Loading(), TestHome::scaled(5000));

    QVERIFY(pipe->write(loudPcm(400)));
    QTRY_VERIFY_WITH_TIMEOUT(monitor->get_SoundLevel() > 30, TestHome::scaled(5000));

    // No window to show the text over: the flag is announced on every interim
    // result shown (one that a newer follows at once may never be).
    QSignalSpy tooltip(monitor.get(), &MonitorViewModel::changed_TooltipOnInputWindow);
    server->sendResult(QStringLiteral("давление"), false);
    QTRY_COMPARE_WITH_TIMEOUT(tooltip.count(), 1, TestHome::scaled(5000));
    server->sendResult(QStringLiteral("давление сто двадцать"), false);
    QTRY_COMPARE_WITH_TIMEOUT(monitor->get_ResultText(), QStringLiteral("Давление сто двадцать"),
                              TestHome::scaled(5000));
    QCOMPARE(tooltip.count(), 2);
    QVERIFY(!monitor->get_TooltipOnInputWindow());
    QSignalSpy text(monitor.get(), &MonitorViewModel::changed_ResultText);
    server->sendResult(QStringLiteral("давление сто двадцать"), true);
    QTRY_COMPARE_WITH_TIMEOUT(text.count(), 1, TestHome::scaled(5000));
    QCOMPARE(monitor->get_ResultText(), QString());

    server->sendModeChanged(Text, Stopped);
    QTRY_VERIFY_WITH_TIMEOUT(!monitor->get_Visible(), TestHome::scaled(5000));
}

void TestMonitorViewModel::stateFromAnotherThreadArrivesInTheGuiThread()
{
    QThread* changedIn = nullptr;
    connect(monitor.get(), &MonitorViewModel::changed_Visible, this,
            [&changedIn] { changedIn = QThread::currentThread(); }, Qt::DirectConnection);
    std::unique_ptr<QThread> driver(QThread::create([this] {
        emit asr()->currentModeOrStateChanged(RecognitionMode(Text), Started);
    }));
    driver->start();
    QVERIFY(driver->wait(TestHome::scaled(5000)));
    QTRY_VERIFY_WITH_TIMEOUT(monitor->get_Visible(), TestHome::scaled(5000));
    QCOMPARE(changedIn, QThread::currentThread());
}

void TestMonitorViewModel::gainStoredOnlyWhenTheUserSetsIt_data()
{
    QTest::addColumn<bool>("byUser");
    QTest::addColumn<QStringList>("changes");
    QTest::newRow("from the device: shown only") << false << QStringList();
    QTest::newRow("from the user: applied, only the gain stored") << true << QStringList{"RecordingDevice/Gain=37"};
}

void TestMonitorViewModel::gainStoredOnlyWhenTheUserSetsIt()
{
    QFETCH(bool, byUser);
    microphone()->set_Gain(80);
    QTRY_COMPARE_WITH_TIMEOUT(monitor->gain(), 80, TestHome::scaled(5000));

    const SettingsSnapshot before;
    if (byUser)
        monitor->setGain(37);
    else
        microphone()->set_Gain(37);
    QTRY_COMPARE_WITH_TIMEOUT(microphone()->Gain(), 37, TestHome::scaled(5000));
    QTRY_COMPARE_WITH_TIMEOUT(monitor->gain(), 37, TestHome::scaled(5000));
    QTEST(before.changesSince(), "changes");
}

QTEST_MAIN(TestMonitorViewModel)
#include "TestMonitorViewModel.moc"
