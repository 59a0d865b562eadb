#include "TTSSettings.h"
#include "TestHome.h"
#include "TtsManager.h"

#include <QtTest>

#include <QJsonDocument>

namespace {
void storeTts(const QString& voice, double speed)
{
    TTSSettings settings;
    settings.Voice = voice;
    settings.Speed = speed;
    settings.sync();
}

ConnectionStateInfo stateInfo(int state)
{
    ConnectionStateInfo info;
    info.setState(state);
    return info;
}
} // namespace

class TestTtsManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void paramsOnlyWhenReady_data();
    void paramsOnlyWhenReady();
    void settingsChangesSendCurrentValues();
    void stateIsStoredAndAnnounced();
    void soundPassesThrough();
};

void TestTtsManager::initTestCase()
{
    TestHome::useApplicationIdentity();
}

void TestTtsManager::init()
{
    TestHome::wipe();
}

void TestTtsManager::paramsOnlyWhenReady_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("sends");
    for (int state : {0, 1, 2, 3, 4, 8, 9, 13})
        QTest::newRow(qPrintable(QStringLiteral("state %1").arg(state))) << state << 0;
    QTest::newRow("ready") << 14 << 1;
}

void TestTtsManager::paramsOnlyWhenReady()
{
    QFETCH(int, state);
    TtsManager tts;
    QSignalSpy sent(&tts, &TtsManager::sendTtsParams);
    tts.onConnectionStateChanged(stateInfo(state));
    QTEST(sent.count(), "sends");
}

void TestTtsManager::settingsChangesSendCurrentValues()
{
    TtsManager tts;
    QSignalSpy sent(&tts, &TtsManager::sendTtsParams);
    storeTts(QStringLiteral("Анна"), 1.5);
    tts.onTtsSettingsChanged();
    storeTts(QStringLiteral("Борис"), 0.8);
    tts.onTtsSettingsChanged();
    QCOMPARE(sent.count(), 2);
    QCOMPARE(sent.at(0).at(0).toInt(), 23);
    const QJsonObject first = sent.at(0).at(1).value<QJsonValue>().toObject();
    const QJsonObject second = sent.at(1).at(1).value<QJsonValue>().toObject();
    QVERIFY2(QJsonDocument(first).toJson().contains("Анна"), QJsonDocument(first).toJson().constData());
    QVERIFY(QJsonDocument(second).toJson().contains("Борис"));
    QVERIFY(first != second);

    QSignalSpy request(&tts, &TtsManager::sendVoiceRequest);
    tts.reloadTtsState();
    QCOMPARE(request.count(), 1);
    QCOMPARE(request.first().at(0).toInt(), 21);
    QCOMPARE(request.first().at(1).value<QJsonValue>(), QJsonValue(QJsonObject()));
}

void TestTtsManager::stateIsStoredAndAnnounced()
{
    TtsManager tts;
    QSignalSpy changed(&tts, &TtsManager::stateChanged);
    const TtsStateInfo received(QJsonDocument::fromJson(
        R"({"State":0,"Speed":1.25,"VoiceList":[{"Name":"Анна"}],"SelectedVoice":{"Name":"Анна"}})").object());
    tts.onTtsStateReceived(received);
    QCOMPARE(changed.count(), 1);
    const TtsStateInfo announced = changed.first().at(0).value<TtsStateInfo>();
    QCOMPARE(announced.state(), received.state());
    QCOMPARE(announced.speed(), received.speed());
    QCOMPARE(tts.ttsState().voiceList().size(), received.voiceList().size());
}

void TestTtsManager::soundPassesThrough()
{
    TtsManager tts;
    QSignalSpy played(&tts, &TtsManager::playSound);
    tts.onSoundRecived(QByteArray("pcm"));
    tts.onSoundRecived(QByteArray());
    QCOMPARE(played.count(), 2);
    QCOMPARE(played.at(0).at(0).toByteArray(), QByteArray("pcm"));
    QVERIFY(played.at(1).at(0).toByteArray().isEmpty());
}

QTEST_GUILESS_MAIN(TestTtsManager)
#include "TestTtsManager.moc"
