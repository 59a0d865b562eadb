#include "PulseBusyServer.h"

#include "PulseTestServer.h"
#include "TestHome.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// Far more than any listen backlog.
constexpr int MaxWaiting = 4096;

bool isStopped(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const int end = line.lastIndexOf(')');
    return end > 0 && line.mid(end + 2, 1) == "T";
}
} // namespace

bool PulseBusyServer::hold()
{
    release();
    const pid_t pid = PulseTestServer::pid();
    if (pid <= 0 || ::kill(pid, SIGSTOP) != 0)
        return false;
    stopped = pid;
    // Until it is stopped it may still take a connection off the backlog.
    QDeadlineTimer deadline(TestHome::scaled(5000));
    while (!isStopped(pid)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(5);
    }

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(PulseTestServer::runtimeDir() + QStringLiteral("/pulse/native"));
    if (path.size() >= int(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    for (int i = 0; i < MaxWaiting; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 || errno == EINPROGRESS) {
            waiting.push_back(fd);
            continue;
        }
        const int error = errno;
        ::close(fd);
        // Full: what every client now meets.
        return error == EAGAIN && !waiting.empty();
    }
    return false;
}

void PulseBusyServer::release()
{
    for (const int fd : waiting)
        ::close(fd);
    waiting.clear();
    if (stopped > 0)
        ::kill(stopped, SIGCONT);
    stopped = 0;
}
