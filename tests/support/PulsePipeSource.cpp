#include "PulsePipeSource.h"

#include "PulseTestServer.h"

#include <QFile>
#include <QtEndian>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

QByteArray PulsePipeSource::constant(int count, qint16 value)
{
    QByteArray sample(2, Qt::Uninitialized);
    qToLittleEndian<qint16>(value, sample.data());
    return sample.repeated(count);
}

PulsePipeSource::PulsePipeSource(const QString& sourceName)
    : sourceName(sourceName)
    , fifoPath(PulseTestServer::runtimeDir() + QStringLiteral("/") + sourceName + QStringLiteral(".fifo"))
{
    // The server creates the FIFO; loading fails when the path exists already.
    QFile::remove(fifoPath);
    module = std::make_unique<PulseModule>(QStringLiteral("module-pipe-source"),
        QStringList{QStringLiteral("source_name=") + sourceName, QStringLiteral("file=") + fifoPath,
            QStringLiteral("format=s16le"), QStringLiteral("rate=16000"), QStringLiteral("channels=1")});
    if (module->isLoaded())
        fd = ::open(QFile::encodeName(fifoPath).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
}

PulsePipeSource::~PulsePipeSource()
{
    if (fd >= 0)
        ::close(fd);
    module.reset();
    QFile::remove(fifoPath);
}

bool PulsePipeSource::write(const QByteArray& pcm)
{
    if (fd < 0)
        return false;
    qint64 done = 0;
    while (done < pcm.size()) {
        const ssize_t n = ::write(fd, pcm.constData() + done, static_cast<size_t>(pcm.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}
