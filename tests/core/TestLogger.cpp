#include "AppVariables.h"
#include "LogCategories.h"
#include "TestHome.h"
#include "logger.h"

#include <QtTest>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

QString logIniPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("log.ini"));
}

void writeLogIni(const QByteArray& contents)
{
    QFile file(logIniPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

QString readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QString fallbackLogFile()
{
    return AppVariables::sm_stdVars.substitute(
        QStringLiteral("${AppDataLocation}/logs/log_${DateTime:yyyy-MM-dd HH-mm-ss}.log"));
}

char arg0[] = "TestLogger";
char* argv[] = {arg0, nullptr};

} // namespace

// Runs in order: each case reconfigures the one process-wide logging set-up.
class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void missingFileUsesFallback();
    void emptyFileUsesFallback();
    void brokenFileUsesFallback();
    void fileConfigurationWithVariables();
    void fullLogFilesAreKeptUpToALimit();
};

void TestLogger::initTestCase()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    QFile::remove(logIniPath());
}

void TestLogger::cleanupTestCase()
{
    QFile::remove(logIniPath());
}

void TestLogger::missingFileUsesFallback()
{
    InitLogger(1, argv);
    qCWarning(lcConnectionManager) << "connection line";
    qDebug() << "uncategorised line";
    qCritical() << "critical line";

    const QString log = readAll(fallbackLogFile());
    QVERIFY2(!log.isEmpty(), qPrintable(fallbackLogFile()));
    QVERIFY(log.contains(QStringLiteral("File %1 not found").arg(logIniPath())));
    QVERIFY(log.contains(QStringLiteral("Cannot open logger configuration %1\n Error: ").arg(logIniPath())));
    QVERIFY(log.contains(QStringLiteral("Logger have used fallback configuration\n* GLOBAL:")));
    QVERIFY(log.contains(QStringLiteral("Logger started at ")));
    QVERIFY(log.contains(QStringLiteral("Version: ")));
    QVERIFY(log.contains(QStringLiteral("7.2.400")));
    // The fallback text is logged after substitution.
    QVERIFY(log.contains(QStringLiteral("FILENAME = \"%1\"").arg(fallbackLogFile())));
    // Milliseconds, not their last digit alone.
    QVERIFY(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d,\\d{3} WARNING: \\[ConnectionManager\\] connection line"))
                .match(log).hasMatch());
    QVERIFY(log.contains(QStringLiteral("DEBUG: [default] uncategorised line")));
    QVERIFY(log.contains(QStringLiteral("ERROR: [default] critical line")));
}

void TestLogger::emptyFileUsesFallback()
{
    writeLogIni(QByteArray());
    InitLogger(1, argv);
    const QString log = readAll(fallbackLogFile());
    QVERIFY(log.contains(QStringLiteral("Logger configuration %1 is empty").arg(logIniPath())));
    QCOMPARE(log.count(QStringLiteral("Logger have used fallback configuration")), 2);
}

void TestLogger::brokenFileUsesFallback()
{
    writeLogIni("this is not a logger configuration\n\x01\x02\n");
    InitLogger(1, argv);
    const QString log = readAll(fallbackLogFile());
    QVERIFY(log.contains(QStringLiteral("Cannot parse logger configuration %1").arg(logIniPath())));
    QCOMPARE(log.count(QStringLiteral("Logger have used fallback configuration")), 3);
    qWarning() << "still logging";
    QVERIFY(readAll(fallbackLogFile()).contains(QStringLiteral("still logging")));
}

void TestLogger::fileConfigurationWithVariables()
{
    writeLogIni("* GLOBAL:\n"
                "  FORMAT = \"%level [%logger] %msg\"\n"
                "  FILENAME = \"${AppDataLocation}/custom/${build:ShortAppName}.log\"\n"
                "  TO_FILE = true\n"
                "  TO_STANDARD_OUTPUT = false\n");
    InitLogger(1, argv);
    qCInfo(lcPulseAudioManager) << "from the file configuration";
    const QString path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/custom/Quillora.log");
    const QString log = readAll(path);
    QVERIFY2(log.contains(QStringLiteral("INFO [PulseAudioManager] from the file configuration")), qPrintable(log));
    QVERIFY(!log.contains(QStringLiteral("fallback")));
}

void TestLogger::fullLogFilesAreKeptUpToALimit()
{
    writeLogIni("* GLOBAL:\n"
                "  FORMAT = \"%msg\"\n"
                "  FILENAME = \"${AppDataLocation}/roll/small.log\"\n"
                "  TO_FILE = true\n"
                "  TO_STANDARD_OUTPUT = false\n"
                "  MAX_LOG_FILE_SIZE = 2000\n");
    InitLogger(1, argv);
    // About 28 kB: fourteen full files.
    const int lines = 1000;
    for (int i = 0; i < lines; ++i)
        qInfo().noquote() << QStringLiteral("line %1 of a long session").arg(i, 4, 10, QLatin1Char('0'));

    const QDir folder(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/roll"));
    QStringList expected{QStringLiteral("small.log")};
    for (int n = 1; n <= 10; ++n)
        expected << QStringLiteral("small.log.%1").arg(n);
    QStringList files = folder.entryList(QDir::Files);
    std::sort(expected.begin(), expected.end());
    QCOMPARE(files, expected);

    // Oldest first, the kept lines run without a gap up to the last one written.
    QStringList kept;
    for (int n = 10; n >= 1; --n)
        kept << readAll(folder.filePath(QStringLiteral("small.log.%1").arg(n))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    kept << readAll(folder.filePath(QStringLiteral("small.log"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(kept.size() < lines);
    const int first = lines - kept.size();
    for (int i = 0; i < kept.size(); ++i)
        QCOMPARE(kept.at(i), QStringLiteral("line %1 of a long session").arg(first + i, 4, 10, QLatin1Char('0')));
}

QTEST_GUILESS_MAIN(TestLogger)
#include "TestLogger.moc"
