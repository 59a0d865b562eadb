#include "AppVariables.h"
#include "ChildProcess.h"
#include "FileSizeLimit.h"
#include "LogCategories.h"
#include "TestHome.h"
#include "logger.h"

#include <QtTest>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <memory>

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

QString logsFolder()
{
    return AppVariables::sm_stdVars.substitute(QStringLiteral("${AppDataLocation}/logs"));
}

// Named after the start time and the process, so no two starts share one.
QString fallbackLogFile()
{
    return AppVariables::sm_stdVars.substitute(QStringLiteral("${AppDataLocation}/logs/log_${DateTime:yyyy-MM-dd HH-mm-ss}_%1.log")
                                                   .arg(QCoreApplication::applicationPid()));
}

void touch(const QString& path, const QDateTime& modified)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write("earlier start\n") > 0 && file.flush());
    QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
}

// Where the full-disk case runs in a child with a small tmpfs mounted there.
const char FullDiskVariable[] = "SCRIVORA_TEST_FULL_DISK";
// The child's exit code when no tmpfs could be mounted.
constexpr int NoTmpfs = 77;

// Fills the file system of `folder` until a write fails; false when nothing did.
bool fillDisk(const QString& folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(4096, 'x');
    for (int i = 0; i < 1024; ++i) {
        if (filler.write(block) < block.size() || !filler.flush())
            return true;
    }
    return false;
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
    void badFilesUseFallback();
    void fileConfigurationWithVariables();
    void fullLogFilesAreKeptUpToALimit();
    void fullDiskKeepsTheLog();
    void onlyTheNewestStartsKeepTheirFiles();
};

void TestLogger::initTestCase()
{
    TestHome::useApplicationIdentity();
    // The full-disk child must leave the files of its parent's cases alone.
    if (!qEnvironmentVariableIsSet(FullDiskVariable))
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

    const QString log = readAll(fallbackLogFile());
    QVERIFY(log.contains(QStringLiteral("File %1 not found").arg(logIniPath())));
    QVERIFY(log.contains(QStringLiteral("Logger have used fallback configuration\n* GLOBAL:")));
    QVERIFY(log.contains(QStringLiteral("7.2.400")));
    // The fallback text is logged after substitution.
    QVERIFY(log.contains(QStringLiteral("FILENAME = \"%1\"").arg(fallbackLogFile())));
    // Milliseconds, not their last digit alone.
    QVERIFY(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d,\\d{3} WARNING: \\[ConnectionManager\\] connection line"))
                .match(log).hasMatch());
    QVERIFY(log.contains(QStringLiteral("DEBUG: [default] uncategorised line")));
}

