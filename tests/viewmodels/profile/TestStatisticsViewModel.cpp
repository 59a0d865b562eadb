#include "ConnectionManager.h"
#include "CookieText.h"
#include "CookiesSource.h"
#include "LoopbackConnection.h"
#include "ProfileFile.h"
#include "QuestionAnswer.h"
#include "SignalRecorder.h"
#include "StatisticsSettingsViewModel.h"
#include "StatisticsViewModel.h"
#include "TestHome.h"
#include "UserInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString References = QStringLiteral(SCRIVORA_TEST_REFERENCES);

QByteArray records(const QList<QJsonObject>& datas)
{
    QJsonArray array;
    for (const QJsonObject& data : datas)
        array.append(QJsonObject{{"data", data}});
    return QJsonDocument(QJsonObject{{"records", array}}).toJson();
}

QJsonObject region(const QJsonValue& id, const QString& subject)
{
    return {{"ID", id}, {"SUBJECT", subject}};
}

// Type 1 in region 77 unless `fields` says otherwise.
QJsonObject clinic(int id, QJsonObject fields)
{
    fields.insert("id", id);
    if (!fields.contains("regionId"))
        fields.insert("regionId", 77);
    if (!fields.contains("organizationType"))
        fields.insert("organizationType", 1);
    return fields;
}

QJsonObject profession(const QJsonValue& id, const QString& name, const QJsonValue& parent)
{
    return {{"ID", id}, {"NAME", name}, {"PARENT", parent}};
}

void writeProfile(const QString& path, const QMap<QString, QVariant>& values)
{
    QSettings file(path, QSettings::IniFormat);
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (it.value().isNull())
            file.remove(it.key());
        else
            file.setValue(it.key(), it.value());
    }
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Region, settlement, organisation and profession, then the two fields.
void fill(StatisticsViewModel* model, const QList<int>& choice, const QString& room, const QString& name)
{
    model->set_SelectedRegionIndex(choice.at(0));
    model->set_SelectedCityIndex(choice.at(1));
    model->set_SelectedCompanyIndex(choice.at(2));
    model->set_SelectedProfessionIndex(choice.at(3));
    model->get_WorkRoom()->set_Text(room);
    model->get_UserFullName()->set_Text(name);
}

} // namespace

// The profile window's lists come from reference files outside the program;
// the profile it stores travels with every request as cookies.
class TestStatisticsViewModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void referenceLists_data();
    void referenceLists();
    void noReferenceFolderIsNoFault();
    void cascade_data();
    void cascade();
    void validators_data();
    void validators();
    void storedProfileTravelsAsCookies_data();
    void storedProfileTravelsAsCookies();
    void storedProfileIsPreselected_data();
    void storedProfileIsPreselected();
    void settingsPageShowsAndResets_data();
    void settingsPageShowsAndResets();
    void profileFilesReadAsWritten_data();
    void profileFilesReadAsWritten();
    void handWrittenValuesKeepTheirText_data();
    void handWrittenValuesKeepTheirText();
    void clientWrittenValuesReadBack();

private:
    // The shipped fixture folder, with its warnings expected.
    std::unique_ptr<StatisticsViewModel> fixtureModel();
};

void TestStatisticsViewModel::initTestCase()
{
    TestHome::useApplicationIdentity();
}

void TestStatisticsViewModel::init()
{
    TestHome::wipe();
}

std::unique_ptr<StatisticsViewModel> TestStatisticsViewModel::fixtureModel()
{
    QTest::ignoreMessage(QtWarningMsg, "Invalid regions: 1/5");
    QTest::ignoreMessage(QtWarningMsg, "Invalid organisations: 3/11");
    QTest::ignoreMessage(QtWarningMsg, "Invalid professions: 2/7");
    return std::make_unique<StatisticsViewModel>(References, nullptr);
}

