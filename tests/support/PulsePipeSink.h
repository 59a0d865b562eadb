#pragma once

#include "PulseModule.h"

#include <QByteArray>
#include <QString>

#include <memory>

// A playback device that writes into a FIFO: what a client plays on it (22050 Hz,
// mono, s16le: the format of the program's sounds) can be read back byte for byte.
// The server writes only while a stream is open on the sink, as fast as the FIFO is read.
class PulsePipeSink
{
public:
    explicit PulsePipeSink(const QString& sinkName);
    ~PulsePipeSink();

    bool isReady() const { return fd >= 0; }
    QString name() const { return sinkName; }
    // What was played since the last call, up to 64 KiB; never blocks.
    QByteArray read();

private:
    QString sinkName;
    QString fifoPath;
    std::unique_ptr<PulseModule> module;
    int fd = -1;
};
