#include "AudioHarness.h"
#include "RecordingDeviceSettings.h"

using namespace AudioHarness;

// Kills and restarts the test sound server; every path leaves a server running.
class TestAudioRecovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void captureResumesAfterServerRestart();
    void connectsWhenServerComesUpLater();
};

void TestAudioRecovery::initTestCase()
{
    QVERIFY2(prepare(), "needs the sound server of scripts/headless-services.sh");
    saveDeviceName<RecordingDeviceSettings>(QStringLiteral("test_mic"));
}

void TestAudioRecovery::cleanup()
{
    QVERIFY(PulseTestServer::ensureRunning());
}

void TestAudioRecovery::captureResumesAfterServerRestart()
{
    std::unique_ptr<PulseAudioManager> audio = startAudio();
    RecordingDeviceManager* recording = audio->RecordingManager();
    recording->setRestartDelay(500);
    QVERIFY(waitForDevice(recording, QStringLiteral("test_mic")));
    Capture capture(recording);
    QTRY_VERIFY_WITH_TIMEOUT(capture.bytes.size() > 3200, 10000);

    QSignalSpy errors(recording, &AudioDeviceManagerBase::DeviceError);
    QSignalSpy stopped(recording, &AudioDeviceManagerBase::DeviceStopped);
    QTest::ignoreMessage(QtWarningMsg, "pulse audio context failed, try to reconnect");
    QVERIFY(PulseTestServer::kill());
    QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty(), 10000);
    QVERIFY(!stopped.isEmpty());
    QVERIFY(!audio->IsConnected());

    // Qt's own sound-server connection retries once, 3 s after losing it: be back by then.
    QVERIFY(PulseTestServer::start());
    QTRY_VERIFY_WITH_TIMEOUT(audio->IsConnected(), 10000);
    capture.bytes.clear();
    QTRY_VERIFY_WITH_TIMEOUT(capture.bytes.size() > 3200, 15000);
    QCOMPARE(recording->CurrentDevice().deviceName(), QStringLiteral("test_mic"));
    QVERIFY(audio->GetInputDeviceInfo(QStringLiteral("test_mic")).found);
}

void TestAudioRecovery::connectsWhenServerComesUpLater()
{
    QVERIFY(PulseTestServer::kill());
    PulseAudioManager audio;
    audio.setReconnectDelay(200);
    QVERIFY(!audio.IsConnected());
    QVERIFY(!audio.GetInputDeviceInfo(QStringLiteral("test_mic")).found);

    QVERIFY(PulseTestServer::start());
    QTRY_VERIFY_WITH_TIMEOUT(audio.IsConnected(), 10000);
    QVERIFY(audio.GetInputDeviceInfo(QStringLiteral("test_mic")).found);
}

QTEST_GUILESS_MAIN(TestAudioRecovery)
#include "TestAudioRecovery.moc"
