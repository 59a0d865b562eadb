#include "WavReader.h"

#include <QtEndian>

namespace {
constexpr quint16 FormatPcm = 1;
constexpr quint16 FormatExtensible = 0xFFFE;
constexpr int ChunkHeaderSize = 8;
constexpr int PcmFormatSize = 16;
constexpr int ExtensibleFormatSize = 40;
constexpr int SubFormatOffset = 24;

quint16 u16(const char* p)
{
    return qFromLittleEndian<quint16>(reinterpret_cast<const uchar*>(p));
}

quint32 u32(const char* p)
{
    return qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(p));
}

WavReader::Result failure(const QString& error)
{
    WavReader::Result result;
    result.error = error;
    return result;
}

// Fills format from a "fmt " chunk body; false when it does not describe integer PCM.
bool readFormat(const char* body, qint64 size, QAudioFormat* format, QString* error)
{
    if (size < PcmFormatSize) {
        *error = QStringLiteral("format chunk too short");
        return false;
    }
    quint16 code = u16(body);
    if (code == FormatExtensible && size >= ExtensibleFormatSize)
        code = u16(body + SubFormatOffset);
    if (code != FormatPcm) {
        *error = QStringLiteral("not PCM (format code %1)").arg(code);
        return false;
    }
    const int channels = u16(body + 2);
    const quint32 rate = u32(body + 4);
    const int bits = u16(body + 14);
    if (channels == 0 || rate == 0 || rate > 1000000 || (bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
        *error = QStringLiteral("unusable PCM format: %1 channels, %2 Hz, %3 bits").arg(channels).arg(rate).arg(bits);
        return false;
    }
    format->setCodec(QStringLiteral("audio/pcm"));
    format->setChannelCount(channels);
    format->setSampleRate(static_cast<int>(rate));
    format->setSampleSize(bits);
    format->setByteOrder(QAudioFormat::LittleEndian);
    format->setSampleType(bits == 8 ? QAudioFormat::UnSignedInt : QAudioFormat::SignedInt);
    return true;
}
} // namespace

WavReader::Result WavReader::Read(const QByteArray& file)
{
    const char* bytes = file.constData();
    const qint64 size = file.size();
    if (size < 12 || file.left(4) != "RIFF" || file.mid(8, 4) != "WAVE")
        return failure(QStringLiteral("not a RIFF/WAVE file"));

    Result result;
    bool haveFormat = false;
    bool haveData = false;
    qint64 pos = 12;
    while (pos + ChunkHeaderSize <= size && !(haveFormat && haveData)) {
        const QByteArray id = file.mid(static_cast<int>(pos), 4);
        const qint64 declared = u32(bytes + pos + 4);
        const qint64 body = pos + ChunkHeaderSize;
        const qint64 available = qMin(declared, size - body);
        if (id == "fmt " && !haveFormat) {
            QString error;
            if (!readFormat(bytes + body, available, &result.format, &error))
                return failure(error);
            haveFormat = true;
        } else if (id == "data" && !haveData) {
            // A cut-off file keeps what it holds.
            result.data = file.mid(static_cast<int>(body), static_cast<int>(available));
            haveData = true;
        }
        // Chunks are padded to an even length.
        pos = body + declared + (declared & 1);
    }
    if (!haveFormat)
        return failure(QStringLiteral("no format chunk"));
    if (!haveData)
        return failure(QStringLiteral("no data chunk"));
    const int frameBytes = result.format.bytesPerFrame();
    result.data.truncate(result.data.size() - result.data.size() % frameBytes);
    result.ok = true;
    return result;
}
