#include "ChildProcess.h"
#include "RunGuard.h"
#include "TestHome.h"

#include <QtTest>

#include <QElapsedTimer>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The guard of `key` taken in a child process with the given runtime and temporary folders.
void startHolder(ChildProcess& holder, const QString& key, const QString& runtime, const QString& temporary, bool keep,
                 const QMap<QString, QString>& more = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("TMPDIR"), temporary);
    for (auto variable = more.cbegin(); variable != more.cend(); ++variable)
        environment.insert(variable.key(), variable.value());
    holder.setProcessEnvironment(environment);
    holder.start(QCoreApplication::applicationDirPath() + QStringLiteral("/GuardHolder"),
                 keep ? QStringList{key, QStringLiteral("hold")} : QStringList{key});
}

// "held" or "refused"; empty when the holder did not decide within a few seconds.
QString decision(QProcess& holder)
{
    QElapsedTimer timer;
    timer.start();
    while (!holder.canReadLine() && timer.elapsed() < TestHome::scaled(5000))
        holder.waitForReadyRead(100);
    return QString::fromLatin1(holder.readLine()).trimmed();
}

// The lock path a guard of `key` chooses with these folders.
QString lockPathWith(const QString& key, const QString& runtime, const QString& temporary,
                     const QString& cache = QString())
{
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("TMPDIR", QFile::encodeName(temporary));
    if (!cache.isEmpty())
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
    return RunGuard(key).lockFilePath();
}

constexpr uid_t Nobody = 65534;

} // namespace

class TestRunGuard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killedHolderLetsTheNextCopyRun();
    void lockLivesInAPrivateFolder_data();
    void lockLivesInAPrivateFolder();
    void copiesStartedWithOtherFoldersMeet_data();
    void copiesStartedWithOtherFoldersMeet();
    void plantedLockPathLetsNoCopyRun_data();
    void plantedLockPathLetsNoCopyRun();
    void uncaughtExceptionIsLoggedAndExits_data();
    void uncaughtExceptionIsLoggedAndExits();

private:
    QTemporaryDir temporary;
};

void TestRunGuard::initTestCase()
{
    // Folders of this test alone: a running client keeps its lock elsewhere.
    QVERIFY(temporary.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(temporary.path()));
}

void TestRunGuard::killedHolderLetsTheNextCopyRun()
{
    const QString key = QUuid::createUuid().toString();
    ChildProcess holder;
    startHolder(holder, key, temporary.path(), temporary.path(), true);
    QCOMPARE(decision(holder), QStringLiteral("held"));

    RunGuard mine(key);
    QVERIFY(mine.lockFilePath().startsWith(temporary.path() + QLatin1Char('/')));
    QVERIFY(mine.isAnotherRunning());
    QVERIFY(!mine.tryToRun());
    QVERIFY(mine.problem().isEmpty());
    ::kill(pid_t(holder.processId()), SIGKILL);
    QVERIFY(holder.waitForFinished(TestHome::scaled(5000)));
    QVERIFY(!mine.isAnotherRunning());
    QVERIFY(mine.tryToRun());
    QVERIFY(!mine.isAnotherRunning()); // its own lock does not count
    QVERIFY(!RunGuard(key).tryToRun());
    mine.release();
    QVERIFY(RunGuard(key).tryToRun());
}

void TestRunGuard::lockLivesInAPrivateFolder_data()
{
    QTest::addColumn<QString>("runtime");
    QTest::addColumn<bool>("cacheTaken");
    QTest::addColumn<bool>("sharedTaken");
    QTest::addColumn<QString>("expected");
    QTest::newRow("runtime folder") << "private" << false << false << "runtime";
    QTest::newRow("no runtime folder") << "" << false << false << "cache";
    QTest::newRow("relative runtime folder") << "relative" << false << false << "cache";
    QTest::newRow("runtime folder writable by all") << "shared" << false << false << "cache";
    QTest::newRow("runtime folder of another user") << "foreign" << false << false << "cache";
    QTest::newRow("runtime folder behind a link") << "link" << false << false << "cache";
    // Someone else made "our" folder in a temporary folder shared by several users:
    // the user's own cache folder is out of their reach.
    QTest::newRow("own folder in the temporary folder taken by another user") << "" << false << true << "cache";
    QTest::newRow("cache folder unusable") << "" << true << false << "shared";
    QTest::newRow("cache folder unusable, own folder taken by another user") << "" << true << true << "";
}

