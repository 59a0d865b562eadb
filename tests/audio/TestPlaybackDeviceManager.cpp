#include "AudioHarness.h"
#include "PlaybackDeviceSettings.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

using namespace AudioHarness;

class TestPlaybackDeviceManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void longChunkPlaysWithoutGaps();
    void oddSizedChunksPlay();
    void soundFiles_data();
    void soundFiles();

private:
    std::unique_ptr<PulseAudioManager> audio;
    PlaybackDeviceManager* playback = nullptr;
    QTemporaryDir files;
};

void TestPlaybackDeviceManager::initTestCase()
{
    QVERIFY2(prepare(), "needs the sound server of scripts/headless-services.sh");
    saveDeviceName<PlaybackDeviceSettings>(QStringLiteral("test_sink"));
    PlaybackDeviceSettings settings;
    settings.Volume = 400; // read back clamped
    settings.sync();
    audio = startAudio();
    playback = audio->PlaybackManager();
    QVERIFY(waitForDevice(playback, QStringLiteral("test_sink")));
    QCOMPARE(playback->Volume(), 100);
}

namespace {
// Counts the device state changes that the manager logs.
QAtomicInt idleStates;
QtMessageHandler previousHandler = nullptr;
void countStates(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("State:")) && message.contains(QLatin1String("IdleState")))
        idleStates.ref();
    previousHandler(type, context, message);
}
} // namespace

void TestPlaybackDeviceManager::longChunkPlaysWithoutGaps()
{
    // Wakes the idle test sink, which is slow to start.
    playback->playSoundFile(QStringLiteral(":/Assets/SpeechOn.wav"));
    QTRY_COMPARE_WITH_TIMEOUT(playback->CurrentLevel(), 0, 10000);

    // Two seconds in one chunk, far more than the device buffer: the device must not
    // run dry before the end.
    const int msecs = 2000;
    idleStates = 0;
    previousHandler = qInstallMessageHandler(countStates);
    QElapsedTimer clock;
    clock.start();
    playback->playSound(constant(22050 * msecs / 1000, 8000));
    QVERIFY(playback->CurrentLevel() > 0);
    const bool drained = QTest::qWaitFor([this] { return playback->CurrentLevel() == 0; }, msecs + 10000);
    qInstallMessageHandler(previousHandler);
    QVERIFY(drained);
    QCOMPARE(idleStates.loadAcquire(), 1);
    QVERIFY(clock.elapsed() >= msecs - 200);
}

void TestPlaybackDeviceManager::oddSizedChunksPlay()
{
    // Network frames need not hold whole samples; below full volume is where a bad
    // write used to stall the sound server connection.
    QSignalSpy volumes(playback, &PlaybackDeviceManager::VolumeChanged);
    playback->set_Volume(60);
    playback->set_Volume(60);
    QCOMPARE(volumes.count(), 1);
    const QByteArray sound = constant(22050, 8000);
    playback->playSound(sound.left(3));
    playback->playSound(sound.mid(3, 5001));
    playback->playSound(QByteArray());
    playback->playSound(sound.mid(5004));
    QTRY_COMPARE_WITH_TIMEOUT(playback->CurrentLevel(), 0, 10000);
    QCOMPARE(playback->Volume(), 60); // the device reads back what was set
    playback->set_Volume(100);
}

void TestPlaybackDeviceManager::soundFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("plays");

    const auto write = [this](const QString& name, const QByteArray& bytes) {
        QFile file(files.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    };
    QFile on(QStringLiteral(":/Assets/SpeechOn.wav"));
    on.open(QIODevice::ReadOnly);
    QByteArray other = on.readAll();
    other[24] = '\x44'; // 44100 Hz
    other[25] = '\xAC';
    other[26] = '\0';

    QTest::newRow("embedded start sound") << QStringLiteral(":/Assets/SpeechOn.wav") << true;
    QTest::newRow("embedded stop sound") << QStringLiteral(":/Assets/SpeechOff.wav") << true;
    QTest::newRow("other sample rate") << write(QStringLiteral("44100.wav"), other) << false;
    QTest::newRow("shorter than a header") << write(QStringLiteral("short.wav"), other.left(40)) << false;
    QTest::newRow("missing") << files.filePath(QStringLiteral("missing.wav")) << false;
}

void TestPlaybackDeviceManager::soundFiles()
{
    QFETCH(QString, path);
    QFETCH(bool, plays);
    QTRY_COMPARE_WITH_TIMEOUT(playback->CurrentLevel(), 0, 10000);
    QSignalSpy levels(playback, &PlaybackDeviceManager::CurrentLevelChanged);
    if (!plays)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Cannot (open|play) sound file ")));
    playback->playSoundFile(path);
    QCOMPARE(levels.count(), plays ? 1 : 0);
    // A short sound plays to its end on its own.
    if (plays)
        QTRY_COMPARE_WITH_TIMEOUT(playback->CurrentLevel(), 0, 10000);
}

QTEST_GUILESS_MAIN(TestPlaybackDeviceManager)
#include "TestPlaybackDeviceManager.moc"
