#include "AppVariables.h"
#include "TestHome.h"

#include <QtTest>

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>

class TestAppVariables : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void substitute_data();
    void substitute();
    void dateTimeIsStartTimeWithSafeCharacters();
    void namesAreLowerCasedAndSorted();
    void laterNameReplacesEarlier();
    void locations();
    void buildSettings();

private:
    const AppVariables& vars = AppVariables::sm_stdVars;
};

void TestAppVariables::initTestCase()
{
    TestHome::useApplicationIdentity();
    qputenv("SCRIVORA_TEST_VALUE", "value");
    qputenv("SCRIVORA_TEST_NESTED", "${build:Version}");
    qunsetenv("SCRIVORA_TEST_UNSET");
}

void TestAppVariables::substitute_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no variable") << "plain text" << "plain text";
    QTest::newRow("unknown") << "a${Unknown}b" << "ab";
    QTest::newRow("empty name") << "a${}b" << "ab";
    QTest::newRow("build version") << "${build:Version} (Linux)" << "7.2.400 (Linux)";
    QTest::newRow("case-insensitive name") << "${BUILD:Version}" << "7.2.400";
    QTest::newRow("option keeps its case") << "[${build:version}]" << "[]";
    QTest::newRow("environment") << "${env:SCRIVORA_TEST_VALUE}/x" << "value/x";
    QTest::newRow("unset environment") << "${env:SCRIVORA_TEST_UNSET}/x" << "/x";
    QTest::newRow("single pass") << "${env:SCRIVORA_TEST_NESTED}" << "${build:Version}";
    QTest::newRow("lone dollar") << "costs $5 {x}" << "costs $5 {x}";
    QTest::newRow("never closed") << "a ${build:Version" << "a ${build:Version";
    QTest::newRow("unclosed before a later variable")
        << "${oops and ${build:Version}" << "${oops and 7.2.400";
    QTest::newRow("unclosed option before a later variable")
        << "${build:Ver and ${env:SCRIVORA_TEST_VALUE}" << "${build:Ver and value";
    QTest::newRow("name cannot span lines") << "${a\nb}" << "${a\nb}";
    QTest::newRow("two in a row") << "${build:ShortAppName}${build:Version}" << "Quillora7.2.400";
}

void TestAppVariables::substitute()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(vars.substitute(text), expected);
}

void TestAppVariables::dateTimeIsStartTimeWithSafeCharacters()
{
    const QString name = vars.substitute(QStringLiteral("log_${DateTime:yyyy-MM-dd HH:mm:ss}.log"));
    QVERIFY2(QRegularExpression(QStringLiteral("^log_\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.log$"))
                 .match(name).hasMatch(), qPrintable(name));
    QTest::qWait(1100);
    QCOMPARE(vars.substitute(QStringLiteral("log_${DateTime:yyyy-MM-dd HH:mm:ss}.log")), name);
    QVERIFY(!vars.get(QStringLiteral("datetime"), QString()).contains(QLatin1Char(':')));
    QCOMPARE(vars.get(QStringLiteral("datetime"), QStringLiteral("a/b?c*d")).count(QLatin1Char('-')), 3);
}

void TestAppVariables::namesAreLowerCasedAndSorted()
{
    const QList<QString> names = vars.Names();
    QCOMPARE(names.size(), 26);
    QList<QString> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(names, sorted);
    for (const QString& name : names)
        QCOMPARE(name, name.toLower());
    QVERIFY(names.contains(QStringLiteral("applocaldatalocation")));
}

void TestAppVariables::laterNameReplacesEarlier()
{
    AppVariables table{{QStringLiteral("X"), [](const QString&) { return QStringLiteral("first"); }},
                       {QStringLiteral("x"), [](const QString& o) { return QStringLiteral("second ") + o; }}};
    QCOMPARE(table.Names(), QList<QString>{QStringLiteral("x")});
    QCOMPARE(table.substitute(QStringLiteral("${X:opt}")), QStringLiteral("second opt"));
}

void TestAppVariables::locations()
{
    QCOMPARE(vars.get(QStringLiteral("AppLocalDataLocation"), QString()),
             QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    QCOMPARE(vars.get(QStringLiteral("appbinarylocation"), QString()),
             QDir(QCoreApplication::applicationDirPath()).absolutePath());
    QCOMPARE(vars.get(QStringLiteral("SettingsLocation"), QString()),
             QFileInfo(TestHome::settingsFile()).absolutePath());
    QCOMPARE(vars.get(QStringLiteral("HelpFile"), QString()),
             QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("index.html")));
}

void TestAppVariables::buildSettings()
{
    QCOMPARE(vars.get(QStringLiteral("build"), QStringLiteral("AppName")), QStringLiteral("Quillora Client"));
    QCOMPARE(vars.get(QStringLiteral("build"), QStringLiteral("ClientAppName")),
             QStringLiteral("Quillora Client (Linux Qt)"));
    QCOMPARE(vars.get(QStringLiteral("build"), QStringLiteral("AppDescription")),
             QStringLiteral("Программа для голосового заполнения медицинской документации"));
    QVERIFY(vars.get(QStringLiteral("build"), QStringLiteral("ThemeUpdateText")).startsWith(QStringLiteral("\n\n")));
    QCOMPARE(vars.get(QStringLiteral("build"), QStringLiteral("NoSuchKey")), QString());
    QVERIFY(AppVariables::buildFlag(QStringLiteral("FillOrganisationUserInfo")));
    QVERIFY(!AppVariables::buildFlag(QStringLiteral("PunctuationEnabled")));
    QVERIFY(!AppVariables::buildFlag(QStringLiteral("NoSuchKey")));
}

QTEST_GUILESS_MAIN(TestAppVariables)
#include "TestAppVariables.moc"
