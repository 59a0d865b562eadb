#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QString>

// Reads the format and the sample data of a RIFF/WAVE file held in memory.
class WavReader
{
public:
    struct Result
    {
        bool ok = false;
        QString error;
        QAudioFormat format;
        QByteArray data;
    };

    static Result Read(const QByteArray& file);
};
