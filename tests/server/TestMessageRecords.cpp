#include "ClientClaim.h"
#include "ClientThemeInfo.h"
#include "CommandsInfo.h"
#include "Exception.h"
#include "RecognitionModeCommand.h"
#include "RecognitionModeInfo.h"
#include "RecognitionParameters.h"
#include "ServerThemesInfo.h"
#include "TextResult.h"
#include "TtsData.h"
#include "TtsParams.h"
#include "TtsStateInfo.h"
#include "UserNotification.h"

#include <QtTest>

#include <QJsonDocument>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {
QJsonObject parse(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
} // namespace

class TestMessageRecords : public QObject
{
    Q_OBJECT

private slots:
    void textResultReading_data();
    void textResultReading();
    void integerRule_data();
    void integerRule();
    void cloneIsIndependent();
    void modeCommandReading_data();
    void modeCommandReading();
    void modeCommandWriting();
    void modeCommandCopiesOwnStorage();
    void modeInfoRoundTrip();
    void notificationReading();
    void clientRecordsWrite();
    void readOnlyRecordsThrow();
    void themeRoundTrip();
    void serverThemes();
    void ttsStateReading();
    void ttsParamsWriting();
    void claimWritesEveryKey();
};

void TestMessageRecords::textResultReading_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isFinal");
    QTest::addColumn<QString>("commandId");
    QTest::addColumn<int>("wordCount");
    QTest::newRow("complete") << QByteArray(R"({"Text":"abc","IsFinal":true,"CommandId":"c1","Words":[{},{}]})")
                              << "abc" << true << "c1" << 2;
    QTest::newRow("no final flag") << QByteArray(R"({"Text":"abc"})") << "abc" << false << "" << 0;
    QTest::newRow("final as text") << QByteArray(R"({"IsFinal":"true"})") << "" << false << "" << 0;
    QTest::newRow("words not array") << QByteArray(R"({"Words":{"Text":"w"}})") << "" << false << "" << 0;
    QTest::newRow("ill-typed texts") << QByteArray(R"({"Text":5,"CommandId":[1]})") << "" << false << "" << 0;
    QTest::newRow("word not an object") << QByteArray(R"({"Words":[7,"x"]})") << "" << false << "" << 2;
}

void TestMessageRecords::textResultReading()
{
    QFETCH(QByteArray, json);
    const TextResult result(QJsonDocument::fromJson(json).object());
    QTEST(result.text(), "text");
    QTEST(result.isFinal(), "isFinal");
    QTEST(result.commandId(), "commandId");
    QTEST(result.words().size(), "wordCount");
    for (const WordResult& word : result.words()) {
        QCOMPARE(word.text(), QString());
        QCOMPARE(word.begin() + word.dictorNum() + word.endSentence() + word.index() + word.length(), 0);
    }
}

void TestMessageRecords::integerRule_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("begin");
    QTest::newRow("whole") << QByteArray(R"({"Begin":12})") << 12;
    QTest::newRow("whole as double") << QByteArray(R"({"Begin":12.0})") << 12;
    QTest::newRow("fraction") << QByteArray(R"({"Begin":12.5})") << 0;
    QTest::newRow("text") << QByteArray(R"({"Begin":"12"})") << 0;
    QTest::newRow("beyond 32 bits") << QByteArray(R"({"Begin":4294967296})") << 0;
    QTest::newRow("negative") << QByteArray(R"({"Begin":-3})") << -3;
}

void TestMessageRecords::integerRule()
{
    QFETCH(QByteArray, json);
    QTEST(WordResult(QJsonDocument::fromJson(json).object()).begin(), "begin");
}

void TestMessageRecords::cloneIsIndependent()
{
    const TextResult source(parse(R"({"Text":"t","IsFinal":true,"CommandId":"id",
        "Words":[{"Text":"a","Begin":1,"ProbabilityNorm":0.5},{"Text":"b","EndSentence":1},{"Text":"c","Length":4}]})"));
    std::unique_ptr<TextResult> copy(source.clone());
    QCOMPARE(copy->words().size(), 3);
    QCOMPARE(copy->words().at(0).probabilityNorm(), 0.5);
    QCOMPARE(copy->words().at(2).length(), 4);
    copy->setText(QStringLiteral("changed"));
    copy->setWords({});
    copy->setIsFinal(false);
    QCOMPARE(source.text(), QStringLiteral("t"));
    QCOMPARE(source.words().size(), 3);
    QCOMPARE(source.words().at(1).text(), QStringLiteral("b"));
    QVERIFY(source.isFinal());
}

void TestMessageRecords::modeCommandReading_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("hasMode");
    QTest::addColumn<int>("mode");
    QTest::newRow("null") << QByteArray(R"({"Type":null})") << false << 0;
    QTest::newRow("missing") << QByteArray("{}") << false << 0;
    QTest::newRow("three") << QByteArray(R"({"Type":3})") << true << 3;
    QTest::newRow("text") << QByteArray(R"({"Type":"3"})") << true << 0;
}

