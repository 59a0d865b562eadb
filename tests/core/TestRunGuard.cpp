#include "RunGuard.h"

#include <QtTest>

#include <QProcess>
#include <QUuid>

class TestRunGuard : public QObject
{
    Q_OBJECT

private slots:
    void secondCopyIsRefused();
    void keysAreIndependent();
    void clientKeyIsPerUser();
    void uncaughtExceptionIsLoggedAndExits_data();
    void uncaughtExceptionIsLoggedAndExits();
};

void TestRunGuard::secondCopyIsRefused()
{
    const QString key = QUuid::createUuid().toString();
    RunGuard first(key);
    QVERIFY(!first.isAnotherRunning());
    QVERIFY(first.tryToRun());
    QVERIFY(!first.isAnotherRunning()); // its own segment does not count

    {
        RunGuard second(key);
        QVERIFY(second.isAnotherRunning());
        QVERIFY(!second.tryToRun());
    }

    first.release();
    RunGuard third(key);
    QVERIFY(!third.isAnotherRunning());
    QVERIFY(third.tryToRun());
}

void TestRunGuard::keysAreIndependent()
{
    RunGuard a(QUuid::createUuid().toString());
    RunGuard b(QUuid::createUuid().toString());
    QVERIFY(a.tryToRun());
    QVERIFY(b.tryToRun());
}

void TestRunGuard::clientKeyIsPerUser()
{
    QVERIFY(RunGuard::clientKey().startsWith(QStringLiteral("Scrivora_Qt_")));
    QVERIFY(RunGuard::clientKey().size() > int(qstrlen("Scrivora_Qt_")));
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
    QProcess crasher;
    crasher.start(QCoreApplication::applicationDirPath() + QStringLiteral("/UncaughtThrower"), {kind});
    QVERIFY(crasher.waitForFinished(10000));
    QCOMPARE(crasher.exitStatus(), QProcess::NormalExit);
    QCOMPARE(crasher.exitCode(), 255);
    const QString log = QString::fromUtf8(crasher.readAllStandardError());
    QVERIFY2(log.contains(QStringLiteral("Unhandled exception, terminate handler called")), qPrintable(log));
    QVERIFY2(log.contains(expected), qPrintable(log));
}

QTEST_GUILESS_MAIN(TestRunGuard)
#include "TestRunGuard.moc"
