#include "ClientThemeInfo.h"
#include "ConnectionStateInfo.h"
#include "Exception.h"
#include "RecognitionModeCommand.h"
#include "RecognitionModeInfo.h"
#include "ServerListDTO.h"
#include "ServerThemesInfo.h"
#include "TextResult.h"
#include "TtsData.h"
#include "TtsStateInfo.h"
#include "UserNotification.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>

#include <functional>
#include <memory>

namespace {
QJsonObject word(const WordResult& w)
{
    return {{"Text", w.text()}, {"Begin", w.begin()}, {"Length", w.length()}, {"EndSentence", w.endSentence()},
            {"Index", w.index()}};
}

using View = std::function<QJsonValue(const QJsonObject&)>;

// A record only the server writes is seen through its getters, plus what its toJson() throws.
template<typename Record>
View readOnly(QJsonObject (*getters)(const Record&))
{
    return [getters](const QJsonObject& o) {
        const Record record(o);
        QJsonObject view = getters(record);
        try {
            record.toJson();
        } catch (const Exception& e) {
            view.insert("toJson", e.message());
        }
        return QJsonValue(view);
    };
}

template<typename Record>
QJsonValue written(const QJsonObject& o)
{
    return Record(o).toJson();
}

const QMap<QString, View> views{
    {"TextResult", readOnly<TextResult>([](const TextResult& r) {
         QJsonArray words;
         for (const WordResult& w : r.words())
             words.append(word(w));
         return QJsonObject{{"Text", r.text()}, {"IsFinal", r.isFinal()}, {"CommandId", r.commandId()}, {"Words", words}};
     })},
    {"WordResult", readOnly<WordResult>(word)},
    {"UserNotification", readOnly<UserNotification>([](const UserNotification& n) {
         return QJsonObject{{"Message", n.message()}, {"Type", int(n.type())}, {"Action", int(n.action())},
                            {"Title", n.title()}, {"Force", n.force()}};
     })},
    {"ServerThemesInfo", readOnly<ServerThemesInfo>([](const ServerThemesInfo& s) {
         QJsonArray themes;
         for (const ThemeInfo& t : s.themeInfos())
             themes.append(QJsonObject{{"Id", t.Id}, {"ThemeVersion", t.ThemeVersion}, {"UpdateConfigName", t.UpdateConfigName}});
         return QJsonObject{{"Themes", themes}};
     })},
    {"TtsStateInfo", readOnly<TtsStateInfo>([](const TtsStateInfo& s) {
         QJsonArray voices;
         for (const VoiceInfo& v : s.voiceList())
             voices.append(v.name());
         return QJsonObject{{"State", s.state()}, {"Speed", s.speed()}, {"Selected", s.selectedVoice().name()}, {"Voices", voices}};
     })},
    {"TtsData", readOnly<TtsData>([](const TtsData& d) { return QJsonObject{{"IsLastPart", d.isLastPart()}, {"Bytes", d.data().size()}}; })},
    {"RecognitionModeCommand", written<RecognitionModeCommand>},
    {"RecognitionModeInfo", [](const QJsonObject& o) {
         const RecognitionModeInfo info(o);
         QJsonObject json = info.toJson();
         json.insert("Known", info.isKnown());
         return QJsonValue(json);
     }},
    {"ClientThemeInfo", written<ClientThemeInfo>},
    {"ServerInfoDTO", written<ServerInfoDTO>},
    // The vac flags are read but never written; the view shows them as "vac".
    {"ServerListDTO", [](const QJsonObject& o) {
         const ServerListDTO list(o);
         QJsonObject json = list.toJson();
         json.insert("vac", QJsonArray{list.vacReceived, list.vacEnabled});
         return QJsonValue(json);
     }},
};
} // namespace