void TestStatisticsViewModel::referenceLists_data()
{
    QTest::addColumn<QByteArray>("regions");
    QTest::addColumn<QByteArray>("clinics");
    QTest::addColumn<QByteArray>("professions");
    // Of the first region, and of its first settlement.
    QTest::addColumn<QStringList>("regionList");
    QTest::addColumn<QStringList>("cities");
    QTest::addColumn<QStringList>("companies");
    QTest::addColumn<QStringList>("professionList");
    // "W:" warnings and "I:" information lines, matched at their start; %dir% is the folder.
    QTest::addColumn<QStringList>("logged");

    const QByteArray moscow = records({region(77, "г. Москва")});
    const QByteArray polyclinic = records({clinic(1, {{"nameShort", "ГП № 12"}, {"areaName", "Москва"}})});
    const QByteArray therapist = records({profession(1, "Терапевт", "0")});
    const QStringList one{"[77] г. Москва"};
    const QString failed = QStringLiteral("I:Failed to load regions or organisations from file %dir%");

    QTest::newRow("code padded to two digits, a text code rejected")
        << records({region(5, "Республика Дагестан"), region("16", "Республика Татарстан")})
        << records({clinic(1, {{"regionId", 5}, {"nameShort", "РКБ"}, {"areaName", "Махачкала"}})}) << therapist
        << QStringList{"[05] Республика Дагестан"} << QStringList{"Махачкала"} << QStringList{"РКБ"}
        << QStringList{"Терапевт"} << QStringList{"W:Invalid regions: 1/2"};
    // Each would be stored as an incomplete profile, so the window would return at every start.
    QTest::newRow("codes that are not whole numbers above zero rejected")
        << records({region(77, "г. Москва"), region(5.5, "Дробный"), region(0, "Нулевой"), region(-3, "Отрицательный"),
                    region(1e12, "Огромный")})
        << polyclinic << therapist << one << QStringList{"Москва"} << QStringList{"ГП № 12"} << QStringList{"Терапевт"}
        << QStringList{"W:Invalid regions: 4/5"};
    QTest::newRow("professions with a blank name rejected")
        << moscow << polyclinic
        << records({profession(1, "Терапевт", "0"), profession(2, "", "0"), profession(3, " ", "0")}) << one
        << QStringList{"Москва"} << QStringList{"ГП № 12"} << QStringList{"Терапевт"}
        << QStringList{"W:Invalid professions: 2/3"};
    QTest::newRow("one entry per code, in code order")
        << records({region(77, "Москва"), region(5, "Дагестан"), region(77, "г. Москва")})
        << records({clinic(1, {{"regionId", 5}, {"nameShort", "РКБ"}})}) << therapist
        << QStringList{"[05] Дагестан", "[77] г. Москва"} << QStringList{"Дагестан"} << QStringList{"РКБ"}
        << QStringList{"Терапевт"} << QStringList();
    QTest::newRow("deleted organisations skipped, a null deletion date taken")
        << moscow
        << records({clinic(1, {{"nameShort", "Б"}, {"deleteDate", ""}}), clinic(2, {{"nameShort", "А"}, {"deleteDate", QJsonValue()}}),
                    clinic(3, {{"nameShort", "В"}, {"deleteDate", "2021-01-01"}})})
        << therapist << one << QStringList{"г. Москва"} << QStringList{"А"} << QStringList{"Терапевт"}
        << QStringList{"W:Invalid organisations: 2/3"};
    QTest::newRow("a full name only, or a blank short name: listed under the full name")
        << moscow
        << records({clinic(1, {{"nameFull", "Диагностический центр"}}),
                    clinic(2, {{"nameShort", " "}, {"nameFull", "Архив"}}), clinic(3, {{"nameShort", ""}})})
        << therapist << one << QStringList{"г. Москва"} << QStringList{"Архив", "Диагностический центр"}
        << QStringList{"Терапевт"} << QStringList{"W:Invalid organisations: 1/3"};
    QTest::newRow("settlements: the region's name without one, letter case kept apart, in order")
        << moscow
        << records({clinic(1, {{"nameShort", "А"}, {"areaName", "Москва"}}), clinic(2, {{"nameShort", "Б"}}),
                    clinic(3, {{"nameShort", "В"}, {"areaName", "москва"}}),
                    clinic(4, {{"nameShort", "Г"}, {"areaName", "Зеленоград"}}),
                    clinic(5, {{"nameShort", "Д"}, {"areaName", " "}})})
        << therapist << one << QStringList{"г. Москва", "Зеленоград", "Москва", "москва"} << QStringList{"Б", "Д"}
        << QStringList{"Терапевт"} << QStringList();
    QTest::newRow("other types and unknown regions rejected, organisations sorted ignoring case")
        << moscow
        << records({clinic(1, {{"nameShort", "поликлиника № 2"}}), clinic(2, {{"nameShort", "Аптека"}, {"organizationType", 2}}),
                    clinic(3, {{"nameShort", "ЦРБ"}, {"regionId", 99}}), clinic(4, {{"nameShort", "ГКБ № 1"}}),
                    clinic(5, {{"nameShort", "Роддом"}}), clinic(6, {{"nameShort", "Без типа"}, {"organizationType", "1"}})})
        << therapist << one << QStringList{"г. Москва"} << QStringList{"ГКБ № 1", "поликлиника № 2", "Роддом"}
        << QStringList{"Терапевт"} << QStringList{"W:Invalid organisations: 3/6"};
    QTest::newRow("professions: top level by a text parent only, sorted ignoring case")
        << moscow << polyclinic
        << records({profession(1, "Терапевт", "0"), profession(2, "Детский хирург", "2"), profession(3, "Кардиолог", 0),
                    profession(4, "врач УЗИ", "0"), profession("5", "Хирург", "0")})
        << one << QStringList{"Москва"} << QStringList{"ГП № 12"} << QStringList{"врач УЗИ", "Терапевт"}
        << QStringList{"W:Invalid professions: 3/5"};
    QTest::newRow("truncated regions: nothing")
        << QByteArray("{\"records\": [{\"data\": {\"ID\": 77") << polyclinic << therapist << QStringList()
        << QStringList() << QStringList() << QStringList()
        << QStringList{"W:Failed to parse json file %dir%/Regions.json   ", failed};
    QTest::newRow("missing professions: the other lists")
        << moscow << polyclinic << QByteArray() << one << QStringList{"Москва"} << QStringList{"ГП № 12"} << QStringList()
        << QStringList{"W:json file was not found %dir%/Specialisations.json", failed};
}

