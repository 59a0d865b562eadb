#include "ASRSettings.h"
#include "AsrManager.h"
#include "ConveterException.h"
#include "FakeThemeList.h"
#include "RecognitionSettingsViewModel.h"
#include "SettingsSnapshot.h"
#include "SignalRecorder.h"
#include "TestHome.h"
#include "ThemeChooseViewModel.h"
#include "ValidatableInt32.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

#include <memory>

namespace {
// "b:2 a:1": themes b and a with those composition types, in that order.
QJsonArray records(const QString& layout)
{
    QJsonArray themes;
    for (const QString& entry : layout.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString id = entry.section(QLatin1Char(':'), 0, 0);
        themes.append(QJsonObject{{"Id", id}, {"Name", id + " name"}, {"CompositionType", entry.section(':', 1).toInt()}});
    }
    return themes;
}

QStringList listedIds(const ThemeChooseViewModel& chooser)
{
    QStringList ids;
    for (int i = 0; i < chooser.choices()->count(); ++i)
        ids << chooser.choices()->itemAt(i)->get_Id();
    return ids;
}

void storeTheme(const QString& id)
{
    ASRSettings settings;
    settings.SelectedTheme = id;
    settings.sync();
}
} // namespace

// The theme chooser against a fake REST theme list through the real
// recognition manager, and the recognition page that stores the choice.
class TestThemeChoice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::useApplicationIdentity(); }
    void init();
    void loadOrdersFiltersAndKeepsTheChoice_data();
    void loadOrdersFiltersAndKeepsTheChoice();
    void validation_data();
    void validation();
    void pageApplyStoresAndSignals_data();
    void pageApplyStoresAndSignals();
    void missingThemeListNeitherBlocksNorForgets_data();
    void missingThemeListNeitherBlocksNorForgets();
    void selectedThemeReadByQmlNeverThrows();

private:
    std::unique_ptr<FakeThemeList> server;
    std::unique_ptr<AsrManager> asr;
};

void TestThemeChoice::init()
{
    TestHome::wipe();
    server = std::make_unique<FakeThemeList>(QStringList());
    asr = std::make_unique<AsrManager>(nullptr);
}

void TestThemeChoice::loadOrdersFiltersAndKeepsTheChoice_data()
{
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QString>("reoffered");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("selectionSignals");

    QTest::newRow("all of type 0: all listed") << "a:0 b:0" << "" << -1 << "" << QStringList{"a", "b"} << 0 << 1;
    QTest::newRow("the stored theme") << "a:1 b:2 d:1" << "d" << -1 << "" << QStringList{"b", "a", "d"} << 2 << 1;
    QTest::newRow("stored theme not listed: the first")
        << "a:1 b:2 c:0" << "c" << -1 << "" << QStringList{"b", "a"} << 0 << 1;
    QTest::newRow("nothing offered") << "" << "" << -1 << "" << QStringList() << -1 << 0;
    QTest::newRow("reload keeps the choice by id in a new order")
        << "a:1 b:1 c:1" << "" << 2 << "c:2 a:1 b:1" << QStringList{"c", "a", "b"} << 0 << 3;
    QTest::newRow("reload without the chosen theme: the first")
        << "a:1 b:1" << "" << 1 << "a:1 c:1" << QStringList{"a", "c"} << 0 << 3;
}

void TestThemeChoice::loadOrdersFiltersAndKeepsTheChoice()
{
    QFETCH(QString, offered);
    QFETCH(QString, stored);
    QFETCH(int, chosen);
    QFETCH(QString, reoffered);
    QFETCH(QStringList, ids);
    QFETCH(int, index);
    storeTheme(stored);
    server->offerRecords(records(offered));
    // As the connection does before anyone chooses.
    asr->get_Themes(true);

    ThemeChooseViewModel chooser;
    chooser.set_AsrManager(asr.get());
    QSignalSpy selection(&chooser, &ThemeChooseViewModel::changed_SelectedTheme);
    chooser.Load();
    if (chosen >= 0)
        chooser.selectedIndexField()->set_IntValue(chosen);
    if (!reoffered.isEmpty()) {
        server->offerRecords(records(reoffered));
        asr->get_Themes(true);
        chooser.Load();
    }
    QCOMPARE(listedIds(chooser), ids);
    QCOMPARE(chooser.selectedIndexField()->get_IntValue(), index);
    QTEST(selection.count(), "selectionSignals");
    ThemeInfoViewModel* selected = chooser.get_SelectedTheme();
    QCOMPARE(selected ? selected->get_Id() : QString(), ids.value(index));
    // Loading never validates.
    QVERIFY(chooser.get_NeedShow());
}

void TestThemeChoice::validation_data()
{
    QTest::addColumn<QString>("offered");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("error");

    QTest::newRow("nothing offered") << "" << -1 << "Отсутствуют словари на сервере";
    QTest::newRow("nothing chosen") << "a:1 b:1" << -1 << "Необходимо выбрать словарь";
    QTest::newRow("past the end: valid, but no theme") << "a:1 b:1" << 5 << "";
}

