#include "AudioHarness.h"
#include "PulseModule.h"
#include "RecordingDeviceSettings.h"

using namespace AudioHarness;

class TestPulseAudioManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void describesDevices();
    void listsFollowServerEvents();
    void selectionFollowsPluggedMicrophone_data();
    void selectionFollowsPluggedMicrophone();

private:
    std::unique_ptr<PulseAudioManager> audio;
};

void TestPulseAudioManager::initTestCase()
{
    QVERIFY2(prepare(), "needs the sound server of scripts/headless-services.sh");
    saveDeviceName<RecordingDeviceSettings>(QStringLiteral("test_mic"));
    audio = startAudio();
    QVERIFY(waitForDevice(audio->RecordingManager(), QStringLiteral("test_mic")));
    QVERIFY(waitForDevice(audio->PlaybackManager(), QStringLiteral("test_sink")));
}

void TestPulseAudioManager::describesDevices()
{
    const PulseDeviceInfo mic = audio->GetInputDeviceInfo(QStringLiteral("test_mic"));
    QVERIFY(mic.found);
    QVERIFY(!mic.isMonitor);
    QCOMPARE(static_cast<int>(mic.index), PulseTestServer::sourceIndex(QStringLiteral("test_mic")));
    QVERIFY(!mic.description.isEmpty());

    const PulseDeviceInfo monitor = audio->GetDeviceInfo(QAudio::AudioInput, QStringLiteral("test_sink.monitor"));
    QVERIFY(monitor.found);
    QVERIFY(monitor.isMonitor);
    QVERIFY(!listHas(audio->InputListManager(), QStringLiteral("test_sink.monitor")));

    QCOMPARE(static_cast<int>(audio->GetOutputDeviceInfo(QStringLiteral("test_sink")).index),
        PulseTestServer::sinkIndex(QStringLiteral("test_sink")));
    const PulseDeviceInfo unknown = audio->GetDeviceInfo(QAudio::AudioOutput, QStringLiteral("no_such_device"));
    QVERIFY(!unknown.found && unknown.description.isEmpty());
}

void TestPulseAudioManager::listsFollowServerEvents()
{
    QSignalSpy inputs(audio->InputListManager(), &AudioListManager::DeviceListChanged);
    QString description;
    {
        PulseModule mic(QStringLiteral("module-null-source"),
            {QStringLiteral("source_name=extra_mic"), QStringLiteral("description=Extra_Mic")});
        PulseModule speaker(QStringLiteral("module-null-sink"),
            {QStringLiteral("sink_name=extra_out"), QStringLiteral("sink_properties=device.description=Extra_Out")});
        QVERIFY(mic.isLoaded() && speaker.isLoaded());

        QTRY_VERIFY_WITH_TIMEOUT(listHas(audio->InputListManager(), QStringLiteral("extra_mic"), &description), 10000);
        QCOMPARE(description, QStringLiteral("Extra_Mic"));
        QTRY_VERIFY_WITH_TIMEOUT(listHas(audio->OutputListManager(), QStringLiteral("extra_out"), &description), 10000);
        QCOMPARE(description, QStringLiteral("Extra_Out"));
        QVERIFY(!listHas(audio->InputListManager(), QStringLiteral("extra_out.monitor")));
        // The managers see the lists too.
        QTRY_VERIFY(std::any_of(audio->RecordingManager()->DeviceList().cbegin(),
            audio->RecordingManager()->DeviceList().cend(),
            [](const ExtAudioDeviceInfo& e) { return e.deviceName() == QLatin1String("extra_mic"); }));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!listHas(audio->InputListManager(), QStringLiteral("extra_mic")), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!listHas(audio->OutputListManager(), QStringLiteral("extra_out")), 10000);
    QVERIFY(inputs.count() >= 2);
}

void TestPulseAudioManager::selectionFollowsPluggedMicrophone_data()
{
    QTest::addColumn<bool>("track");
    QTest::newRow("tracking changes") << true;
    QTest::newRow("keeping the choice") << false;
}

void TestPulseAudioManager::selectionFollowsPluggedMicrophone()
{
    QFETCH(bool, track);
    RecordingDeviceManager* recording = audio->RecordingManager();
    recording->SelectDevice(QStringLiteral("test_mic"));
    recording->TrackChanges = track;
    QSignalSpy notifications(recording, &AudioDeviceManagerBase::DeviceNotification);
    Capture capture(recording);
    {
        PulseModule plugged(QStringLiteral("module-null-source"),
            {QStringLiteral("source_name=plugged_mic"), QStringLiteral("rate=16000"), QStringLiteral("channels=1")});
        QVERIFY(plugged.isLoaded());
        QTRY_VERIFY_WITH_TIMEOUT(listHas(audio->InputListManager(), QStringLiteral("plugged_mic")), 10000);
        QTRY_COMPARE(recording->DeviceList().size(), audio->InputListManager()->DeviceList().size());
        QCOMPARE(recording->CurrentDevice().deviceName(), track ? QStringLiteral("plugged_mic") : QStringLiteral("test_mic"));
        QCOMPARE(recording->DeviceList().at(recording->SelectedIndex()).deviceName(),
            recording->CurrentDevice().deviceName());
        QCOMPARE(notifications.count(), track ? 1 : 0);
        // Whichever device is chosen captures.
        capture.bytes.clear();
        QTRY_VERIFY_WITH_TIMEOUT(capture.bytes.size() > 3200, 10000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!listHas(audio->InputListManager(), QStringLiteral("plugged_mic")), 10000);
    QTRY_COMPARE(recording->DeviceList().size(), audio->InputListManager()->DeviceList().size());
    QVERIFY(recording->SelectedIndex() >= 0);
    if (!track)
        QCOMPARE(recording->CurrentDevice().deviceName(), QStringLiteral("test_mic"));
    recording->TrackChanges = false;
}

QTEST_GUILESS_MAIN(TestPulseAudioManager)
#include "TestPulseAudioManager.moc"
