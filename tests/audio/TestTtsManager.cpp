#include "TTSSettings.h"
#include "TestHome.h"
#include "TtsManager.h"

#include <QJsonDocument>
#include <QtTest>

class TestTtsManager : public QObject
{
    Q_OBJECT

private slots:
    void paramsAtReadyAndSoundPlayed();
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

QTEST_GUILESS_MAIN(TestTtsManager)
#include "TestTtsManager.moc"
