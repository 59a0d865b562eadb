#include "AudioDeviceSettingsViewModel.h"

#include "PlaybackDeviceManager.h"
#include "PlaybackDeviceManagerViewModel.h"
#include "PulseAudioManager.h"
#include "PulseModule.h"
#include "PulsePipeSource.h"
#include "PulseTestServer.h"
#include "RecordingDeviceManager.h"
#include "RecordingDeviceManagerViewModel.h"
#include "SettingsSnapshot.h"
#include "SignalRecorder.h"
#include "TestHome.h"

#include <QAudioDeviceInfo>
#include <QtTest>

#include <memory>

namespace {
bool qtLists(QAudio::Mode mode, const QString& name)
{
    const QList<QAudioDeviceInfo> devices = QAudioDeviceInfo::availableDevices(mode);
    return std::any_of(devices.cbegin(), devices.cend(),
                       [&](const QAudioDeviceInfo& device) { return device.deviceName() == name; });
}

QStringList withoutLevels(const QStringList& entries)
{
    QStringList result;
    for (const QString& entry : entries) {
        if (!entry.contains(QLatin1String("changed_CurrentLevel")))
            result << entry;
    }
    return result;
}
} // namespace

// The "Звук" page on the live device managers of the private sound server: a
// choice takes effect at once, Cancel puts back what the window opened with.
class TestAudioDeviceSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void cancelRestores_data();
    void cancelRestores();
    void applyStoresWhatWasChosen_data();
    void applyStoresWhatWasChosen();
    void reopeningAndHotPlug();

private:
    AudioDeviceListViewModel* list(bool recording) const;
    AudioDeviceManagerBase* manager(bool recording) const;
    int indexOf(bool recording, const QString& name) const;

    std::unique_ptr<PulsePipeSource> pipe;
    std::unique_ptr<PulseModule> secondSink;
    std::unique_ptr<PulseAudioManager> audio;
    std::unique_ptr<AudioDeviceSettingsViewModel> page;
    QByteArray captured;
};

AudioDeviceListViewModel* TestAudioDeviceSettings::list(bool recording) const
{
    return qobject_cast<AudioDeviceListViewModel*>(recording ? page->get_RecordingDevice() : page->get_PlaybackDevice());
}

AudioDeviceManagerBase* TestAudioDeviceSettings::manager(bool recording) const
{
    if (recording)
        return audio->RecordingManager();
    return audio->PlaybackManager();
}

int TestAudioDeviceSettings::indexOf(bool recording, const QString& name) const
{
    const ExtAudioDeviceInfoList devices = manager(recording)->DeviceList();
    for (int i = 0; i < devices.size(); ++i) {
        if (devices.at(i).deviceName() == name)
            return i;
    }
    return -1;
}

void TestAudioDeviceSettings::initTestCase()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    QVERIFY2(PulseTestServer::isRunning(), "needs the sound server of scripts/headless-services.sh");
    pipe = std::make_unique<PulsePipeSource>(QStringLiteral("settings_pipe"));
    secondSink = std::make_unique<PulseModule>(QStringLiteral("module-null-sink"),
                                               QStringList{QStringLiteral("sink_name=settings_sink")});
    QVERIFY(pipe->isReady() && secondSink->isLoaded());

    audio = std::make_unique<PulseAudioManager>();
    audio->Start();
    QTRY_VERIFY_WITH_TIMEOUT(indexOf(true, pipe->name()) >= 0 && indexOf(true, "test_mic") >= 0,
                             TestHome::scaled(10000));
    QTRY_VERIFY_WITH_TIMEOUT(indexOf(false, "settings_sink") >= 0 && indexOf(false, "test_sink") >= 0,
                             TestHome::scaled(10000));
    connect(audio->RecordingManager(), &RecordingDeviceManager::SoundAvailable, this,
            [this](QByteArray data) { captured += data; });
    page = std::make_unique<AudioDeviceSettingsViewModel>(audio->RecordingManager(), audio->PlaybackManager());
}

void TestAudioDeviceSettings::cleanupTestCase()
{
    page.reset();
    audio.reset();
    // Qt's sound backend crashes when it exits in the middle of a server event: let it
    // see the test's devices go before the program ends.
    pipe.reset();
    secondSink.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!qtLists(QAudio::AudioOutput, "settings_sink"), TestHome::scaled(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!qtLists(QAudio::AudioInput, "settings_pipe"), TestHome::scaled(10000));
}

void TestAudioDeviceSettings::init()
{
    // Every case opens the window on the default devices with gain 100 and no tracking.
    for (bool recording : {true, false}) {
        manager(recording)->TrackChanges = false;
        manager(recording)->set_SelectedIndex(indexOf(recording, recording ? "test_mic" : "test_sink"));
    }
    audio->RecordingManager()->set_Gain(100);
    page->onLoad();
}

void TestAudioDeviceSettings::cleanup()
{
    page->onClose();
}

void TestAudioDeviceSettings::cancelRestores_data()
{
    QTest::addColumn<bool>("recording");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("gain");
    QTest::addColumn<bool>("track");

    QTest::newRow("microphone") << true << "settings_pipe" << 100 << false;
    QTest::newRow("gain") << true << "test_mic" << 35 << false;
    QTest::newRow("tracking") << true << "test_mic" << 100 << true;
    QTest::newRow("output and its tracking") << false << "settings_sink" << 100 << true;
}