void TestStatisticsViewModel::referenceLists()
{
    QFETCH(QByteArray, regions);
    QFETCH(QByteArray, clinics);
    QFETCH(QByteArray, professions);
    QFETCH(QStringList, logged);

    QTemporaryDir folder;
    const QMap<QString, QByteArray> files{
        {"Regions.json", regions}, {"Clinics.json", clinics}, {"Specialisations.json", professions}};
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QFile file(folder.filePath(it.key()));
        if (!it.value().isNull())
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(it.value()) == it.value().size());
    }
    for (QString line : logged) {
        line.replace(QStringLiteral("%dir%"), folder.path());
        const QtMsgType type = line.startsWith(QLatin1String("I:")) ? QtInfoMsg : QtWarningMsg;
        QTest::ignoreMessage(type, QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(line.mid(2))));
    }

    StatisticsViewModel model(folder.path(), nullptr);
    // A profile that cannot be completed is not offered at every start.
    const bool complete = !logged.contains(QStringLiteral("I:Failed to load regions or organisations from file %dir%"));
    QCOMPARE(model.get_NeedShow(), complete);
    QTEST(model.get_Regions(), "regionList");
    model.set_SelectedRegionIndex(0);
    QTEST(model.get_Cities(), "cities");
    model.set_SelectedCityIndex(0);
    QTEST(model.get_Companies(), "companies");
    QTEST(model.get_Professions(), "professionList");
    QVERIFY(!model.get_IsValid());
    // Reading the lists writes nothing.
    QVERIFY(!QFile::exists(ProfileFile::organisationFile()));
    QVERIFY(!QFile::exists(ProfileFile::userFile()));
}

void TestStatisticsViewModel::noReferenceFolderIsNoFault()
{
    QTemporaryDir parent;
    const QString folder = parent.filePath(QStringLiteral("refs"));
    // One line, and no warning: most installations come without the lists.
    QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("No reference lists in %1: the profile window is not offered").arg(folder)));
    StatisticsViewModel model(folder, nullptr);
    QVERIFY(!model.get_NeedShow());
    QVERIFY(model.get_Regions().isEmpty());
}