class TestServerRecords : public QObject
{
    Q_OBJECT

private slots:
    // Missing or ill-typed values read as empty values; integers must be whole and fit 32 bits.
    void readAndWrite_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("expected");
        auto row = [](const char* name, const char* kind, const char* json, const char* expected) {
            QTest::newRow(name) << QString(kind) << QByteArray(json) << QByteArray(expected);
        };
        row("result", "TextResult", R"({"Text":"abc","IsFinal":true,"CommandId":"c1","Words":[{"Text":"w","Begin":2},7]})",
            R"({"CommandId":"c1","IsFinal":true,"Text":"abc","Words":[{"Begin":2,"EndSentence":0,"Index":0,"Length":0,"Text":"w"},{"Begin":0,"EndSentence":0,"Index":0,"Length":0,"Text":""}],"toJson":"Not implemented"})");
        row("result ill-typed", "TextResult", R"({"Text":5,"IsFinal":"true","CommandId":[1],"Words":{"Text":"w"}})",
            R"({"CommandId":"","IsFinal":false,"Text":"","Words":[],"toJson":"Not implemented"})");
        row("integer rule", "WordResult", R"({"Begin":12.0,"Length":12.5,"EndSentence":"1","Index":4294967296})",
            R"({"Begin":12,"EndSentence":0,"Index":0,"Length":0,"Text":"","toJson":"Not implemented"})");
        row("notification", "UserNotification", R"({"Message":"m","Type":3,"Action":1,"Title":"t","Force":true})",
            R"({"Action":1,"Force":false,"Message":"m","Title":"","Type":3,"toJson":"Not implemented"})");
        row("theme offers", "ServerThemesInfo", R"({"ThemeInfos":[{"Id":"1","ThemeVersion":"2","UpdateConfigName":"c"},"x"]})",
            R"({"Themes":[{"Id":"1","ThemeVersion":"2","UpdateConfigName":"c"},{"Id":"","ThemeVersion":"","UpdateConfigName":""}],"toJson":"not implemented"})");
        row("tts state", "TtsStateInfo", R"({"Speed":1.25,"State":0,"SelectedVoice":{"Name":"v2"},"VoiceList":[{"Name":"v1"},{"Name":"v2"}]})",
            R"({"Selected":"v2","Speed":1.25,"State":0,"Voices":["v1","v2"],"toJson":"Not Implemented"})");
        row("tts data", "TtsData", R"({"IsLastPart":true})", R"({"Bytes":0,"IsLastPart":true,"toJson":"Not implemented"})");
        row("mode command", "RecognitionModeCommand", R"({"Type":4,"Parameters":{"a":"x","n":3,"b":true}})",
            R"({"Parameters":{"a":"x","b":"true","n":"3"},"Type":4})");
        row("mode command without mode", "RecognitionModeCommand", "{}", R"({"Parameters":{},"Type":null})");
        row("mode command mode as text", "RecognitionModeCommand", R"({"Type":"3"})", R"({"Parameters":{},"Type":0})");
        row("mode command unknown mode", "RecognitionModeCommand", R"({"Type":5})", R"({"Parameters":{},"Type":null})");
        row("mode command negative mode", "RecognitionModeCommand", R"({"Type":-1})", R"({"Parameters":{},"Type":null})");
        row("mode info", "RecognitionModeInfo", R"({"Info":"i","Mode":2,"State":1})", R"({"Info":"i","Known":true,"Mode":2,"State":1})");
        row("mode info last values", "RecognitionModeInfo", R"({"Mode":4,"State":3})", R"({"Info":"","Known":true,"Mode":4,"State":3})");
        row("mode info ill-typed", "RecognitionModeInfo", R"({"Mode":"2","State":true,"Info":3})", R"({"Info":"","Known":true,"Mode":0,"State":0})");
        row("mode info state not whole", "RecognitionModeInfo", R"({"Mode":2,"State":2.5})", R"({"Info":"","Known":false,"Mode":0,"State":2})");
        row("mode info mode out of range", "RecognitionModeInfo", R"({"Mode":1e300,"State":1})", R"({"Info":"","Known":false,"Mode":0,"State":2})");
        // Unknown numbers never reach the enumerations; the report is marked for dropping.
        row("mode info unknown state", "RecognitionModeInfo", R"({"Mode":2,"State":5})", R"({"Info":"","Known":false,"Mode":0,"State":2})");
        row("mode info unknown mode", "RecognitionModeInfo", R"({"Mode":5,"State":1})", R"({"Info":"","Known":false,"Mode":0,"State":2})");
        row("mode info negative", "RecognitionModeInfo", R"({"Mode":-1,"State":-2147483648})", R"({"Info":"","Known":false,"Mode":0,"State":2})");
        row("notification unknown type and action", "UserNotification", R"({"Message":"m","Type":2147483647,"Action":-7})",
            R"({"Action":-7,"Force":false,"Message":"m","Title":"","Type":2147483647,"toJson":"Not implemented"})");
        row("client theme", "ClientThemeInfo",
            R"({"CompositionType":2,"Description":"d","Id":"a","Name":"n","NewVersionInfoUrl":"u","ShopUrl":"s","ThemeId":"b","Version":"v"})",
            R"({"CompositionType":2,"Description":"d","Id":"a","Name":"n","NewVersionInfoUrl":"u","ShopUrl":"s","ThemeId":"b","Version":"v"})");
        row("client theme unknown composition", "ClientThemeInfo", R"({"CompositionType":-99})",
            R"({"CompositionType":-99,"Description":"","Id":"","Name":"","NewVersionInfoUrl":"","ShopUrl":"","ThemeId":"","Version":""})");
        row("client theme sparse", "ClientThemeInfo", R"({"Id":"a","Name":7})",
            R"({"CompositionType":0,"Description":"","Id":"a","Name":"","NewVersionInfoUrl":"","ShopUrl":"","ThemeId":"","Version":""})");
        // Loads are single precision; "LoadPerLevel" is read, "LoadPerClient" written.
        row("server", "ServerInfoDTO", R"({"ServerId":"s1","ConnectionString":"h;1;2","DeclaredLoadLevel":0.5,"EstimatedLoadLevel":0.1,"CanAcceptClient":true,"LoadPerLevel":3,"LastUpdateDate":"2020-01-02T03:04:05.678"})",
            R"({"CanAcceptClient":true,"ConnectionString":"h;1;2","DeclaredLoadLevel":0.5,"EstimatedLoadLevel":0.10000000149011612,"LastUpdateDate":"2020-01-02T03:04:05.678","LoadPerClient":3,"ServerId":"s1"})");
        row("server loads beyond float", "ServerInfoDTO", R"({"DeclaredLoadLevel":-1e300,"EstimatedLoadLevel":1e300,"LoadPerLevel":1e39})",
            R"({"CanAcceptClient":false,"ConnectionString":"","DeclaredLoadLevel":-3.4028234663852886e+38,"EstimatedLoadLevel":3.4028234663852886e+38,"LastUpdateDate":"","LoadPerClient":3.4028234663852886e+38,"ServerId":""})");
        row("server ill-typed", "ServerInfoDTO", R"({"LastUpdateDate":"yesterday","CanAcceptClient":"yes","LoadPerClient":3})",
            R"({"CanAcceptClient":false,"ConnectionString":"","DeclaredLoadLevel":0,"EstimatedLoadLevel":0,"LastUpdateDate":"","LoadPerClient":0,"ServerId":""})");
        // A null expectation: what the list writes (the cache) reads back as the same list.
        row("server list", "ServerListDTO", R"({"TimeStamp":"2021-05-06T07:08:09.010","Authority":"b:1","ServerList":[{"ServerId":"a"}],"RecommendedServer":{"ServerId":"a"},"VacEnabled":true})",
            nullptr);
        row("recommended not an object", "ServerListDTO", R"({"RecommendedServer":[{"ServerId":"a"}],"VacEnabled":"yes"})",
            R"({"Authority":"","ServerList":[],"TimeStamp":"","vac":[true,false]})");
        row("no vac flag", "ServerListDTO", R"({"RecommendedServer":null,"VacEnabled":null})",
            R"({"Authority":"","ServerList":[],"TimeStamp":"","vac":[false,false]})");
    }
    void readAndWrite()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, expected);
        const View view = views.value(kind);
        QFETCH(QByteArray, json);
        const QJsonValue seen = view(QJsonDocument::fromJson(json).object());
        if (expected.isNull()) {
            QJsonObject written = seen.toObject();
            QCOMPARE(written.take("vac"), QJsonValue(QJsonArray{true, true}));
            QVERIFY(written.contains("RecommendedServer") && !written.contains("VacEnabled"));
            QJsonObject again = view(written).toObject();
            QCOMPARE(again.take("vac"), QJsonValue(QJsonArray{false, false}));
            QCOMPARE(again, written);
        } else {
            QCOMPARE(QJsonDocument(QJsonArray{seen}).toJson(QJsonDocument::Compact), "[" + expected + "]");
        }
    }

    void copiesOwnTheirState()
    {
        // A mode command read from JSON owns its mode; a copy must not point into the source.
        auto source = std::make_unique<RecognitionModeCommand>(QJsonObject{{"Type", 3}});
        RecognitionModeCommand copy(*source);
        RecognitionModeCommand assigned;
        assigned = *source;
        QVERIFY(copy.type() != source->type() && assigned.type() != source->type());
        source.reset();
        QCOMPARE(int(*copy.type()), 3);
        QCOMPARE(int(*assigned.type()), 3);
        RecognitionMode mode = RecognitionModeNamespace::Off;
        RecognitionModeCommand external;
        external.setType(&mode);
        QCOMPARE(RecognitionModeCommand(external).type(), &mode);

        // State copies travel through queued signals: the source's parent must not adopt them.
        QObject parent;
        auto* info = new ConnectionStateInfo;
        info->setParent(&parent);
        info->setServerHost(QStringLiteral("s"));
        const ConnectionStateInfo copied(*info);
        QCOMPARE(copied.parent(), nullptr);
        QCOMPARE(QVariant::fromValue(copied).value<ConnectionStateInfo>().serverHost(), QStringLiteral("s"));
    }
};

QTEST_GUILESS_MAIN(TestServerRecords)
#include "TestServerRecords.moc"
