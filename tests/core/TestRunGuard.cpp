#include "ChildProcess.h"
#include "RunGuard.h"
#include "TestHome.h"

#include <QtTest>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>

#include <signal.h>
#include <unistd.h>

namespace {

QString sha1(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex());
}

// Where Qt's System V semaphore of `key` had its key file, as earlier guards used them.
QString semaphoreKeyFile(const QString& folder, const QString& key)
{
    return folder + QStringLiteral("/qipc_systemsem_") + QString(key).remove(QRegularExpression(QStringLiteral("[^a-zA-Z]")))
        + sha1(key);
}

// The guard of `key` taken in a child process whose temporary folder is `folder`.
void startHolder(ChildProcess& holder, const QString& key, const QString& folder, bool keep)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), folder);
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

} // namespace

class TestRunGuard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killedHolderLetsTheNextCopyRun();
    void leftoverFilesDoNotKeepOut_data();
    void leftoverFilesDoNotKeepOut();
    void uncaughtExceptionIsLoggedAndExits_data();
    void uncaughtExceptionIsLoggedAndExits();

private:
    QTemporaryDir temporary;
};

void TestRunGuard::initTestCase()
{
    // The guard's files live in the temporary folder: keep them apart from a running client.
    QVERIFY(temporary.isValid());
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
}

void TestRunGuard::killedHolderLetsTheNextCopyRun()
{
    const QString key = QUuid::createUuid().toString();
    ChildProcess holder;
    startHolder(holder, key, temporary.path(), true);
    QCOMPARE(decision(holder), QStringLiteral("held"));

    RunGuard mine(key);
    QVERIFY(mine.isAnotherRunning());
    QVERIFY(!mine.tryToRun());
    ::kill(pid_t(holder.processId()), SIGKILL);
    QVERIFY(holder.waitForFinished(5000));
    QVERIFY(!mine.isAnotherRunning());
    QVERIFY(mine.tryToRun());
    QVERIFY(!mine.isAnotherRunning()); // its own lock does not count
    QVERIFY(!RunGuard(key).tryToRun());
    mine.release();
    QVERIFY(RunGuard(key).tryToRun());
}

void TestRunGuard::leftoverFilesDoNotKeepOut_data()
{
    QTest::addColumn<QString>("leftover");
    QTest::addColumn<bool>("undecided");
    // Two key files of one inode made the earlier guard wait for a semaphore it held itself.
    QTest::newRow("semaphore key files of one inode") << "linked key files" << false;
    QTest::newRow("folder in the lock file's place") << "folder" << true;
    QTest::newRow("symbolic link in the lock file's place") << "link" << true;
}

void TestRunGuard::leftoverFilesDoNotKeepOut()
{
    QFETCH(QString, leftover);
    QFETCH(bool, undecided);
    const QString key = QUuid::createUuid().toString();
    QTemporaryDir folder(temporary.filePath(QStringLiteral("leftover-XXXXXX")));
    QVERIFY(folder.isValid());
    const QString lockFile = folder.filePath(QFileInfo(RunGuard(key).lockFilePath()).fileName());
    const QString linkTarget = folder.filePath(QStringLiteral("target"));
    if (leftover == QLatin1String("linked key files")) {
        const QString first = semaphoreKeyFile(folder.path(), sha1(key + QStringLiteral("_memLockKey")));
        QFile(first).open(QIODevice::WriteOnly);
        QVERIFY(QFile::exists(first));
        QCOMPARE(::link(QFile::encodeName(first).constData(),
                        QFile::encodeName(semaphoreKeyFile(folder.path(), sha1(key + QStringLiteral("_sharedmemKey"))))
                            .constData()),
                 0);
    } else if (leftover == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(lockFile));
    } else {
        QVERIFY(QFile::link(linkTarget, lockFile));
    }

    ChildProcess copy;
    startHolder(copy, key, folder.path(), false);
    QCOMPARE(decision(copy), QStringLiteral("held"));
    QVERIFY(copy.waitToEnd(TestHome::scaled(5000)));
    const QString log = QString::fromUtf8(copy.readAllStandardError());
    QCOMPARE(log.contains(QLatin1String("going on as the only copy")), undecided);
    QVERIFY(!QFile::exists(linkTarget));
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