void TestStatisticsViewModel::cascade_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("emitted");

    // The recorder hears an index signal after its own handlers: what they emit comes first.
    // Regions: [05] Дагестан, [50] Московская область, [77] г. Москва, [78] г. Санкт-Петербург.
    const QStringList moscowPolyclinic{"SelectedRegionIndex=2", "SelectedCityIndex=1", "SelectedCompanyIndex=0"};
    QTest::newRow("another region resets the lower choices, the organisations stay listed")
        << moscowPolyclinic << "SelectedRegionIndex=1"
        << QStringList{"changed_Cities([Московская область|Подольск|Химки])", "changed_IsCitySelected(false)",
                       "changed_IsValid(false)", "changed_SelectedCityIndex(-1)", "changed_IsCompanySelected(false)",
                       "changed_IsValid(false)", "changed_SelectedCompanyIndex(-1)", "changed_IsRegionSelected(true)",
                       "changed_IsValid(false)", "changed_SelectedRegionIndex(1)"};
    QTest::newRow("an index past the list is no choice")
        << moscowPolyclinic << "SelectedCompanyIndex=2"
        << QStringList{"changed_IsCompanySelected(false)", "changed_IsValid(false)", "changed_SelectedCompanyIndex(-1)"};
    QTest::newRow("the last choice completes the form")
        << moscowPolyclinic + QStringList{"name=Иванова Анна"} << "SelectedProfessionIndex=3"
        << QStringList{"changed_IsValid(true)", "changed_SelectedProfessionIndex(3)"};
    QTest::newRow("a bad room spoils it")
        << moscowPolyclinic + QStringList{"name=Иванова Анна", "SelectedProfessionIndex=3"} << "room=12!"
        << QStringList{"changed_IsValid(false)"};
}

void TestStatisticsViewModel::cascade()
{
    QFETCH(QStringList, before);
    QFETCH(QString, change);

    const std::unique_ptr<StatisticsViewModel> model = fixtureModel();
    const auto apply = [&model](const QString& assignment) {
        const QString name = assignment.section(QLatin1Char('='), 0, 0);
        const QString value = assignment.section(QLatin1Char('='), 1);
        if (name == QLatin1String("name"))
            model->get_UserFullName()->set_Text(value);
        else if (name == QLatin1String("room"))
            model->get_WorkRoom()->set_Text(value);
        else
            QVERIFY(model->setProperty(qPrintable(name), value.toInt()));
    };
    for (const QString& assignment : before)
        apply(assignment);
    SignalRecorder recorder(model.get());
    apply(change);
    QStringList recorded = recorder.take();
    // The fields' own signals are theirs.
    recorded.removeAll(QStringLiteral("changed_WorkRoom()"));
    QTEST(recorded, "emitted");
}

void TestStatisticsViewModel::validators_data()
{
    QTest::addColumn<bool>("room");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");

    const QString roomLength = QStringLiteral("Название кабинета не может превышать 10 символов");
    const QString roomChars = QStringLiteral("Недопустимые символы: ! \" № # $ % ^ & * + = ~ ' ; :");
    QTest::newRow("room: ten characters") << true << "Каб. 12-3б" << "";
    QTest::newRow("room: eleven") << true << "Кабинет 123" << roomLength;
    QTest::newRow("room: eleven with a forbidden one: the length") << true << "Кабинет №12" << roomLength;
    QTest::newRow("room: numero sign") << true << "№12" << roomChars;

    const QString blanks =
        QStringLiteral("Каждое слово должно быть разделено одним пробелом, без лишних пробелов в начале или в конце");
    const QString incorrect = QStringLiteral("Некорректное ФИО");
    QTest::newRow("name: hyphen, dash, brackets, numeral")
        << false << "Салтыков-Щедрин Михаил (Евграфович) Мамин–Сибиряк IV" << "";
    QTest::newRow("name: 255 characters") << false << QString(127, QChar(0x0410)) + ' ' + QString(127, QChar(0x0411))
                                          << "";
    QTest::newRow("name: empty") << false << "" << "Поле обязательно для заполнения!";
    QTest::newRow("name: 256 characters") << false << QString(128, QChar(0x0410)) + ' ' + QString(127, QChar(0x0411))
                                          << "ФИО не может превышать 255 символов";
    QTest::newRow("name: no closing bracket") << false << "Иванова (Анна" << "Пропущена закрывающая скобка";
    QTest::newRow("name: doubled blank") << false << "Иванова  Анна" << blanks;
    QTest::newRow("name: one word") << false << "Иванова" << "Укажите ФИО полностью";
    QTest::newRow("name: initials run together") << false << "Иванова А.С." << incorrect;
}

