#pragma once

#include "PulseModule.h"

#include <QByteArray>
#include <QString>

#include <memory>

// A capture device fed from a FIFO: PCM written here (16000 Hz, mono, s16le) is what
// a client recording from the source receives, byte for byte.
class PulsePipeSource
{
public:
    explicit PulsePipeSource(const QString& sourceName);
    ~PulsePipeSource();

    bool isReady() const { return fd >= 0; }
    QString name() const { return sourceName; }
    // Writes without blocking; false when the FIFO did not take everything (it holds ~2 s).
    bool write(const QByteArray& pcm);
    // count samples of one value, 16-bit little-endian.
    static QByteArray constant(int count, qint16 value);

private:
    QString sourceName;
    QString fifoPath;
    std::unique_ptr<PulseModule> module;
    int fd = -1;
};
