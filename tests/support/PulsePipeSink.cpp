#include "PulsePipeSink.h"

#include "PulseTestServer.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

PulsePipeSink::PulsePipeSink(const QString& sinkName)
    : sinkName(sinkName)
    , fifoPath(PulseTestServer::runtimeDir() + QStringLiteral("/") + sinkName + QStringLiteral(".fifo"))
{
    // The server creates the FIFO; loading fails when the path exists already.
    QFile::remove(fifoPath);
    module = std::make_unique<PulseModule>(QStringLiteral("module-pipe-sink"),
        QStringList{QStringLiteral("sink_name=") + sinkName, QStringLiteral("file=") + fifoPath,
            QStringLiteral("format=s16le"), QStringLiteral("rate=22050"), QStringLiteral("channels=1")});
    if (module->isLoaded())
        fd = ::open(QFile::encodeName(fifoPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

PulsePipeSink::~PulsePipeSink()
{
    if (fd >= 0)
        ::close(fd);
    module.reset();
    QFile::remove(fifoPath);
}

QByteArray PulsePipeSink::read()
{
    // The sink renders as fast as the FIFO is read (paced by the system clock it
    // rewinds into bytes already written): one pipe's worth per call keeps this bounded.
    QByteArray played;
    char buffer[16384];
    while (fd >= 0 && played.size() < 65536) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            played.append(buffer, int(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    return played;
}