void TestStatisticsViewModel::validators()
{
    QFETCH(bool, room);
    QFETCH(QString, text);
    ValidationArgs args{text, QString()};
    (room ? StatisticsViewModel::ValidateWorkRoom : StatisticsViewModel::ValidateUserFullName)(&args);
    QTEST(args.Error, "error");
}

void TestStatisticsViewModel::storedProfileTravelsAsCookies_data()
{
    QTest::addColumn<QList<int>>("choice");
    QTest::addColumn<QString>("room");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("cookies");
    // What Organisation.ini held before.
    QTest::addColumn<QByteArray>("earlier");

    QTest::newRow("polyclinic with a room")
        << QList<int>{2, 1, 1, 3} << "12б" << "Иванова Анна Сергеевна"
        << QStringList{"77", "Государственное бюджетное учреждение здравоохранения «Городская поликлиника № 12»",
                       "1027700000012", "1.2.643.5.1.13.13.12.1.77.12", "12б", "Иванова Анна Сергеевна", "Терапевт"}
        << QByteArray();
    QTest::newRow("short name only, settled under the region")
        << QList<int>{1, 0, 0, 4} << "" << "Сидоров Олег"
        << QStringList{"50", "", "1025000000003", "1.2.643.5.1.13.13.12.1.50.3", "", "Сидоров Олег", "Хирург"}
        << QByteArray();
    QTest::newRow("incomplete: nothing stored") << QList<int>{2, 1, -1, 3} << "12" << "Иванова Анна" << QStringList()
                                                << QByteArray();
    // Qt reports the earlier line it could not read, and writes the file without it.
    QTest::newRow("over a line Qt cannot read")
        << QList<int>{1, 0, 0, 4} << "" << "Сидоров Олег"
        << QStringList{"50", "", "1025000000003", "1.2.643.5.1.13.13.12.1.50.3", "", "Сидоров Олег", "Хирург"}
        << QByteArray("\0\0\0\0[Organisation]\nRegionCode=0\n", 32);
}

void TestStatisticsViewModel::storedProfileTravelsAsCookies()
{
    QFETCH(QList<int>, choice);
    QFETCH(QString, room);
    QFETCH(QString, name);
    QFETCH(QStringList, cookies);
    QFETCH(QByteArray, earlier);
    if (!earlier.isEmpty())
        writeBytes(ProfileFile::organisationFile(), earlier);

    {
        const std::unique_ptr<StatisticsViewModel> model = fixtureModel();
        fill(model.get(), choice, room, name);
        QCOMPARE(model->applyCommand(), !cookies.isEmpty());
        QCOMPARE(model->get_NeedShow(), cookies.isEmpty());
    }
    if (cookies.isEmpty()) {
        QVERIFY(!QFile::exists(ProfileFile::organisationFile()));
        return;
    }
    // Text an administrator can read and prepare, not escapes.
    const QByteArray stored = readBytes(ProfileFile::userFile());
    QVERIFY2(stored.contains("UserName=" + name.toUtf8()) && !stored.contains("\\x"), stored.constData());
    // The next handshake carries the files as the cookie reader reads them.
    LoopbackConnection link;
    FakeRecognitionServer* server = link.addServer();
    link.offerServers({link.entry(QStringLiteral("A"), server->port())});
    link.build(1000);
    link.start();
    QVERIFY(server->waitForClient(TestHome::scaled(10000)));
    link.stop();
    const QList<QByteArray> names{"REGION_CODE", "ORG_FULL_NAME", "ORG_PSRN", "ORG_OID", "ROOM", "USER", "USER_SPEC"};
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(QString::fromUtf8(QByteArray::fromPercentEncoding(server->cookieValue(names.at(i)))), cookies.at(i));
    // Complete: the next start offers no window and reads no list.
    QVERIFY(!StatisticsViewModel(QStringLiteral("/nonexistent"), nullptr).get_NeedShow());
}

