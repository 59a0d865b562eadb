#include "PlaybackDeviceManager.h"
#include "PulseAudioManager.h"
#include "PulseTestServer.h"
#include "TTSSettings.h"
#include "TestHome.h"
#include "TtsManager.h"

#include <QJsonDocument>
#include <QtTest>

#include <memory>

namespace {
QtMessageHandler previousHandler = nullptr;
QStringList speechLog;

void recordSpeechLog(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("Synthesised speech")))
        speechLog << message;
    previousHandler(type, context, message);
}
} // namespace

class TestTtsManager : public QObject
{
    Q_OBJECT

private slots:
    void paramsAtReadyAndSoundPlayed();
    void speechBeyondTheCapIsDropped();
};

void TestTtsManager::paramsAtReadyAndSoundPlayed()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    TTSSettings settings;
    settings.Voice = QStringLiteral("Анна");
    settings.sync();
    TtsManager tts;
    QSignalSpy sent(&tts, &TtsManager::sendTtsParams);
    for (int state : {0, 4, 13, 14, 9}) {
        ConnectionStateInfo info;
        info.setState(state);
        tts.onConnectionStateChanged(info);
    }
    QCOMPARE(sent.count(), 1); // only once the connection is ready
    QCOMPARE(sent.at(0).at(0).toInt(), 23);
    const QByteArray params = QJsonDocument(sent.at(0).at(1).value<QJsonValue>().toObject()).toJson();
    QVERIFY2(params.contains("Анна"), params.constData());

    QSignalSpy played(&tts, &TtsManager::playSound);
    tts.onSoundRecived(QByteArray("pcm"));
    QCOMPARE(played.count(), 1);
    QCOMPARE(played.at(0).at(0).toByteArray(), QByteArray("pcm"));
}

// A server that sends speech faster than it is played: what waits is capped,
// the rest dropped and counted once.
void TestTtsManager::speechBeyondTheCapIsDropped()
{
    QVERIFY2(PulseTestServer::isRunning(), "needs the sound server of scripts/headless-services.sh");
    auto audio = std::make_unique<PulseAudioManager>();
    PlaybackDeviceManager* playback = audio->PlaybackManager();
    TtsManager tts;
    connect(&tts, &TtsManager::playSound, playback, &PlaybackDeviceManager::playSound, Qt::QueuedConnection);
    audio->Start();
    // Sound played before the device runs is dropped: the first that waits tells it runs.
    const auto part = [](int i) { return QByteArray(1024 * 1024, char(i)); };
    QVERIFY(QTest::qWaitFor([&] {
        playback->playSound(part(0));
        return playback->QueuedCost() > 0;
    }, TestHome::scaled(10000)));

    previousHandler = qInstallMessageHandler(recordSpeechLog);
    for (int i = 1; i <= 40; ++i)
        tts.onSoundRecived(part(i));
    QCoreApplication::sendPostedEvents();
    QVERIFY2(playback->QueuedCost() <= PlaybackDeviceManager::MaxQueuedBytes, qPrintable(QString::number(playback->QueuedCost())));
    QCOMPARE(speechLog.size(), 1);
    audio.reset();
    qInstallMessageHandler(previousHandler);
    QCOMPARE(speechLog.size(), 2);
    // Each counted once, whole: a part waits whole or not at all.
    const QRegularExpressionMatch counted
        = QRegularExpression(QStringLiteral("^Synthesised speech: (\\d+) parts of (\\d+) bytes in all were dropped$"))
              .match(speechLog.last());
    QVERIFY2(counted.hasMatch(), qPrintable(speechLog.last()));
    QVERIFY(counted.captured(1).toInt() >= 38);
    QCOMPARE(counted.captured(2).toLongLong(), counted.captured(1).toLongLong() * 1024 * 1024);
}

QTEST_GUILESS_MAIN(TestTtsManager)
#include "TestTtsManager.moc"
