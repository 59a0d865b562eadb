#include "AboutSettingsViewModel.h"
#include "GeneralSystemInformationManager.h"

#include "ChildProcess.h"
#include "EventLoopProbe.h"
#include "StayingProgram.h"
#include "TestHome.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
QString runTar(const QStringList& arguments)
{
    ChildProcess tar;
    tar.start(QStringLiteral("tar"), arguments);
    if (!tar.waitForFinished(TestHome::scaled(30000)) || tar.exitCode() != 0)
        return QString();
    return QStringLiteral("") + QString::fromUtf8(tar.readAllStandardOutput());
}

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The About page with its two dialogs answered by the test.
class ScriptedAboutPage : public AboutSettingsViewModel
{
public:
    QString answer;
    int asked = 0;
    QStringList errorsShown;
    QStringList savedShown;

protected:
    QString chooseArchivePath() override
    {
        ++asked;
        return answer;
    }
    void showArchiveSaved(const QString& path) override { savedShown << path; }
    void showArchiveError(const QString& text) override { errorsShown << text; }
};
} // namespace

// The diagnostic archive as the user gets it: what it holds, and that a failed
// or cancelled run leaves no half-written file and never clobbers one silently.
class TestSystemInformationArchive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void archiveContents_data();
    void archiveContents();
    void failuresLeaveNoArchive_data();
    void failuresLeaveNoArchive();
    void aboutPage();
    void archiveLeavesTheEventLoopFree_data();
    void archiveLeavesTheEventLoopFree();
    void quitWhileArchiving();
    void suggestedFolder();

private:
    // Puts a stand-in tar first on PATH for the rest of the case.
    void fakeTar(const QByteArray& script);

    QTemporaryDir work;
    QByteArray originalPath;
};

void TestSystemInformationArchive::initTestCase()
{
    TestHome::useApplicationIdentity();
    originalPath = qgetenv("PATH");
}

void TestSystemInformationArchive::init()
{
    TestHome::wipe();
    QDir(work.path()).removeRecursively();
    QDir().mkpath(work.path());
}

void TestSystemInformationArchive::cleanup()
{
    qputenv("PATH", originalPath);
}

