#include "ChildProcess.h"

#include "TestHome.h"

#include <QTest>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

ChildProcess::ChildProcess(QObject* parent)
    : QProcess(parent)
    , parentPid(::getpid())
{
    connect(this, &QProcess::started, this, [this] { group = processId(); });
    // What the program leaves in its group goes with it, while the group's id
    // cannot yet have been given to a new process.
    connect(this, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, [this] { endGroup(); });
}

ChildProcess::~ChildProcess()
{
    endGroup();
}

void ChildProcess::setupChildProcess()
{
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The test may have died before the line above.
    if (::getppid() != parentPid)
        ::_exit(127);
}

void ChildProcess::collectOutput()
{
    setProcessChannelMode(QProcess::MergedChannels);
    connect(this, &QIODevice::readyRead, this, [this] { collected += QString::fromUtf8(readAll()); });
}

bool ChildProcess::leakCheckItselfFailed() const
{
    return collected.contains(QLatin1String("LeakSanitizer has encountered a fatal error"))
        && !collected.contains(QLatin1String("LeakSanitizer: detected memory leaks"));
}

bool ChildProcess::waitToEnd(int msecs)
{
    if (QTest::qWaitFor([this] { return state() == QProcess::NotRunning; }, msecs))
        return true;
    qWarning().noquote() << QStringLiteral("%1 (process %2) did not end within %3 s: its process group is killed")
                                .arg(program())
                                .arg(processId())
                                .arg(msecs / 1000.0);
    endGroup();
    return false;
}

void ChildProcess::endGroup()
{
    const qint64 leader = group > 0 ? group : processId();
    group = 0;
    // Before setpgid() in the child there is no group yet: the program itself then.
    if (leader > 0 && ::kill(-pid_t(leader), SIGKILL) != 0 && state() != QProcess::NotRunning)
        ::kill(pid_t(leader), SIGKILL);
    if (state() != QProcess::NotRunning)
        waitForFinished(TestHome::scaled(5000));
}

bool ChildProcess::startServing(const QString& program, const QStringList& arguments, const std::function<bool()>& ready,
                                int msecs, QString* error)
{
    start(program, arguments);
    if (!waitForStarted(TestHome::scaled(30000))) {
        *error = QStringLiteral("%1 did not start (%2): scripts/deps.sh installs it").arg(program, errorString());
        return false;
    }
    if (QTest::qWaitFor([this, &ready] { return state() == QProcess::NotRunning || ready(); }, msecs) && ready())
        return true;
    *error = QStringLiteral("%1 did not take the display: %2").arg(program, QString::fromLocal8Bit(readAllStandardError()));
    endGroup();
    return false;
}

int ChildProcess::execute(const QString& program, const QStringList& arguments, int msecs)
{
    ChildProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(msecs) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}
