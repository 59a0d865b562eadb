#include "ChildProcess.h"
#include "TestHome.h"

#include <QtTest>

#include <QFile>

#include <csignal>

namespace {

const char* const HolderVariable = "SCRIVORA_CHILD_PROCESS_HOLDER";

// Running, not a zombie waiting for its parent.
bool alive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}

// The first line the program writes: the pid of what it started.
qint64 firstPid(ChildProcess& process)
{
    if (!QTest::qWaitFor([&process] { return process.canReadLine(); }, TestHome::scaled(10000)))
        return 0;
    return process.readLine().trimmed().toLongLong();
}

// The holder: a test process that starts a program, says its pid and waits to be killed.
int holdChild()
{
    ChildProcess sleeper;
    sleeper.start(QStringLiteral("sleep"), {QStringLiteral("300")});
    if (!sleeper.waitForStarted(TestHome::scaled(30000)))
        return 1;
    QTextStream(stdout) << sleeper.processId() << Qt::endl;
    sleeper.waitForFinished(-1);
    return 0;
}

} // namespace

// What a test starts ends with it: with the program, with the object, or with
// the test process itself when it is killed at its time limit.
class TestChildProcess : public QObject
{
    Q_OBJECT

private slots:
    void groupEndsWithTheProgram();
    void programThatDoesNotEndIsKilled();
    void childDiesWithTheTest();
};

void TestChildProcess::groupEndsWithTheProgram()
{
    ChildProcess shell;
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("sleep 300 & echo $!; read line")});
    const qint64 background = firstPid(shell);
    QVERIFY(background > 0 && alive(background));
    shell.closeWriteChannel();
    QVERIFY(shell.waitToEnd(TestHome::scaled(10000)));
    QTRY_VERIFY_WITH_TIMEOUT(!alive(background), TestHome::scaled(5000));
}

void TestChildProcess::programThatDoesNotEndIsKilled()
{
    ChildProcess shell;
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("sleep 300 & echo $!; sleep 300")});
    const qint64 background = firstPid(shell);
    QVERIFY(background > 0);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^sh \\(process \\d+\\) did not end within 0.2 s: its process group is killed$")));
    QVERIFY(!shell.waitToEnd(200));
    QCOMPARE(shell.state(), QProcess::NotRunning);
    QTRY_VERIFY_WITH_TIMEOUT(!alive(background), TestHome::scaled(5000));
}

void TestChildProcess::childDiesWithTheTest()
{
    ChildProcess holder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(HolderVariable), QStringLiteral("1"));
    holder.setProcessEnvironment(environment);
    holder.start(QCoreApplication::applicationFilePath(), QStringList());
    const qint64 sleeper = firstPid(holder);
    QVERIFY(sleeper > 0 && alive(sleeper));
    // As CTest ends a test at its time limit: the test process alone, at once.
    ::kill(pid_t(holder.processId()), SIGKILL);
    QTRY_VERIFY_WITH_TIMEOUT(!alive(sleeper), TestHome::scaled(5000));
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(HolderVariable))
        return holdChild();
    TestChildProcess test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestChildProcess.moc"
