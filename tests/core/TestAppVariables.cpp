#include "AppVariables.h"
#include "TestHome.h"

#include <QtTest>

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

class TestAppVariables : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void substitute_data();
    void substitute();
    void dateTimeIsStartTimeWithSafeCharacters();
    void buildSettingsAndLocations();

private:
    const AppVariables& vars = AppVariables::sm_stdVars;
};

void TestAppVariables::initTestCase()
{
    TestHome::useApplicationIdentity();
    qputenv("SCRIVORA_TEST_VALUE", "value");
    qputenv("SCRIVORA_TEST_NESTED", "${build:Version}");
}

void TestAppVariables::substitute_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unknown") << "a${Unknown}b" << "ab";
    QTest::newRow("case-insensitive name") << "${BUILD:Version} (Linux)" << "7.2.400 (Linux)";
    QTest::newRow("option keeps its case") << "[${build:version}]" << "[]";
    QTest::newRow("environment") << "${env:SCRIVORA_TEST_VALUE}/x" << "value/x";
    QTest::newRow("single pass") << "${env:SCRIVORA_TEST_NESTED}" << "${build:Version}";
    QTest::newRow("never closed") << "a ${build:Version" << "a ${build:Version";
    QTest::newRow("unclosed before a later variable")
        << "${oops and ${build:Version}" << "${oops and 7.2.400";
    QTest::newRow("unclosed option before a later variable")
        << "${build:Ver and ${env:SCRIVORA_TEST_VALUE}" << "${build:Ver and value";
    QTest::newRow("name cannot span lines") << "${a\nb}" << "${a\nb}";
}

void TestAppVariables::substitute()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(vars.substitute(text), expected);
}

void TestAppVariables::dateTimeIsStartTimeWithSafeCharacters()
{
    const QString pattern = QStringLiteral("log_${DateTime:yyyy-MM-dd HH:mm:ss}.log");
    const QString name = vars.substitute(pattern);
    QVERIFY2(QRegularExpression(QStringLiteral("^log_\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.log$"))
                 .match(name).hasMatch(), qPrintable(name));
    QTest::qWait(1100);
    QCOMPARE(vars.substitute(pattern), name);
    QCOMPARE(vars.get(QStringLiteral("datetime"), QStringLiteral("a/b?c*d")).count(QLatin1Char('-')), 3);
}

void TestAppVariables::buildSettingsAndLocations()
{
    // Read from the UTF-8 resource.
    QCOMPARE(vars.get(QStringLiteral("build"), QStringLiteral("AppDescription")),
             QStringLiteral("Программа для голосового заполнения медицинской документации"));
    QVERIFY(AppVariables::buildFlag(QStringLiteral("FillOrganisationUserInfo")));
    QVERIFY(!AppVariables::buildFlag(QStringLiteral("NoSuchKey")));
    QCOMPARE(vars.get(QStringLiteral("SettingsLocation"), QString()),
             QFileInfo(TestHome::settingsFile()).absolutePath());
    QCOMPARE(vars.get(QStringLiteral("HelpFile"), QString()),
             QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("index.html")));
}

QTEST_GUILESS_MAIN(TestAppVariables)
#include "TestAppVariables.moc"