void TestStatisticsViewModel::storedProfileIsPreselected_data()
{
    QTest::addColumn<QVariantMap>("edits");
    QTest::addColumn<QList<int>>("indexes");

    const QString specialisation = QStringLiteral("UserInfo/Specialisation");
    QTest::newRow("every stored choice") << QVariantMap{{specialisation, QVariant()}} << QList<int>{2, 1, 1, -1};
    QTest::newRow("organisation found by its full name")
        << QVariantMap{{specialisation, QVariant()}, {"Organisation/OrganisationName", "ГП № 12 (прежнее)"}}
        << QList<int>{2, 1, 1, -1};
    QTest::newRow("unknown settlement: the region only")
        << QVariantMap{{specialisation, QVariant()}, {"Organisation/AreaName", "Троицк"}} << QList<int>{2, -1, -1, -1};
    QTest::newRow("unknown region: the profession only")
        << QVariantMap{{"Organisation/RegionCode", 0}} << QList<int>{-1, -1, -1, 3};
}

void TestStatisticsViewModel::storedProfileIsPreselected()
{
    QFETCH(QVariantMap, edits);
    QFETCH(QList<int>, indexes);
    {
        const std::unique_ptr<StatisticsViewModel> model = fixtureModel();
        fill(model.get(), {2, 1, 1, 3}, QStringLiteral("12б"), QStringLiteral("Иванова Анна"));
        QVERIFY(model->applyCommand());
    }
    QVariantMap organisation;
    QVariantMap user;
    for (auto it = edits.cbegin(); it != edits.cend(); ++it)
        (it.key().startsWith(QLatin1String("User")) ? user : organisation).insert(it.key(), it.value());
    writeProfile(ProfileFile::organisationFile(), organisation);
    writeProfile(ProfileFile::userFile(), user);

    const std::unique_ptr<StatisticsViewModel> model = fixtureModel();
    QVERIFY(model->get_NeedShow());
    QCOMPARE((QList<int>{model->get_SelectedRegionIndex(), model->get_SelectedCityIndex(),
                         model->get_SelectedCompanyIndex(), model->get_SelectedProfessionIndex()}),
             indexes);
    QCOMPARE(model->get_WorkRoom()->get_Text(), QStringLiteral("12б"));
    QCOMPARE(model->get_UserFullName()->get_Text(), QStringLiteral("Иванова Анна"));
}

void TestStatisticsViewModel::settingsPageShowsAndResets_data()
{
    QTest::addColumn<QString>("room");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("cleared");

    QTest::newRow("room, closed with Esc") << "12б" << int(QMessageBox::Escape) << false;
    QTest::newRow("room, answered Yes") << "12б" << int(QMessageBox::Yes) << true;
}

void TestStatisticsViewModel::settingsPageShowsAndResets()
{
    QFETCH(QString, room);
    QFETCH(int, answer);
    QFETCH(bool, cleared);

    writeProfile(ProfileFile::organisationFile(), {{"Organisation/RegionCode", 5},
                                                     {"Organisation/RegionName", "Республика Дагестан"},
                                                     {"Organisation/Room", room},
                                                     {"Other/Key", "кто-то ещё"}});
    writeProfile(ProfileFile::userFile(), {{"UserInfo/UserName", "Иванова Анна"}, {"UserInfo/UserIian", "123"}});

    StatisticsSettingsViewModel page;
    page.onLoad();
    QCOMPARE(page.get_RegionCode(), QStringLiteral("5"));
    QCOMPARE(page.get_RegionName(), QStringLiteral("Республика Дагестан"));
    QCOMPARE(page.get_UserFullName(), QStringLiteral("Иванова Анна"));
    QCOMPARE(page.get_Room(), room);
    QCOMPARE(page.get_isRoomFiledVisible(), !room.isEmpty());

    QSignalSpy restart(&page, &StatisticsSettingsViewModel::needRestartApplication);
    answerQuestion(QMessageBox::StandardButton(answer));
    QMetaObject::invokeMethod(&page, "resetCommand");
    QCOMPARE(restart.count(), cleared ? 1 : 0);
    QCOMPARE(QSettings(ProfileFile::organisationFile(), QSettings::IniFormat).allKeys().isEmpty(), cleared);
    QCOMPARE(QSettings(ProfileFile::userFile(), QSettings::IniFormat).allKeys().isEmpty(), cleared);
}