void TestMessageRecords::modeCommandReading()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, hasMode);
    const RecognitionModeCommand command(QJsonDocument::fromJson(json).object());
    QCOMPARE(command.type() != nullptr, hasMode);
    if (hasMode)
        QTEST(int(*command.type()), "mode");
}

void TestMessageRecords::modeCommandWriting()
{
    RecognitionModeCommand command;
    QCOMPARE(compact(command.toJson()), QByteArray(R"({"Parameters":{},"Type":null})"));
    RecognitionMode mode = RecognitionModeNamespace::Text;
    command.setType(&mode);
    QCOMPARE(compact(command.toJson()), QByteArray(R"({"Parameters":{},"Type":2})"));

    const RecognitionModeCommand read(parse(R"({"Type":4,"Parameters":{"a":"x","n":3,"b":true}})"));
    QCOMPARE(read.parameters().size(), 3);
    QCOMPARE(compact(read.toJson()), QByteArray(R"({"Parameters":{"a":"x","b":"true","n":"3"},"Type":4})"));
}

void TestMessageRecords::modeCommandCopiesOwnStorage()
{
    auto source = std::make_unique<RecognitionModeCommand>(parse(R"({"Type":3})"));
    RecognitionModeCommand copy(*source);
    RecognitionModeCommand assigned;
    assigned = *source;
    QVERIFY(copy.type() != source->type());
    QVERIFY(assigned.type() != source->type());
    source.reset();
    QVERIFY(copy.type() != nullptr);
    QCOMPARE(int(*copy.type()), 3);
    QCOMPARE(int(*assigned.type()), 3);

    // A caller's pointer is shared, not copied.
    RecognitionMode mode = RecognitionModeNamespace::Off;
    RecognitionModeCommand external;
    external.setType(&mode);
    const RecognitionModeCommand externalCopy(external);
    QCOMPARE(externalCopy.type(), &mode);
}

void TestMessageRecords::modeInfoRoundTrip()
{
    const QByteArray json = R"({"Info":"i","Mode":2,"State":1})";
    const RecognitionModeInfo info(QJsonDocument::fromJson(json).object());
    QCOMPARE(info.mode(), RecognitionModeNamespace::Text);
    QCOMPARE(info.state(), Started);
    QCOMPARE(compact(info.toJson()), json);
    const RecognitionModeInfo bad(parse(R"({"Mode":"2","State":1.5,"Info":3})"));
    QCOMPARE(compact(bad.toJson()), QByteArray(R"({"Info":"","Mode":0,"State":0})"));
}

void TestMessageRecords::notificationReading()
{
    const UserNotification plain(parse(R"({"Message":"m"})"));
    QCOMPARE(plain.message(), QStringLiteral("m"));
    QCOMPARE(int(plain.type()), 0);
    QCOMPARE(int(plain.action()), 0);
    QCOMPARE(plain.title(), QString());
    QVERIFY(!plain.force());

    const UserNotification full(parse(R"({"Message":"m","Type":3,"Action":1,"Title":"t","Force":true})"));
    QCOMPARE(full.type(), NotificationTypeCritical);
    QCOMPARE(full.action(), NotificationActionDisconnect);
    QCOMPARE(full.title(), QString());
    QVERIFY(!full.force());
}

void TestMessageRecords::clientRecordsWrite()
{
    QCOMPARE(compact(RecognitionParameters(true, false).toJson()),
             QByteArray(R"({"SendingMode":true,"UsePunctuation":false})"));

    CommandsInfo commands;
    QCOMPARE(compact(commands.toJson()), QByteArray(R"({"Commands":[]})"));
    CommandInfo first;
    first.setId(QStringLiteral("vac_1"));
    first.setPattern(QStringLiteral("начать"));
    first.setType(CommandTypeActivation);
    CommandInfo second;
    second.setType(CommandTypeUser);
    commands.setCommands({first, second});
    QCOMPARE(QString::fromUtf8(compact(commands.toJson())),
             QStringLiteral(R"({"Commands":[{"Id":"vac_1","Pattern":"начать","Type":1},{"Id":"","Pattern":"","Type":3}]})"));
}

void TestMessageRecords::readOnlyRecordsThrow()
{
    const std::vector<std::pair<std::function<void()>, QString>> cases{
        {[] { TextResult().toJson(); }, "Not implemented"},
        {[] { WordResult().toJson(); }, "Not implemented"},
        {[] { UserNotification().toJson(); }, "Not implemented"},
        {[] { ThemeInfo(QJsonObject()).toJson(); }, "not implemented"},
        {[] { ServerThemesInfo().toJson(); }, "not implemented"},
        {[] { TtsStateInfo().toJson(); }, "Not Implemented"},
        {[] { TtsData().toJson(); }, "Not implemented"},
    };
    for (const auto& writeAndMessage : cases) {
        try {
            writeAndMessage.first();
            QFAIL("no exception");
        } catch (const Exception& e) {
            QCOMPARE(e.message(), writeAndMessage.second);
        }
    }
}

