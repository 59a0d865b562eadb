#include "SynthesisSettingsViewModel.h"

#include "SettingsSnapshot.h"
#include "SignalRecorder.h"
#include "TTSSettings.h"
#include "TestHome.h"
#include "TtsManager.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

namespace {
TtsStateInfo ttsState(int state, const QStringList& voices)
{
    QJsonArray list;
    for (const QString& voice : voices)
        list.append(QJsonObject{{"Name", voice}});
    return TtsStateInfo(QJsonObject{{"State", state}, {"VoiceList", list}, {"SelectedVoice", QJsonObject{{"Name", ""}}},
                                    {"Speed", 1.0}});
}

// A null voice leaves the key out, so the group's default applies.
void storeVoice(const QString& voice)
{
    if (voice.isNull())
        return;
    TTSSettings settings;
    settings.Voice = voice;
    settings.sync();
}
} // namespace

// The voice list comes from the server; the page must pick the stored voice
// from it and store only what the user changed.
class TestSynthesisSettingsViewModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::useApplicationIdentity(); }
    void init() { TestHome::wipe(); }
    void stateReports_data();
    void stateReports();
    void applyRoundTrip_data();
    void applyRoundTrip();
    void voiceListTimesOut();

private:
    TtsManager manager;
};

void TestSynthesisSettingsViewModel::stateReports_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QList<TtsStateInfo>>("reports");
    QTest::addColumn<QStringList>("signalsEmitted");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("enabled");

    const QString error = QStringLiteral("Ошибка инициализации TTS");
    const QString loaded = QStringLiteral("changed_VoicesLoading(false)");
    QTest::newRow("stored voice gone") << "C" << QList<TtsStateInfo>{ttsState(0, {"A", "B"})}
                                       << QStringList{loaded, "changed_Voices([A|B])", "changed_SelectedVoiceIndex(0)"}
                                       << 0 << true;
    QTest::newRow("no voices") << "B" << QList<TtsStateInfo>{ttsState(0, {})} << QStringList{loaded} << -1 << true;
    // Until the next opening re-reads the stored flag, synthesis stays marked unusable.
    QTest::newRow("error, then fine")
        << "B" << QList<TtsStateInfo>{ttsState(1, {}), ttsState(0, {})}
        << QStringList{loaded, "changed_ErrorMessage(" + error + ")", "changed_IsTtsEnabled(false)",
                       "changed_ErrorMessage()"}
        << -1 << false;
}

void TestSynthesisSettingsViewModel::stateReports()
{
    QFETCH(QString, stored);
    QFETCH(QList<TtsStateInfo>, reports);

    storeVoice(stored);
    SynthesisSettingsViewModel page;
    page.set_TtsManager(&manager);
    page.onLoad();
    SignalRecorder recorder(&page);
    for (const TtsStateInfo& report : reports)
        page.OnTtsStateChanged(report);
    QTEST(recorder.take(), "signalsEmitted");
    QTEST(page.get_SelectedVoiceIndex(), "index");
    QTEST(page.get_IsTtsEnabled(), "enabled");
}

void TestSynthesisSettingsViewModel::applyRoundTrip_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<double>("speed");
    QTest::addColumn<QStringList>("keys");

    // Base64 of "A" is "QQ==".
    QTest::newRow("unchanged") << "B" << QStringList{"A", "B"} << -1 << 1.0 << QStringList();
    QTest::newRow("other voice") << "B" << QStringList{"A", "B"} << 0 << 1.0 << QStringList{"TTS/Voice=QQ=="};
    QTest::newRow("first voice over an empty one") << "" << QStringList{"A", "B"} << -1 << 1.0
                                                   << QStringList{"TTS/Voice=QQ=="};
    QTest::newRow("speed") << "B" << QStringList{"A", "B"} << -1 << 1.5 << QStringList{"TTS/Speed=1.5"};
    QTest::newRow("default voice kept") << QString() << QStringList{"A", "Alena"} << -1 << 1.0 << QStringList();
    // Applying before the server's voice list arrived must not erase the stored voice.
    QTest::newRow("no voice list yet") << "B" << QStringList() << -1 << 1.0 << QStringList();
}

void TestSynthesisSettingsViewModel::applyRoundTrip()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, offered);
    QFETCH(int, chosen);
    QFETCH(double, speed);
    QFETCH(QStringList, keys);

    storeVoice(stored);
    SynthesisSettingsViewModel page;
    page.set_TtsManager(&manager);
    connect(&page, &SynthesisSettingsViewModel::ttsSettingsChanged, &manager, &TtsManager::onTtsSettingsChanged);
    page.onLoad();
    if (!offered.isEmpty())
        page.OnTtsStateChanged(ttsState(0, offered));
    if (chosen >= 0)
        page.set_SelectedVoiceIndex(chosen);
    page.set_TTSSpeed(speed);

    const SettingsSnapshot before;
    QSignalSpy sent(&manager, &TtsManager::sendTtsParams);
    SignalRecorder recorder(&page);
    QVERIFY(page.applyCommand());
    QCOMPARE(before.changesSince(), keys);
    QCOMPARE(recorder.take(), keys.isEmpty() ? QStringList() : QStringList{"ttsSettingsChanged()"});
    QCOMPARE(sent.count(), keys.isEmpty() ? 0 : 1);

    QVERIFY(page.applyCommand());
    QCOMPARE(recorder.take(), QStringList());
}

void TestSynthesisSettingsViewModel::voiceListTimesOut()
{
    SynthesisSettingsViewModel page;
    page.set_TtsManager(&manager);
    page.setVoiceRequestTimeout(50);
    page.onLoad();
    QVERIFY(page.get_VoicesLoading());
    QTRY_VERIFY_WITH_TIMEOUT(!page.get_VoicesLoading(), TestHome::scaled(5000));
    QVERIFY2(page.get_ErrorMessage().startsWith(QStringLiteral("Не удалось загрузить список голосов")),
             qPrintable(page.get_ErrorMessage()));

    // A late answer still fills the list.
    page.OnTtsStateChanged(ttsState(0, {"A"}));
    QCOMPARE(page.get_Voices(), QStringList{"A"});
    QCOMPARE(page.get_ErrorMessage(), QString());
}

QTEST_GUILESS_MAIN(TestSynthesisSettingsViewModel)
#include "TestSynthesisSettingsViewModel.moc"