void TestLogger::badFilesUseFallback()
{
    const QList<QPair<QByteArray, QString>> cases{
        {QByteArray(), QStringLiteral("Logger configuration %1 is empty")},
        {"this is not a logger configuration\n\x01\x02\n", QStringLiteral("Cannot parse logger configuration %1")}};
    for (const auto& bad : cases) {
        writeLogIni(bad.first);
        InitLogger(1, argv);
        QVERIFY(readAll(fallbackLogFile()).contains(bad.second.arg(logIniPath())));
    }
    qWarning() << "still logging";
    const QString log = readAll(fallbackLogFile());
    QCOMPARE(log.count(QStringLiteral("Logger have used fallback configuration")), 3);
    QVERIFY(log.contains(QStringLiteral("still logging")));
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

// A failed write once counted as a full file: every line shifted the kept
// files again, and the session's log was pushed out and deleted within lines.
void TestLogger::fullDiskKeepsTheLog()
{
    const QString mounted = qEnvironmentVariable(FullDiskVariable);
    const QString folder = mounted.isEmpty() ? TestHome::path() + QStringLiteral("/full") : mounted;
    if (mounted.isEmpty()) {
        // A real full disk where a tmpfs can be mounted (as root, or in a user namespace).
        QVERIFY(QDir().mkpath(folder));
        ChildProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(FullDiskVariable), folder);
        child.setProcessEnvironment(environment);
        child.collectOutput();
        child.start(QStringLiteral("unshare"),
                    {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
                     QStringLiteral("mount -t tmpfs -o size=64k scrivora-test \"$0\" || exit %1; exec \"$1\" fullDiskKeepsTheLog")
                         .arg(NoTmpfs),
                     folder, QCoreApplication::applicationFilePath()});
        const bool ended = child.waitToEnd(TestHome::scaled(30000));
        if (!ended || child.exitStatus() != QProcess::NormalExit || child.exitCode() != NoTmpfs) {
            QVERIFY2(ended && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                     qPrintable(child.output()));
            return;
        }
        qInfo() << "No tmpfs could be mounted: a file size limit stands in for the full disk";
    }

    writeLogIni(QStringLiteral("* GLOBAL:\n"
                               "  FORMAT = \"%msg\"\n"
                               "  FILENAME = \"%1/small.log\"\n"
                               "  TO_FILE = true\n"
                               "  TO_STANDARD_OUTPUT = false\n"
                               "  MAX_LOG_FILE_SIZE = 100000\n")
                    .arg(folder)
                    .toUtf8());
    QStringList told;
    setLogWriteFailureHandler([&told](const QString& path) { told << path; });
    InitLogger(1, argv);
    const QString log = folder + QStringLiteral("/small.log");
    for (int i = 0; i < 10; ++i)
        qInfo().noquote() << QStringLiteral("line %1 before the disk filled").arg(i);
    const QByteArray before = readAll(log).toUtf8();
    QVERIFY(before.endsWith("line 9 before the disk filled\n"));

    {
        std::unique_ptr<FileSizeLimit> limit;
        if (mounted.isEmpty()) {
            limit = std::make_unique<FileSizeLimit>(rlim_t(before.size()));
            QFile filler(folder + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(fillDisk(folder));
        }
        // Longer than what is left of the log's last block on the tmpfs.
        for (int i = 0; i < 90; ++i)
            qInfo().noquote() << QStringLiteral("line %1 on a full disk ").arg(i) + QString(80, QLatin1Char('.'));
        QCOMPARE(QDir(folder).entryList(QDir::Files).join(QLatin1Char(' ')), QStringLiteral("filler small.log"));
        QVERIFY(readAll(log).toUtf8().startsWith(before));
        QCOMPARE(told, QStringList{log});
        QFile::remove(folder + QStringLiteral("/filler"));
    }
    qInfo().noquote() << "a line once there is room again";
    setLogWriteFailureHandler({});
    QVERIFY(readAll(log).toUtf8().startsWith(before));
    QVERIFY(readAll(log).endsWith(QStringLiteral("a line once there is room again\n")));
    QCOMPARE(told.size(), 1);
}

// Twenty starts' files are kept, this start's among them, each with its full copies.
void TestLogger::onlyTheNewestStartsKeepTheirFiles()
{
    QFile::remove(logIniPath());
    const QDir folder(logsFolder());
    // This process's own file stays: the library keeps writing to it.
    const QString current = QFileInfo(fallbackLogFile()).fileName();
    for (const QString& name : folder.entryList(QDir::Files)) {
        if (name != current)
            QVERIFY(QFile::remove(folder.filePath(name)));
    }
    const QDateTime now = QDateTime::currentDateTime();
    // Start 0 is the oldest; its name sorts last, so the age is what counts.
    QStringList earlier;
    for (int start = 0; start < 25; ++start) {
        const QString name = QStringLiteral("log_2031-01-01 00-00-%1_%2.log").arg(99 - start).arg(1000 + start);
        earlier << name;
        touch(folder.filePath(name), now.addSecs(-3600 + start * 60));
        if (start % 5 == 0)
            touch(folder.filePath(name + QStringLiteral(".1")), now.addSecs(-7200 + start * 60));
    }
    // A full copy written lately keeps an old start's file.
    touch(folder.filePath(earlier.at(1) + QStringLiteral(".2")), now.addSecs(-60));
    touch(folder.filePath(QStringLiteral("notes.txt")), now.addSecs(-86400));

    InitLogger(1, argv);
    qInfo() << "this start";

    QStringList expected{current, QStringLiteral("notes.txt"),
                         earlier.at(1), earlier.at(1) + QStringLiteral(".2")};
    for (int start = 7; start < 25; ++start) {
        expected << earlier.at(start);
        if (start % 5 == 0)
            expected << earlier.at(start) + QStringLiteral(".1");
    }
    QStringList files = folder.entryList(QDir::Files);
    std::sort(expected.begin(), expected.end());
    QCOMPARE(files, expected);
    QVERIFY(readAll(fallbackLogFile()).contains(QStringLiteral("this start")));
}

QTEST_GUILESS_MAIN(TestLogger)
#include "TestLogger.moc"