void TestMessageRecords::themeRoundTrip()
{
    const ClientThemeInfo fallback(parse(R"({"Id":"a"})"));
    QCOMPARE(fallback.themeId(), QStringLiteral("a"));
    QCOMPARE(fallback.toJson().value(QStringLiteral("ThemeId")).toString(), QString());
    QCOMPARE(int(fallback.compositionType()), 0);
    QCOMPARE(int(ClientThemeInfo().compositionType()), 1);

    const QByteArray full = R"({"CompositionType":2,"Description":"d","Id":"a","Name":"n","NewVersionInfoUrl":"u","ShopUrl":"s","ThemeId":"b","Version":"v"})";
    const ClientThemeInfo theme(QJsonDocument::fromJson(full).object());
    QCOMPARE(theme.themeId(), QStringLiteral("b"));
    QCOMPARE(compact(theme.toJson()), full);
    QCOMPARE(compact(ClientThemeInfo(theme.toJson()).toJson()), full);
}

void TestMessageRecords::serverThemes()
{
    const ServerThemesInfo offer(parse(R"({"ThemeInfos":[{"Id":"1","ThemeVersion":"2","UpdateConfigName":"c"},"x"]})"));
    QCOMPARE(offer.themeInfos().size(), 2);
    QCOMPARE(offer.themeInfos().at(0).ThemeVersion, QStringLiteral("2"));
    QCOMPARE(offer.themeInfos().at(0).UpdateConfigName, QStringLiteral("c"));
    QCOMPARE(offer.themeInfos().at(1).Id, QString());
    QVERIFY(ServerThemesInfo(parse(R"({"ThemeInfos":{}})")).themeInfos().isEmpty());
}

void TestMessageRecords::ttsStateReading()
{
    QCOMPARE(TtsStateInfo().state(), 1);
    const TtsStateInfo empty{QJsonObject()};
    QCOMPARE(empty.state(), 0);
    QCOMPARE(empty.speed(), 0.0);
    QVERIFY(empty.voiceList().isEmpty());
    QCOMPARE(empty.selectedVoice().name(), QString());

    const TtsStateInfo state(parse(R"({"Speed":1.25,"State":0,"SelectedVoice":{"Name":"v2"},"VoiceList":[{"Name":"v1"},{"Name":"v2"}]})"));
    QCOMPARE(state.speed(), 1.25);
    QCOMPARE(state.selectedVoice().name(), QStringLiteral("v2"));
    QCOMPARE(state.voiceList().size(), 2);
    QCOMPARE(state.voiceList().at(0).name(), QStringLiteral("v1"));
    QCOMPARE(TtsStateInfo(parse(R"({"SelectedVoice":"x"})")).selectedVoice().name(), QString());
}

void TestMessageRecords::ttsParamsWriting()
{
    TtsParams params;
    VoiceInfo voice;
    voice.setName(QStringLiteral("v"));
    params.setSelectedVoice(voice);
    params.setSpeed(1.5);
    QCOMPARE(compact(params.toJson()), QByteArray(R"({"SelectedVoice":{"Name":"v"},"speed":1.5})"));
    QVERIFY(TtsData(parse(R"({"IsLastPart":true})")).isLastPart());
    QVERIFY(TtsData(parse(R"({"IsLastPart":true})")).data().isEmpty());
}

void TestMessageRecords::claimWritesEveryKey()
{
    ClientClaim claim;
    QJsonObject written = claim.toJson();
    const QStringList keys{"Account", "ClientId", "Description", "Email", "HostName", "MicrophoneInfo",
                           "OperatingSystem", "OrganisationFullName", "OrganisationOid", "OrganisationPsrn",
                           "RegionCode", "Room", "ThemeName", "ThemeVersion", "UserName"};
    QCOMPARE(written.keys(), keys);
    QCOMPARE(written.value(QStringLiteral("Room")), QJsonValue(QString()));
    QCOMPARE(compact(written.value(QStringLiteral("MicrophoneInfo")).toObject()),
             QByteArray(R"({"MicDisplayName":"","MicHwId":"","MicLevel":0})"));

    claim.setOrganisationFullOgrn(QStringLiteral("psrn"));
    claim.setOrganisationFullOid(QStringLiteral("oid"));
    MicrophoneInfo mic;
    mic.setMicHwId(QStringLiteral("hw"));
    mic.setMicLevel(70);
    claim.setMicrophoneInfo(mic);
    written = claim.toJson();
    QCOMPARE(written.value(QStringLiteral("OrganisationPsrn")).toString(), QStringLiteral("psrn"));
    QCOMPARE(written.value(QStringLiteral("OrganisationOid")).toString(), QStringLiteral("oid"));
    QCOMPARE(written.value(QStringLiteral("MicrophoneInfo")).toObject().value(QStringLiteral("MicLevel")).toInt(), 70);
}

QTEST_GUILESS_MAIN(TestMessageRecords)
#include "TestMessageRecords.moc"