void TestSystemInformationArchive::fakeTar(const QByteArray& script)
{
    const QString bin = work.filePath(QStringLiteral("bin"));
    writeFile(bin + QStringLiteral("/tar"), "#!/bin/sh\n" + script + "\n");
    QFile::setPermissions(bin + QStringLiteral("/tar"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    qputenv("PATH", QFile::encodeName(bin) + ':' + originalPath);
}

void TestSystemInformationArchive::archiveContents_data()
{
    QTest::addColumn<bool>("withLogs");
    QTest::newRow("logs and configuration") << true;
    QTest::newRow("no logs folder") << false;
}

void TestSystemInformationArchive::archiveContents()
{
    QFETCH(bool, withLogs);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (withLogs) {
        writeFile(data + QStringLiteral("/logs/log_1.log"), "first");
        writeFile(data + QStringLiteral("/logs/old/log_0.log"), "older");
        writeFile(data + QStringLiteral("/logs/.hidden"), "no");
    }
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    writeFile(config + QStringLiteral("/settings.ini"), "[ClientInfo]\r\nDesktopId=X\r\n");

    const QString archive = work.filePath(QStringLiteral("SysInfo.tar.gz"));
    GeneralSystemInformationManager manager;
    QVERIFY2(manager.CollectSystemInformation(archive), qPrintable(manager.errorText()));

    QStringList entries = runTar({QStringLiteral("-tzf"), archive}).split('\n', Qt::SkipEmptyParts);
    entries.sort();
    QStringList expected{"./", "./Environment.txt", "./configs/", "./configs/settings.ini"};
    if (withLogs)
        expected << "./logs/" << "./logs/log_1.log" << "./logs/old/" << "./logs/old/log_0.log";
    expected.sort();
    QCOMPARE(entries, expected);

    const QString unpacked = work.filePath(QStringLiteral("unpacked"));
    QDir().mkpath(unpacked);
    QVERIFY(!runTar({QStringLiteral("-xzf"), archive, QStringLiteral("-C"), unpacked}).isNull());
    QCOMPARE(readFile(unpacked + QStringLiteral("/configs/settings.ini")), QByteArray("[ClientInfo]\r\nDesktopId=X\r\n"));

    const QString environment = QString::fromUtf8(readFile(unpacked + QStringLiteral("/Environment.txt")));
    QVERIFY(environment.endsWith(QStringLiteral("\r\n\n")));
    const QStringList lines = environment.chopped(3).split(QStringLiteral("\r\n"));
    QVERIFY(lines.size() > 8);
    const QStringList prefixes{"version: ", "build architecture: ", "current architecture: ", "OS: ",
                               "product name: ", "ram: ; RAM: ", "", "storage:"};
    for (int i = 0; i < prefixes.size(); ++i)
        QVERIFY2(lines.at(i).startsWith(prefixes.at(i)) && (i != 6 || lines.at(i).isEmpty()), qPrintable(lines.at(i)));
    const QString memTotal = QString::fromLatin1(readFile(QStringLiteral("/proc/meminfo")))
                                 .section(QStringLiteral("MemTotal:"), 1)
                                 .section(QStringLiteral("kB"), 0, 0)
                                 .trimmed();
    QCOMPARE(lines.at(5), QStringLiteral("ram: ; RAM: %1 MB").arg(memTotal.toLongLong() / 1024));
    const QRegularExpression volume(QStringLiteral("^.+ - .*: \\d+/\\d+MB$"));
    for (int i = prefixes.size(); i < lines.size(); ++i)
        QVERIFY2(volume.match(lines.at(i)).hasMatch(), qPrintable(lines.at(i)));
    // Every mount the kernel lists, the pseudo file systems included.
    const QStringList mounts = QString::fromLocal8Bit(readFile(QStringLiteral("/proc/self/mounts"))).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size() - prefixes.size(), mounts.size());
    QVERIFY2(lines.contains(QStringLiteral("/proc - proc: 0/0MB")), qPrintable(lines.join('\n')));
}

void TestSystemInformationArchive::failuresLeaveNoArchive_data()
{
    QTest::addColumn<QByteArray>("tar");
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("error");

    const QByteArray fails = "echo partial > \"$4\"; exit 2";
    const QByteArray hangs = "echo partial > \"$4\"; exec sleep 30";
    QTest::newRow("tar fails") << fails << QByteArray() << false << false << "код 2";
    QTest::newRow("tar hangs") << hangs << QByteArray() << false << false << "не завершила работу";
    QTest::newRow("existing file kept") << QByteArray() << QByteArray("mine") << false << false << "уже существует";
    QTest::newRow("failure keeps the old file") << fails << QByteArray("mine") << true << false << "код 2";
    QTest::newRow("replacing when asked") << QByteArray() << QByteArray("mine") << true << true << "";
}

void TestSystemInformationArchive::failuresLeaveNoArchive()
{
    QFETCH(QByteArray, tar);
    QFETCH(QByteArray, existing);
    QFETCH(bool, replace);
    QFETCH(bool, written);
    QFETCH(QString, error);

    if (!tar.isEmpty())
        fakeTar(tar);
    const QString archive = work.filePath(QStringLiteral("out/SysInfo.tar.gz"));
    QDir().mkpath(QFileInfo(archive).absolutePath());
    if (!existing.isEmpty())
        writeFile(archive, existing);

    GeneralSystemInformationManager manager;
    // Long enough for the failing tar to end on a loaded machine, short for the hanging one.
    manager.setProgramTimeout(TestHome::scaled(1000));
    if (!error.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^System information archive not written: ")));
    QCOMPARE(manager.CollectSystemInformation(archive, replace), written);
    QVERIFY2(manager.errorText().contains(error), qPrintable(manager.errorText()));

    // Only the archive's own name is left in its folder: no partial file beside it.
    const QStringList left = QDir(QFileInfo(archive).absolutePath()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, existing.isEmpty() && !written ? QStringList() : QStringList{"SysInfo.tar.gz"});
    if (!existing.isEmpty())
        QCOMPARE(readFile(archive) == existing, !written);
}

void TestSystemInformationArchive::aboutPage()
{
    ScriptedAboutPage page;
    // A cancelled dialog does nothing.
    emit page.getSystemInfo();
    QCOMPARE(page.errorsShown, QStringList());

    QCOMPARE(page.savedShown, QStringList());

    page.answer = work.filePath(QStringLiteral("SysInfo.tar.gz"));
    emit page.getSystemInfo();
    QTRY_COMPARE_WITH_TIMEOUT(page.savedShown, QStringList{page.answer}, TestHome::scaled(30000));
    QCOMPARE(page.errorsShown, QStringList());
    QVERIFY(runTar({QStringLiteral("-tzf"), page.answer}).contains(QStringLiteral("./configs/settings.ini")));

    page.answer = work.filePath(QStringLiteral("missing/SysInfo.tar.gz"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^System information archive not written: ")));
    emit page.getSystemInfo();
    QTRY_COMPARE_WITH_TIMEOUT(page.errorsShown.size(), 1, TestHome::scaled(30000));
    QCOMPARE(page.savedShown.size(), 1);
}

void TestSystemInformationArchive::archiveLeavesTheEventLoopFree_data()
{
    QTest::addColumn<int>("logMegabytes");
    QTest::addColumn<QByteArray>("tarDelay");
    QTest::newRow("large log folder") << 48 << QByteArray();
    QTest::newRow("slow tar") << 1 << QByteArray("sleep 2");
}

// Tray menu, hotkeys and quitting are heard while the archive is written.
void TestSystemInformationArchive::archiveLeavesTheEventLoopFree()
{
    QFETCH(int, logMegabytes);
    QFETCH(QByteArray, tarDelay);
    const QString logs = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/logs");
    QVERIFY(QDir().mkpath(logs));
    QByteArray noise(1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < logMegabytes; ++i) {
        // Random bytes: gzip gets nothing for free.
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        QFile log(logs + QStringLiteral("/log_%1.log").arg(i / 8));
        QVERIFY(log.open(QIODevice::Append));
        QCOMPARE(log.write(noise), qint64(noise.size()));
    }
    if (!tarDelay.isEmpty())
        fakeTar(tarDelay + "\nexec " + QFile::encodeName(QStandardPaths::findExecutable("tar")) + " \"$@\"");

    ScriptedAboutPage page;
    page.answer = work.filePath(QStringLiteral("SysInfo.tar.gz"));
    EventLoopProbe probe;
    emit page.getSystemInfo();
    QTRY_COMPARE_WITH_TIMEOUT(page.savedShown.size() + page.errorsShown.size(), 1, TestHome::scaled(60000));
    const qint64 stall = probe.longestStall();
    qInfo("Archive of %d MB of logs written in %lld ms; the event loop stood still for at most %lld ms", logMegabytes,
          probe.elapsed(), stall);
    QCOMPARE(page.errorsShown, QStringList());
    QVERIFY(runTar({QStringLiteral("-tzf"), page.answer}).contains(QStringLiteral("./logs/log_0.log")));
    QVERIFY2(stall < TestHome::scaled(500), qPrintable(QString::number(stall)));
}

// Quitting while tar runs ends it at once and leaves nothing behind; a second
// request meanwhile is not taken.
void TestSystemInformationArchive::quitWhileArchiving()
{
    const QString pidFile = work.filePath(QStringLiteral("tar.pid"));
    fakeTar(StayingProgram::script(pidFile));
    const QString folder = work.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(folder));
    auto page = std::make_unique<ScriptedAboutPage>();
    page->answer = QDir(folder).filePath(QStringLiteral("SysInfo.tar.gz"));
    EventLoopProbe probe;
    emit page->getSystemInfo();
    const pid_t tar = StayingProgram::waitForPid(pidFile, TestHome::scaled(10000));
    QVERIFY(tar > 0);
    QVERIFY(StayingProgram::isRunning(tar));
    emit page->getSystemInfo();
    QCOMPARE(page->asked, 1);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^System information archive not written: ")));
    const qint64 quitting = EventLoopProbe::timed([&] { page.reset(); });
    QVERIFY2(quitting < TestHome::scaled(1000), qPrintable(QString::number(quitting)));
    QVERIFY2(probe.longestStall() < TestHome::scaled(1000), qPrintable(QString::number(probe.longestStall())));
    QVERIFY(!StayingProgram::isRunning(tar));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestSystemInformationArchive::suggestedFolder()
{
    const QByteArray home = qgetenv("HOME");
    const QString fakeHome = work.filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(fakeHome));
    qputenv("HOME", QFile::encodeName(fakeHome));
    // Not the folder the program was started in.
    const QString withoutDesktop = AboutSettingsViewModel::suggestedArchivePath();
    QVERIFY(QDir().mkpath(fakeHome + QStringLiteral("/Desktop")));
    const QString withDesktop = AboutSettingsViewModel::suggestedArchivePath();
    qputenv("HOME", home);
    QCOMPARE(withoutDesktop, fakeHome + QStringLiteral("/SysInfo.tar.gz"));
    QCOMPARE(withDesktop, fakeHome + QStringLiteral("/Desktop/SysInfo.tar.gz"));
}

QTEST_GUILESS_MAIN(TestSystemInformationArchive)
#include "TestSystemInformationArchive.moc"