void TestStatisticsViewModel::profileFilesReadAsWritten_data()
{
    QTest::addColumn<QByteArray>("organisation");
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<bool>("connectionReadsFirst");

    const QByteArray organisation = QStringLiteral("[Organisation]\nRegionCode=5\nRegionName=Республика Дагестан\n"
                                                   "AreaName=Махачкала\nOrganisationName=РКБ\n"
                                                   "OrganisationFullName=Республиканская клиническая больница\n"
                                                   "Room=12б, левое крыло\n")
                                        .toUtf8();
    const QByteArray user = QStringLiteral("[UserInfo]\nUserName=Иванова Анна\nSpecialisation=Терапевт\n").toUtf8();
    // Qt shares one parsed copy of a file between its readers: whichever reads
    // first, the other must see the same text.
    QTest::newRow("prepared by hand, the settings page reads first") << organisation << user << false;
    QTest::newRow("prepared by hand, the connection reads first") << organisation << user << true;
    QTest::newRow("prepared by hand with a byte-order mark") << "\xEF\xBB\xBF" + organisation << "\xEF\xBB\xBF" + user << false;
    QTest::newRow("written with escapes by an earlier version")
        << QByteArray("[Organisation]\nRegionCode=5\n"
                      "RegionName=\\x420\\x435\\x441\\x43f\\x443\\x431\\x43b\\x438\\x43a\\x430 \\x414\\x430\\x433\\x435\\x441\\x442\\x430\\x43d\n"
                      "AreaName=\\x41c\\x430\\x445\\x430\\x447\\x43a\\x430\\x43b\\x430\nOrganisationName=\\x420\\x41a\\x411\n"
                      "OrganisationFullName=\\x420\\x435\\x441\\x43f\\x443\\x431\\x43b\\x438\\x43a\\x430\\x43d\\x441\\x43a\\x430\\x44f "
                      "\\x43a\\x43b\\x438\\x43d\\x438\\x447\\x435\\x441\\x43a\\x430\\x44f \\x431\\x43e\\x43b\\x44c\\x43d\\x438\\x446\\x430\n"
                      "Room=\"12\\x431, \\x43b\\x435\\x432\\x43e\\x435 \\x43a\\x440\\x44b\\x43b\\x43e\"\n")
        << QByteArray("[UserInfo]\nUserName=\\x418\\x432\\x430\\x43d\\x43e\\x432\\x430 \\x410\\x43d\\x43d\\x430\n"
                      "Specialisation=\\x422\\x435\\x440\\x430\\x43f\\x435\\x432\\x442\n")
        << true;
}

void TestStatisticsViewModel::profileFilesReadAsWritten()
{
    QFETCH(QByteArray, organisation);
    QFETCH(QByteArray, user);
    QFETCH(bool, connectionReadsFirst);
    writeBytes(ProfileFile::organisationFile(), organisation);
    writeBytes(ProfileFile::userFile(), user);

    StatisticsSettingsViewModel page;
    CookiesSource source([]() -> const UserInfo* { return nullptr; }, 1000);
    QList<QNetworkCookie> cookies;
    if (connectionReadsFirst)
        cookies = source.getCookies();
    page.onLoad();
    if (!connectionReadsFirst)
        cookies = source.getCookies();

    QCOMPARE(page.get_RegionName(), QStringLiteral("Республика Дагестан"));
    QCOMPARE(page.get_AreaName(), QStringLiteral("Махачкала"));
    QCOMPARE(page.get_UserFullName(), QStringLiteral("Иванова Анна"));
    QCOMPARE(page.get_UserSpecialisation(), QStringLiteral("Терапевт"));
    QCOMPARE(page.get_Room(), QStringLiteral("12б, левое крыло"));
    QCOMPARE(cookieText(cookies, "ROOM"), QStringLiteral("12б, левое крыло"));
    QCOMPARE(cookieText(cookies, "ORG_FULL_NAME"), QStringLiteral("Республиканская клиническая больница"));
    QCOMPARE(cookieText(cookies, "USER"), QStringLiteral("Иванова Анна"));
    QCOMPARE(cookieText(cookies, "USER_SPEC"), QStringLiteral("Терапевт"));
    // Complete as prepared: no window at the next start.
    QVERIFY(!StatisticsViewModel(QStringLiteral("/nonexistent"), nullptr).get_NeedShow());
}

