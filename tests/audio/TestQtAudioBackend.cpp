#include "PlaybackDeviceManager.h"
#include "PulseAudioManager.h"
#include "PulseBusyServer.h"
#include "PulsePipeSource.h"
#include "PulseTestServer.h"
#include "RecordingDeviceManager.h"
#include "TestHome.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

// Qt's sound backend is one per process and connects once, when first used: each case
// that needs it fresh runs in a process of its own, against a sound server of its own.
class TestQtAudioBackend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void audioWorksAfterQtsFirstConnectionWasRefused();

private:
    QTemporaryDir runtime;
};

void TestQtAudioBackend::initTestCase()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    QVERIFY(runtime.isValid());
    QVERIFY(PulseTestServer::usePrivateServer(runtime.path() + QStringLiteral("/run"), PulseTestServer::sinkOnlyConfiguration()));
    QVERIFY(PulseTestServer::start());
}

void TestQtAudioBackend::cleanupTestCase()
{
    PulseTestServer::kill();
}

void TestQtAudioBackend::audioWorksAfterQtsFirstConnectionWasRefused()
{
    PulsePipeSource pipe(QStringLiteral("busy_pipe"));
    QVERIFY(pipe.isReady());
    PulseBusyServer busy;
    QVERIFY(busy.hold());
    PulseAudioManager audio;
    RecordingDeviceManager* recording = audio.RecordingManager();
    PlaybackDeviceManager* playback = audio.PlaybackManager();
    QByteArray captured;
    connect(recording, &RecordingDeviceManager::SoundAvailable, this, [&captured](QByteArray data) { captured += data; });
    audio.Start();

    // Our own connection gets through first, in the audio thread; Qt's backend is made
    // when this thread next runs its events, and by then the server is busy again.
    busy.release();
    QDeadlineTimer deadline(TestHome::scaled(10000));
    while (!audio.IsConnected() && !deadline.hasExpired())
        QThread::msleep(10);
    QVERIFY(audio.IsConnected());
    QVERIFY(busy.hold());
    QTRY_VERIFY_WITH_TIMEOUT(audio.IsBackendCreated(), TestHome::scaled(10000));
    busy.release();

    QElapsedTimer sinceBack;
    sinceBack.start();
    const QByteArray chunk = PulsePipeSource::constant(1600, 1234);
    QVERIFY(QTest::qWaitFor(
        [&] {
            pipe.write(chunk);
            return captured.contains(chunk);
        },
        TestHome::scaled(10000)));
    qInfo("Capture flows %lld ms after the sound server answered again", sinceBack.elapsed());
    QTRY_COMPARE_WITH_TIMEOUT(playback->CurrentDevice().deviceName(), QStringLiteral("test_sink"), TestHome::scaled(10000));
    playback->playSoundFile(QStringLiteral(":/Assets/SpeechOn.wav"));
    QVERIFY(playback->CurrentLevel() > 0);
    QTRY_COMPARE_WITH_TIMEOUT(playback->CurrentLevel(), 0, TestHome::scaled(10000));
}

QTEST_GUILESS_MAIN(TestQtAudioBackend)
#include "TestQtAudioBackend.moc"