void TestRunGuard::lockLivesInAPrivateFolder()
{
    QFETCH(QString, runtime);
    QFETCH(bool, cacheTaken);
    QFETCH(bool, sharedTaken);
    QFETCH(QString, expected);
    if ((runtime == QLatin1String("foreign") || sharedTaken) && ::geteuid() != 0)
        QSKIP("Only root can give a folder to another user");
    QTemporaryDir folders(temporary.filePath(QStringLiteral("folders-XXXXXX")));
    QVERIFY(folders.isValid());
    const QString tmp = folders.filePath(QStringLiteral("tmp"));
    const QString cache = folders.filePath(QStringLiteral("home/.cache"));
    const QString runtimeFolder = folders.filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(tmp) && QDir().mkpath(runtimeFolder));
    QVERIFY(QFile::setPermissions(runtimeFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QString runtimeVariable = runtimeFolder;
    if (runtime.isEmpty())
        runtimeVariable.clear();
    else if (runtime == QLatin1String("relative"))
        runtimeVariable = QStringLiteral("run");
    else if (runtime == QLatin1String("shared"))
        QCOMPARE(::chmod(QFile::encodeName(runtimeFolder).constData(), 0777), 0);
    else if (runtime == QLatin1String("foreign"))
        QCOMPARE(::chown(QFile::encodeName(runtimeFolder).constData(), Nobody, Nobody), 0);
    else if (runtime == QLatin1String("link"))
        QVERIFY(QFile::link(runtimeFolder, runtimeVariable = folders.filePath(QStringLiteral("run-link"))));
    const QString name = QStringLiteral("scrivora-%1").arg(::geteuid());
    const QString sharedFolder = tmp + QLatin1Char('/') + name;
    const QString cacheFolder = cache + QLatin1Char('/') + name;
    if (sharedTaken) {
        QVERIFY(QDir().mkpath(sharedFolder));
        QCOMPARE(::chown(QFile::encodeName(sharedFolder).constData(), Nobody, Nobody), 0);
    }
    if (cacheTaken) {
        // A file where the folder would be (a cache on a read-only home is another way).
        QVERIFY(QDir().mkpath(cache));
        QFile planted(cacheFolder);
        QVERIFY(planted.open(QIODevice::WriteOnly));
    }

    const QString key = QUuid::createUuid().toString();
    const QString lockPath = lockPathWith(key, runtimeVariable, tmp, cache);
    RunGuard guard(key);
    if (expected.isEmpty()) {
        QVERIFY(lockPath.isEmpty());
        QVERIFY(!guard.tryToRun());
        // Shown to the user in the refusal's box.
        QCOMPARE(guard.problem(), QStringLiteral("папка %1 не является личной папкой этого пользователя").arg(sharedFolder));
        return;
    }
    const QString expectedFolder = expected == QLatin1String("runtime") ? runtimeFolder
        : expected == QLatin1String("cache")                          ? cacheFolder
                                                                       : sharedFolder;
    QCOMPARE(QFileInfo(lockPath).path(), expectedFolder);
    // A home may be shared by several machines: each keeps its own lock there.
    QCOMPARE(QFileInfo(lockPath).fileName().contains(QLatin1Char('@') + QSysInfo::machineHostName()),
             expected == QLatin1String("cache"));
    QVERIFY(guard.tryToRun());
    QVERIFY(QFileInfo(lockPath).isFile());
    struct stat status;
    QCOMPARE(::lstat(QFile::encodeName(expectedFolder).constData(), &status), 0);
    QCOMPARE(status.st_uid, ::geteuid());
    QCOMPARE(status.st_mode & 077, 0u);

    ChildProcess second;
    startHolder(second, key, runtimeVariable, tmp, false);
    QCOMPARE(decision(second), QStringLiteral("refused"));
}

void TestRunGuard::copiesStartedWithOtherFoldersMeet_data()
{
    QTest::addColumn<bool>("firstHasRuntimeFolder");
    QTest::addColumn<QString>("firstDisplay");
    QTest::addColumn<QString>("secondDisplay");
    QTest::addColumn<QString>("expected");
    QTest::newRow("second without a runtime folder") << true << ":0" << ":0" << "refused";
    QTest::newRow("first without a runtime folder") << false << ":0" << ":0" << "refused";
    QTest::newRow("one display written two ways") << true << ":0" << "unix:0.0" << "refused";
    QTest::newRow("another display") << true << ":0" << ":1" << "held";
}

// A copy started without a runtime folder (su, sudo -u, cron) ran beside the
// desktop's, and every sentence was typed twice.
void TestRunGuard::copiesStartedWithOtherFoldersMeet()
{
    QFETCH(bool, firstHasRuntimeFolder);
    QFETCH(QString, firstDisplay);
    QFETCH(QString, secondDisplay);
    QFETCH(QString, expected);
    QTemporaryDir one(temporary.filePath(QStringLiteral("one-XXXXXX")));
    QTemporaryDir other(temporary.filePath(QStringLiteral("other-XXXXXX")));
    QVERIFY(one.isValid() && other.isValid());
    const QString runtime = (firstHasRuntimeFolder ? one : other).path();
    const QString key = QUuid::createUuid().toString();
    ChildProcess first;
    startHolder(first, key, firstHasRuntimeFolder ? runtime : QString(), one.path(), true,
                {{QStringLiteral("DISPLAY"), firstDisplay}, {QStringLiteral("XDG_CACHE_HOME"), one.filePath("cache")}});
    QCOMPARE(decision(first), QStringLiteral("held"));
    ChildProcess second;
    startHolder(second, key, firstHasRuntimeFolder ? QString() : runtime, other.path(), false,
                {{QStringLiteral("DISPLAY"), secondDisplay}, {QStringLiteral("XDG_CACHE_HOME"), other.filePath("cache")}});
    QCOMPARE(decision(second), expected);
    first.kill();
    QVERIFY(first.waitForFinished(TestHome::scaled(5000)));
}

void TestRunGuard::plantedLockPathLetsNoCopyRun_data()
{
    QTest::addColumn<QString>("planted");
    QTest::newRow("folder") << "folder";
    QTest::newRow("symbolic link to a file of the user") << "link";
    QTest::newRow("dangling symbolic link") << "dangling link";
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("file of another user") << "foreign file";
}

// Whatever stands at the lock path, two copies never run at once: none runs
// and both say why.
void TestRunGuard::plantedLockPathLetsNoCopyRun()
{
    QFETCH(QString, planted);
    if (planted == QLatin1String("foreign file") && ::geteuid() != 0)
        QSKIP("Only root can give a file to another user");
    QTemporaryDir runtime(temporary.filePath(QStringLiteral("planted-XXXXXX")));
    QVERIFY(runtime.isValid());
    const QString key = QUuid::createUuid().toString();
    const QString lockPath = lockPathWith(key, runtime.path(), runtime.path());
    QCOMPARE(QFileInfo(lockPath).path(), runtime.path());
    const QString target = runtime.filePath(QStringLiteral("target"));
    const QByteArray encoded = QFile::encodeName(lockPath);
    if (planted == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(lockPath));
    } else if (planted == QLatin1String("link")) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(QFile::link(target, lockPath));
    } else if (planted == QLatin1String("dangling link")) {
        QVERIFY(QFile::link(target, lockPath));
    } else if (planted == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(encoded.constData(), 0600), 0);
    } else {
        QFile file(lockPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(::chown(encoded.constData(), Nobody, Nobody), 0);
    }

    ChildProcess first;
    startHolder(first, key, runtime.path(), runtime.path(), true);
    const QString firstDecision = decision(first);
    ChildProcess second;
    startHolder(second, key, runtime.path(), runtime.path(), false);
    const QString secondDecision = decision(second);
    first.kill();
    QVERIFY(first.waitForFinished(TestHome::scaled(5000)));
    QVERIFY(second.waitForFinished(TestHome::scaled(5000)));
    QCOMPARE(firstDecision, QStringLiteral("refused"));
    QCOMPARE(secondDecision, QStringLiteral("refused"));
    const QString log = QString::fromUtf8(second.readAllStandardError());
    QVERIFY2(log.contains(lockPath), qPrintable(log));
    // Nothing was made or changed through the planted entry.
    QCOMPARE(QFileInfo(target).exists(), planted == QLatin1String("link"));
    if (planted == QLatin1String("link"))
        QCOMPARE(QFileInfo(target).size(), 0);
}

void TestRunGuard::uncaughtExceptionIsLoggedAndExits_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("standard exception") << "std" << "Exception:  boom";
    QTest::newRow("anything else") << "int" << "Unknown exception";
}

void TestRunGuard::uncaughtExceptionIsLoggedAndExits()
{
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    ChildProcess crasher;
    crasher.start(QCoreApplication::applicationDirPath() + QStringLiteral("/UncaughtThrower"), {kind});
    QVERIFY(crasher.waitToEnd(TestHome::scaled(10000)));
    QCOMPARE(crasher.exitStatus(), QProcess::NormalExit);
    QCOMPARE(crasher.exitCode(), 255);
    const QString log = QString::fromUtf8(crasher.readAllStandardError());
    QVERIFY2(log.contains(QStringLiteral("Unhandled exception, terminate handler called")), qPrintable(log));
    QVERIFY2(log.contains(expected), qPrintable(log));
}

QTEST_GUILESS_MAIN(TestRunGuard)
#include "TestRunGuard.moc"
