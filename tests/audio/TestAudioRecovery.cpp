#include "PlaybackDeviceManager.h"
#include "PulseAudioManager.h"
#include "PulsePipeSource.h"
#include "PulseTestServer.h"
#include "RecordingDeviceManager.h"
#include "TestHome.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

namespace {
int countListed(const AudioDeviceManagerBase* manager, const QString& name)
{
    const ExtAudioDeviceInfoList devices = manager->DeviceList();
    return int(std::count_if(devices.cbegin(), devices.cend(),
        [&](const ExtAudioDeviceInfo& device) { return device.deviceName() == name; }));
}

// The audio log lines, as "<category> <level>: <text>".
QStringList audioLog;
QtMessageHandler previousHandler = nullptr;

void recordAudioLog(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QByteArray category(context.category ? context.category : "");
    if (category == "AudioManager" || category == "PulseAudioManager") {
        static const char* const levels[] = {"debug", "warning", "critical", "fatal", "info"};
        audioLog << QStringLiteral("%1 %2: %3").arg(QString::fromLatin1(category), QLatin1String(levels[type]), message);
    }
    previousHandler(type, context, message);
}
} // namespace

// The audio objects against a sound server of this test alone, which the cases stop and
// start: the client must follow it without a restart.
class TestAudioRecovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void listsFillWhenServerStartsLater();
    void captureResumesAfterLongOutage();

private:
    // Feeds the pipe with a known tenth of a second of sound every tenth of a second and
    // waits until it is captured.
    bool capturesFrom(PulsePipeSource& pipe, const QByteArray& captured, int timeoutMsecs)
    {
        const QByteArray chunk = PulsePipeSource::constant(1600, 1234);
        return QTest::qWaitFor(
            [&] {
                pipe.write(chunk);
                return captured.contains(chunk);
            },
            timeoutMsecs);
    }

    QTemporaryDir runtime;
};

void TestAudioRecovery::initTestCase()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    QVERIFY(runtime.isValid());
    QVERIFY(PulseTestServer::usePrivateServer(runtime.path() + QStringLiteral("/run"), PulseTestServer::sinkOnlyConfiguration()));
    QVERIFY(!PulseTestServer::isRunning());
    previousHandler = qInstallMessageHandler(recordAudioLog);
}

void TestAudioRecovery::cleanupTestCase()
{
    qInstallMessageHandler(previousHandler);
    PulseTestServer::kill();
}

void TestAudioRecovery::listsFillWhenServerStartsLater()
{
    PulseAudioManager audio;
    RecordingDeviceManager* recording = audio.RecordingManager();
    PlaybackDeviceManager* playback = audio.PlaybackManager();
    QByteArray captured;
    connect(recording, &RecordingDeviceManager::SoundAvailable, this, [&captured](QByteArray data) { captured += data; });
    QSignalSpy listed(recording, &AudioDeviceManagerBase::DeviceListChanged);
    audio.Start();
    QVERIFY(listed.wait(TestHome::scaled(10000)));
    QVERIFY(recording->DeviceList().isEmpty());

    QVERIFY(PulseTestServer::start());
    PulsePipeSource pipe(QStringLiteral("late_pipe"));
    QVERIFY(pipe.isReady());
    QTRY_VERIFY_WITH_TIMEOUT(countListed(recording, pipe.name()) && countListed(playback, QStringLiteral("test_sink")), TestHome::scaled(10000));
    QCOMPARE(recording->CurrentDevice().deviceName(), pipe.name());
    QVERIFY(capturesFrom(pipe, captured, TestHome::scaled(10000)));
}

void TestAudioRecovery::captureResumesAfterLongOutage()
{
    QVERIFY(PulseTestServer::ensureRunning());
    auto pipe = std::make_unique<PulsePipeSource>(QStringLiteral("outage_pipe"));
    QVERIFY(pipe->isReady());
    PulseAudioManager audio;
    RecordingDeviceManager* recording = audio.RecordingManager();
    PlaybackDeviceManager* playback = audio.PlaybackManager();
    QByteArray captured;
    connect(recording, &RecordingDeviceManager::SoundAvailable, this, [&captured](QByteArray data) { captured += data; });
    audio.Start();
    QTRY_COMPARE_WITH_TIMEOUT(recording->CurrentDevice().deviceName(), pipe->name(), TestHome::scaled(10000));
    QTRY_COMPARE_WITH_TIMEOUT(playback->CurrentDevice().deviceName(), QStringLiteral("test_sink"), TestHome::scaled(10000));
    QVERIFY(capturesFrom(*pipe, captured, TestHome::scaled(10000)));

    QSignalSpy captureErrors(recording, &AudioDeviceManagerBase::DeviceError);
    QSignalSpy playbackErrors(playback, &AudioDeviceManagerBase::DeviceError);
    QVERIFY(PulseTestServer::kill());
    pipe.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!captureErrors.isEmpty() && !playbackErrors.isEmpty(), TestHome::scaled(10000));
    QVERIFY(!recording->IsCapturing());
    // Qt's own backend gives up 3 s after losing the server: stay away longer. The client
    // keeps trying; past its first attempts it logs nothing more.
    QTest::qWait(2000);
    audioLog.clear();
    QTest::qWait(4500);
    QCOMPARE(audioLog, QStringList());
    QCOMPARE(captureErrors.count(), 1);
    QCOMPARE(playbackErrors.count(), 1);
    QVERIFY(recording->PendingRestartDelay() > 2000);

    QElapsedTimer sinceBack;
    QVERIFY(PulseTestServer::start());
    sinceBack.start();
    pipe = std::make_unique<PulsePipeSource>(QStringLiteral("outage_pipe"));
    QVERIFY(pipe->isReady());
    captured.clear();
    QVERIFY(capturesFrom(*pipe, captured, TestHome::scaled(15000)));
    qInfo("Capture flows again %lld ms after the sound server came back", sinceBack.elapsed());
    QCOMPARE(recording->CurrentDevice().deviceName(), pipe->name());
    QCOMPARE(captureErrors.count(), 1);
    // Qt keeps what it knew of the old server beside what it learns of the new one.
    QCOMPARE(countListed(recording, pipe->name()), 1);

    // Playback works again too: the level falls back once the device has played the sound.
    QTRY_COMPARE_WITH_TIMEOUT(playback->PendingRestartDelay(), 0, TestHome::scaled(10000));
    playback->playSoundFile(QStringLiteral(":/Assets/SpeechOn.wav"));
    QVERIFY(playback->CurrentLevel() > 0);
    QTRY_COMPARE_WITH_TIMEOUT(playback->CurrentLevel(), 0, TestHome::scaled(10000));
}

QTEST_GUILESS_MAIN(TestAudioRecovery)
#include "TestAudioRecovery.moc"