void TestAudioDeviceSettings::cancelRestores()
{
    QFETCH(bool, recording);
    QFETCH(QString, device);
    QFETCH(int, gain);
    QFETCH(bool, track);

    auto* recordingPage = qobject_cast<RecordingDeviceManagerViewModel*>(list(true));
    AudioDeviceListViewModel* edited = list(recording);
    const QString opened = manager(recording)->CurrentDevice().deviceName();
    QSignalSpy gainShown(recordingPage, &RecordingDeviceManagerViewModel::changed_Gain);
    QSignalSpy trackShown(edited, &AudioDeviceListViewModel::changed_IsTrackChanges);

    edited->setProperty("SelectedDeviceIndex", indexOf(recording, device));
    if (device == pipe->name()) {
        // Capture comes from the chosen microphone at once, before any apply.
        captured.clear();
        const QByteArray marker = QByteArray("chosen microphone").repeated(200);
        QVERIFY(pipe->write(marker));
        QTRY_VERIFY_WITH_TIMEOUT(captured.contains(marker), TestHome::scaled(10000));
    }
    edited->setProperty("IsTrackChanges", track);
    recordingPage->setProperty("Gain", gain);
    QCOMPARE(manager(recording)->CurrentDevice().deviceName(), device);
    QCOMPARE(audio->RecordingManager()->Gain(), gain);
    QCOMPARE(manager(recording)->TrackChanges, track);
    QCOMPARE(page->IsChanged(), device != opened || gain != 100 || track);

    const SettingsSnapshot before;
    page->cancelCommand();
    QCOMPARE(manager(recording)->CurrentDevice().deviceName(), opened);
    QCOMPARE(audio->RecordingManager()->Gain(), 100);
    QVERIFY(!manager(recording)->TrackChanges);
    QVERIFY(!page->IsChanged());
    QCOMPARE(before.changesSince(), QStringList());
    // The view follows both the edit and its undoing.
    QCOMPARE(gainShown.count(), gain != 100 ? 2 : 0);
    QCOMPARE(trackShown.count(), track ? 2 : 0);
}

void TestAudioDeviceSettings::applyStoresWhatWasChosen_data()
{
    QTest::addColumn<bool>("choose");
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("every choice") << true
                                  << QStringList{"PlaybackDevice/Name=settings_sink",
                                                 "PlaybackDevice/TrackChanges=true", "RecordingDevice/Gain=40",
                                                 "RecordingDevice/Name=settings_pipe"};
    // Saved for another page's sake: the devices in use were never chosen here.
    QTest::newRow("nothing chosen") << false << QStringList();
}

void TestAudioDeviceSettings::applyStoresWhatWasChosen()
{
    QFETCH(bool, choose);
    if (choose) {
        list(true)->setProperty("SelectedDeviceIndex", indexOf(true, pipe->name()));
        list(true)->setProperty("Gain", 40);
        list(false)->setProperty("SelectedDeviceIndex", indexOf(false, "settings_sink"));
        list(false)->setProperty("IsTrackChanges", true);
    }
    const SettingsSnapshot before;
    QVERIFY(page->applyCommand());
    QTEST(before.changesSince(), "stored");

    // Apply does not move the state Cancel returns to: that of the window's opening.
    page->cancelCommand();
    QCOMPARE(audio->RecordingManager()->CurrentDevice().deviceName(), QStringLiteral("test_mic"));
    QCOMPARE(audio->PlaybackManager()->CurrentDevice().deviceName(), QStringLiteral("test_sink"));
    QCOMPARE(audio->RecordingManager()->Gain(), 100);
}

void TestAudioDeviceSettings::reopeningAndHotPlug()
{
    // Opened again without closing in between: both lists are announced once more, and only once.
    SignalRecorder recorder(list(true), "rec");
    recorder.watch(list(false), "play");
    page->onLoad();
    QStringList expected;
    for (bool recording : {true, false}) {
        QStringList names;
        for (const ExtAudioDeviceInfo& device : manager(recording)->DeviceList())
            names << device.deviceName();
        const QString prefix = recording ? "rec." : "play.";
        expected << prefix + "changed_Devices([" + names.join('|') + "])"
                 << prefix + "changed_SelectedDeviceIndex(" + QString::number(manager(recording)->SelectedIndex()) + ")";
    }
    QCOMPARE(withoutLevels(recorder.take()), expected);

    AudioDeviceListViewModel* microphones = list(true);
    QSignalSpy managerLists(manager(true), &AudioDeviceManagerBase::DeviceListChanged);
    QSignalSpy shownLists(microphones, &AudioDeviceListViewModel::changed_Devices);
    QSignalSpy gains(microphones, SIGNAL(changed_Gain(int)));
    {
        PulseModule plugged(QStringLiteral("module-null-source"), {QStringLiteral("source_name=plugged_mic")});
        QTRY_VERIFY_WITH_TIMEOUT(microphones->get_Devices().contains("plugged_mic"), TestHome::scaled(10000));
        // A new list re-announces the selection without switching the device.
        QCOMPARE(audio->RecordingManager()->CurrentDevice().deviceName(), QStringLiteral("test_mic"));
        QCOMPARE(microphones->get_SelectedDeviceIndex(), indexOf(true, "test_mic"));
        audio->RecordingManager()->set_Gain(70);
        page->cancelCommand();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!microphones->get_Devices().contains("plugged_mic"), TestHome::scaled(10000));
    QCOMPARE(shownLists.count(), managerLists.count());
    QCOMPARE(gains.count(), 2);

    // Closed, the page no longer follows the manager.
    page->onClose();
    const int shown = shownLists.count();
    audio->RecordingManager()->set_Gain(60);
    PulseModule late(QStringLiteral("module-null-source"), {QStringLiteral("source_name=late_mic")});
    QTRY_VERIFY_WITH_TIMEOUT(indexOf(true, "late_mic") >= 0, TestHome::scaled(10000));
    QCOMPARE(shownLists.count(), shown);
    QCOMPARE(gains.count(), 2);
}

QTEST_GUILESS_MAIN(TestAudioDeviceSettings)
#include "TestAudioDeviceSettings.moc"