void TestStatisticsViewModel::handWrittenValuesKeepTheirText_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("quotes") << QByteArray("OrganisationFullName=ГБУЗ \"Городская поликлиника № 12\"")
                            << QStringLiteral("ГБУЗ \"Городская поликлиника № 12\"");
    QTest::newRow("semicolon") << QByteArray("Room=каб. 12; 2 этаж") << QStringLiteral("каб. 12; 2 этаж");
    QTest::newRow("quotes and a semicolon") << QByteArray("Specialisation=Врач \"общей\" практики; терапевт")
                                            << QStringLiteral("Врач \"общей\" практики; терапевт");
    QTest::newRow("commas, no blank after them") << QByteArray("Room=12б,левое крыло") << QStringLiteral("12б,левое крыло");
    QTest::newRow("quoted whole, as INI files quote") << QByteArray("Room=\"12б; левое крыло\"")
                                                      << QStringLiteral("12б; левое крыло");
    QTest::newRow("Windows line end") << QByteArray("Room=каб. 12; 2 этаж\r") << QStringLiteral("каб. 12; 2 этаж");
}

// What an administrator wrote is what travels: Qt's reader took quotes away
// and cut a value at its semicolon.
void TestStatisticsViewModel::handWrittenValuesKeepTheirText()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    const QString key = QString::fromUtf8(line.left(line.indexOf('=')));
    const bool user = key == QLatin1String("Specialisation");
    const QByteArray complete = QStringLiteral("[Organisation]\nRegionCode=77\nRegionName=г. Москва\nAreaName=Москва\n"
                                               "OrganisationName=ГП № 12\nOrganisationFullName=Поликлиника\n")
                                    .toUtf8();
    writeBytes(ProfileFile::organisationFile(), complete + (user ? QByteArray() : line + '\n'));
    writeBytes(ProfileFile::userFile(), "[UserInfo]\nUserName=Иванова Анна\nSpecialisation=Терапевт\n"
                                            + (user ? line + '\n' : QByteArray()));
    QVERIFY(ProfileFile::setAsideUnreadable().isEmpty());

    const QString group = user ? QStringLiteral("UserInfo/") : QStringLiteral("Organisation/");
    QCOMPARE(ProfileFile(user ? ProfileFile::userFile() : ProfileFile::organisationFile()).text(group + key), expected);
    StatisticsSettingsViewModel page;
    page.onLoad();
    const QMap<QString, QString> shown{{"OrganisationFullName", page.get_OrganisationFullName()},
                                       {"Room", page.get_Room()},
                                       {"Specialisation", page.get_UserSpecialisation()}};
    QCOMPARE(shown.value(key), expected);
    const QMap<QString, QByteArray> cookieOf{
        {"OrganisationFullName", "ORG_FULL_NAME"}, {"Room", "ROOM"}, {"Specialisation", "USER_SPEC"}};
    CookiesSource source([]() -> const UserInfo* { return nullptr; }, 1000);
    QCOMPARE(cookieText(source.getCookies(), cookieOf.value(key)), expected);
}

// The client's own files read back exactly, whatever the text; keys it does
// not write keep what the administrator wrote.
void TestStatisticsViewModel::clientWrittenValuesReadBack()
{
    writeBytes(ProfileFile::userFile(), "[UserInfo]\nUserIian=12;34 \"5\"\n");
    const QStringList texts{QStringLiteral("ГБУЗ \"Городская поликлиника № 12\""),
                            QStringLiteral("каб. 12; 2 этаж, левое крыло"),
                            QStringLiteral("  пробелы по краям "),
                            QStringLiteral("\"в кавычках целиком\""),
                            QStringLiteral("C:\\Программы\\x41 = 1"),
                            QStringLiteral("@начало"),
                            QStringLiteral("@ByteArray(нет)"),
                            QStringLiteral("строка\nи\tтаб"),
                            QStringLiteral("0 1 2 \\0 \\x7")};
    {
        ProfileFile file(ProfileFile::userFile());
        file.keepReadValues();
        for (int i = 0; i < texts.size(); ++i)
            file.setValue(QStringLiteral("UserInfo/Text%1").arg(i), texts.at(i));
        file.sync();
        QCOMPARE(file.status(), QSettings::NoError);
    }
    const ProfileFile file(ProfileFile::userFile());
    for (int i = 0; i < texts.size(); ++i)
        QCOMPARE(file.text(QStringLiteral("UserInfo/Text%1").arg(i)), texts.at(i));
    QCOMPARE(file.text(QStringLiteral("UserInfo/UserIian")), QStringLiteral("12;34 \"5\""));
}

QTEST_MAIN(TestStatisticsViewModel)
#include "TestStatisticsViewModel.moc"
