#include "AudioHarness.h"
#include "PulsePipeSource.h"
#include "RecordingDeviceSettings.h"

using namespace AudioHarness;

class TestRecordingDeviceManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void capturesPipeByteExact();
    void levelFollowsSignal();
    void gainScalesCapture();
    void pausedDropsAudio();
    void settingsAreClampedAndSaved();
    void notifyDrivenCapture();

private:

    std::unique_ptr<PulsePipeSource> pipe;
    std::unique_ptr<PulseAudioManager> audio;
    RecordingDeviceManager* recording = nullptr;
};

void TestRecordingDeviceManager::initTestCase()
{
    QVERIFY2(prepare(), "needs the sound server of scripts/headless-services.sh");
    pipe = std::make_unique<PulsePipeSource>(QStringLiteral("capture_pipe"));
    QVERIFY(pipe->isReady());
    saveDeviceName<RecordingDeviceSettings>(pipe->name());
    audio = startAudio();
    recording = audio->RecordingManager();
    QVERIFY(waitForDevice(recording, pipe->name()));
    QCOMPARE(recording->Gain(), 100);
}

void TestRecordingDeviceManager::capturesPipeByteExact()
{
    QVector<qint16> samples(16000);
    for (int i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<qint16>((i * 7919) % 60000 - 30000);
    const QByteArray expected = pcm(samples);
    Capture capture(recording);
    QVERIFY(pipe->write(expected));
    QVERIFY(capture.waitFor(expected));
}

void TestRecordingDeviceManager::levelFollowsSignal()
{
    QVERIFY(pipe->write(constant(8000, 1001)));
    QTRY_COMPARE_WITH_TIMEOUT(recording->CurrentLevel(), 66, 5000);
    QVERIFY(pipe->write(constant(8000, 1)));
    QTRY_COMPARE_WITH_TIMEOUT(recording->CurrentLevel(), 0, 5000);
}

void TestRecordingDeviceManager::gainScalesCapture()
{
    QSignalSpy gains(recording, &RecordingDeviceManager::GainChanged);
    recording->set_Gain(50);
    recording->set_Gain(50);
    QCOMPARE(gains.count(), 1);
    QCOMPARE(gains.at(0).at(0).toInt(), 50);

    Capture capture(recording);
    QVERIFY(pipe->write(constant(4000, 1000)));
    QVERIFY(capture.waitFor(constant(1000, 500)));
    QVERIFY(!capture.bytes.contains(constant(2, 1000)));
    QCOMPARE(recording->Gain(), 50); // reading the device back keeps it

    // A gain set from another thread lands in the manager's thread.
    QThread* setter = QThread::create([this] { recording->set_Gain(100); });
    setter->start();
    setter->wait();
    delete setter;
    QTRY_COMPARE(recording->Gain(), 100);
}

void TestRecordingDeviceManager::pausedDropsAudio()
{
    Capture capture(recording);
    QSignalSpy levels(recording, &RecordingDeviceManager::CurrentLevelChanged);
    recording->paused.storeRelease(1);
    QVERIFY(pipe->write(constant(4000, 20000)));
    // Only time shows that nothing arrives: twice the device buffer is ample.
    QTest::qWait(600);
    recording->paused.storeRelease(0);
    const QByteArray after = constant(1600, 3);
    QVERIFY(pipe->write(after));
    QVERIFY(capture.waitFor(after));
    QVERIFY(!capture.bytes.contains(constant(2, 20000)));
    for (const QList<QVariant>& level : levels)
        QCOMPARE(level.at(0).toInt(), 0);
}

void TestRecordingDeviceManager::settingsAreClampedAndSaved()
{
    for (const auto& [stored, applied] : {std::pair<int, int>{250, 100}, {-5, 0}, {70, 70}}) {
        RecordingDeviceSettings settings;
        settings.Gain = stored;
        settings.sync();
        recording->LoadSettings();
        QCOMPARE(recording->Gain(), applied);
    }
    QVERIFY(waitForDevice(recording, pipe->name()));
    recording->TrackChanges = true;
    recording->SaveSettings();
    RecordingDeviceSettings settings;
    QCOMPARE(static_cast<QString>(settings.Name), pipe->name());
    QCOMPARE(static_cast<int>(settings.Gain), 70);
    QCOMPARE(static_cast<bool>(settings.TrackChanges), true);
}

void TestRecordingDeviceManager::notifyDrivenCapture()
{
    {
        RecordingDeviceSettings settings;
        settings.UseNotifyEvent = true;
        settings.DataInterval = 100;
        settings.sync();
    }
    recording->set_SelectedIndex(-1);
    recording->SelectDevice(pipe->name());
    recording->set_Gain(100);
    QVERIFY(waitForDevice(recording, pipe->name()));
    Capture capture(recording);
    const QByteArray expected = constant(8000, 1234);
    QVERIFY(pipe->write(expected));
    QVERIFY(capture.waitFor(expected));
}

QTEST_GUILESS_MAIN(TestRecordingDeviceManager)
#include "TestRecordingDeviceManager.moc"