void TestThemeChoice::validation()
{
    QFETCH(QString, offered);
    QFETCH(int, index);
    QFETCH(QString, error);
    server->offerRecords(records(offered));
    ThemeChooseViewModel chooser;
    chooser.set_AsrManager(asr.get());
    QSignalSpy refilled(&chooser, &ThemeChooseViewModel::choicesRefilled);
    // Nothing known yet: the list is fetched in the background.
    chooser.Load();
    QVERIFY(refilled.wait(TestHome::scaled(5000)));
    chooser.selectedIndexField()->set_IntValue(index);

    QSignalSpy failed(chooser.selectedIndexField(), &ValidatableText::validateFailed);
    QCOMPARE(chooser.Validate(), error.isEmpty());
    QCOMPARE(chooser.selectedIndexField()->get_Error(), error);
    QCOMPARE(failed.count(), error.isEmpty() ? 0 : 1);
    QCOMPARE(chooser.get_NeedShow(), !error.isEmpty());
    if (index >= chooser.choices()->count())
        QVERIFY(!chooser.get_SelectedTheme());
}

void TestThemeChoice::pageApplyStoresAndSignals_data()
{
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QStringList>("emitted");

    QTest::newRow("nothing changed") << QStringList() << QStringList() << QStringList();
    QTest::newRow("word list editing: the tray first")
        << QStringList{"CanEditKivaroWords=true"} << QStringList{"ASR/CanEditKivaroWords=true"}
        << QStringList{"canEditKivaroChanged(true)", "recognitionSettingsChanged()"};
    QTest::newRow("theme and sending mode")
        << QStringList{"theme=1", "SendingMode=false"} << QStringList{"ASR/SelectedTheme=b", "ASR/SendingMode=false"}
        << QStringList{"recognitionSettingsChanged()", "selectedThemeChanged()"};
    QTest::newRow("nothing chosen") << QStringList{"theme=7"} << QStringList{"ASR/SelectedTheme="}
                                    << QStringList{"selectedThemeChanged()"};
}

void TestThemeChoice::pageApplyStoresAndSignals()
{
    QFETCH(QStringList, edits);
    storeTheme(QStringLiteral("a"));
    server->offerRecords(records(QStringLiteral("a:1 b:1")));
    asr->get_Themes(true);
    RecognitionSettingsViewModel page;
    page.set_AsrManager(asr.get());
    page.onLoad();
    for (const QString& edit : edits) {
        const QString name = edit.section(QLatin1Char('='), 0, 0);
        const QString value = edit.section(QLatin1Char('='), 1);
        if (name == QLatin1String("theme"))
            page.themeChooser()->selectedIndexField()->set_IntValue(value.toInt());
        else
            QVERIFY(page.setProperty(qPrintable(name), value == QLatin1String("true")));
    }

    SignalRecorder recorder(&page);
    const SettingsSnapshot before;
    QVERIFY(page.applyCommand());
    QTEST(before.changesSince(), "changes");
    QTEST(recorder.take(), "emitted");
}

void TestThemeChoice::missingThemeListNeitherBlocksNorForgets_data()
{
    QTest::addColumn<QString>("offered");
    QTest::addColumn<bool>("fetchFails");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("the server offers none") << "" << false << QStringList();
    QTest::newRow("the list cannot be fetched") << "a:1" << true << QStringList();
    QTest::newRow("the list comes late") << "b:1 a:1" << false << QStringList{"b", "a"};
}

void TestThemeChoice::missingThemeListNeitherBlocksNorForgets()
{
    QFETCH(QString, offered);
    QFETCH(bool, fetchFails);
    QFETCH(QStringList, ids);
    storeTheme(QStringLiteral("a"));
    server->offerRecords(records(offered));
    if (fetchFails)
        server->fail();
    server->hold();
    RecognitionSettingsViewModel page;
    page.set_AsrManager(asr.get());
    page.onLoad();
    ThemeChooseViewModel* chooser = page.themeChooser();
    // Open at once, while the server still holds the request.
    QTRY_COMPARE_WITH_TIMEOUT(server->requestCount(), 1, TestHome::scaled(5000));
    QVERIFY(asr->isFetchingThemes());
    QCOMPARE(chooser->choices()->count(), 0);
    QCOMPARE(chooser->selectedIndexField()->get_Error(), QStringLiteral("Список словарей загружается…"));

    QSignalSpy refilled(chooser, &ThemeChooseViewModel::choicesRefilled);
    server->answerHeld();
    QVERIFY(refilled.wait(TestHome::scaled(5000)));
    QCOMPARE(listedIds(*chooser), ids);
    if (!ids.isEmpty()) {
        QCOMPARE(chooser->get_SelectedTheme()->get_Id(), QStringLiteral("a"));
        QCOMPARE(chooser->selectedIndexField()->get_Error(), QString());
        return;
    }
    // Shown in place of the list, and still the chooser's own verdict.
    QCOMPARE(chooser->selectedIndexField()->get_Error(), QStringLiteral("Отсутствуют словари на сервере"));
    QVERIFY(!chooser->Validate());

    page.set_SendingMode(!page.get_SendingMode());
    const SettingsSnapshot before;
    QVERIFY(page.applyCommand());
    QCOMPARE(before.changesSince(), QStringList{"ASR/SendingMode=false"});
    QCOMPARE(QString(ASRSettings().SelectedTheme), QStringLiteral("a"));
}

void TestThemeChoice::selectedThemeReadByQmlNeverThrows()
{
    ThemeChooseViewModel chooser;
    chooser.selectedIndexField()->SetText(QStringLiteral("x"));
    QVERIFY_EXCEPTION_THROWN(chooser.get_SelectedTheme(), ConveterException);
    QTest::ignoreMessage(QtWarningMsg, "Error in ThemeChooseViewModel::get_SelectedTheme: Cannot convert");
    QCOMPARE(chooser.property("SelectedTheme").value<QObject*>(), nullptr);
}

QTEST_MAIN(TestThemeChoice)
#include "TestThemeChoice.moc"
