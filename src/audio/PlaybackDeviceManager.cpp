#include "PlaybackDeviceManager.h"

#include "LevelCalc.h"
#include "LogCategories.h"
#include "PlaybackDeviceSettings.h"
#include "WavReader.h"

#include <QDebug>
#include <QFile>

#include <mutex>

// The audio library is static: its resources (the recognition start and stop sounds)
// must be registered by hand.
static void registerAudioResources()
{
    Q_INIT_RESOURCE(audio);
}

namespace {
int clampedVolume(int value)
{
    return qBound(0, value, 100);
}
} // namespace

PlaybackDeviceManager::PlaybackDeviceManager(AudioListManager* list, QObject* parent)
    : AudioDeviceManager<QAudioOutput>(list, parent)
{
    static std::once_flag resources;
    std::call_once(resources, registerAudioResources);

    format.setSampleRate(22050);
    format.setChannelCount(1);
    format.setSampleSize(16);
    format.setSampleType(QAudioFormat::SignedInt);
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setCodec(QStringLiteral("audio/pcm"));
}

PlaybackDeviceManager::~PlaybackDeviceManager()
{
    ReportDropped();
}

ExtAudioDeviceInfo PlaybackDeviceManager::DefaultDevice() const
{
    return ExtAudioDeviceInfo(QAudioDeviceInfo::defaultOutputDevice(), QStringLiteral("default"));
}

void PlaybackDeviceManager::LoadSettings()
{
    PlaybackDeviceSettings settings;
    set_Volume(clampedVolume(settings.Volume));
    SetTrackChanges(settings.TrackChanges);
    SelectDevice(settings.Name);
}

void PlaybackDeviceManager::set_Volume(int vol)
{
    static const QMetaMethod method = FindSlot(staticMetaObject, "internal_set_Volume(int)");
    InvokeIntSlot(method, vol);
}

void PlaybackDeviceManager::internal_set_Volume(int vol)
{
    ApplyVolume(volume, vol, &PlaybackDeviceManager::VolumeChanged);
}

void PlaybackDeviceManager::read_Volume()
{
    ReadVolume(volume, &PlaybackDeviceManager::VolumeChanged);
}

void PlaybackDeviceManager::OnDeviceStart()
{
    AudioDeviceManager<QAudioOutput>::OnDeviceStart();

    device->setNotifyInterval(notifyInterval);
    const auto queuedUnique = static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection);
    connect(device, &QAudioOutput::notify, this, &PlaybackDeviceManager::read_Volume, queuedUnique);
    // Feeding only when the device runs dry would leave a gap at every buffer boundary
    // of a long chunk; the notify keeps the buffer topped up.
    connect(device, &QAudioOutput::notify, this, &PlaybackDeviceManager::WriteDataToStream, queuedUnique);

    set_Volume(clampedVolume(PlaybackDeviceSettings().Volume));
    stream = device->start();
    level = 0;
    if (!stream)
        ThrowStartFailure();
    WriteDataToStream();
}

void PlaybackDeviceManager::OnDeviceStop()
{
    disconnect(device, &QAudioOutput::notify, this, &PlaybackDeviceManager::read_Volume);
    disconnect(device, &QAudioOutput::notify, this, &PlaybackDeviceManager::WriteDataToStream);
    stream = nullptr;
    AudioDeviceManager<QAudioOutput>::OnDeviceStop();
}

void PlaybackDeviceManager::playSound(QByteArray _data)
{
    if (stream && QueuedCost() + _data.size() + ChunkCostBytes > MaxQueuedBytes) {
        // Not played, so it has no level either: measuring it would cost as much as it is long.
        if (droppedChunks++ == 0)
            qCWarning(lcAudioManager).noquote()
                << QStringLiteral("Synthesised speech dropped: more than %1 bytes wait to be played").arg(MaxQueuedBytes);
        droppedBytes += _data.size();
        return;
    }
    const int newLevel = LevelCalc::GetSoundLevel(
        reinterpret_cast<const short*>(_data.constData()), _data.size() / 2).level;
    if (stream) {
        // Dropping has ended once half the room is free again, so a server that
        // keeps sending a little faster than it is played costs two lines, not two a part.
        if (QueuedCost() < MaxQueuedBytes / 2)
            ReportDropped();
        Enqueue(_data);
        WriteDataToStream();
    }
    SetLevel(newLevel);
}

void PlaybackDeviceManager::Enqueue(const QByteArray& chunk)
{
    queue.append(chunk);
    queuedBytes += chunk.size();
}

void PlaybackDeviceManager::ReportDropped()
{
    if (droppedChunks == 0)
        return;
    qCWarning(lcAudioManager).noquote()
        << QStringLiteral("Synthesised speech: %1 parts of %2 bytes in all were dropped").arg(droppedChunks).arg(droppedBytes);
    droppedChunks = 0;
    droppedBytes = 0;
}

void PlaybackDeviceManager::WriteDataToStream()
{
    if (!stream || !device)
        return;
    // Qt's PulseAudio output fails a write of part of a frame, or into a full buffer at a
    // volume below 100, and then keeps its lock: offer whole frames that fit, nothing else.
    const int frame = format.bytesPerFrame();
    while (!queue.isEmpty()) {
        QByteArray& chunk = queue.first();
        if (chunk.size() < frame && queue.size() > 1) {
            queue[1].prepend(chunk);
            queue.removeFirst();
            continue;
        }
        const int size = qMin(chunk.size(), device->bytesFree()) / frame * frame;
        if (size < 1)
            return;
        const qint64 written = stream->write(chunk.constData(), size);
        if (written < 1)
            return;
        chunk.remove(0, static_cast<int>(written));
        queuedBytes -= written;
        if (chunk.isEmpty())
            queue.removeFirst();
    }
}

void PlaybackDeviceManager::playSoundFile(QString filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcAudioManager).noquote() << "Cannot open sound file " + filePath;
        return;
    }
    const WavReader::Result wav = WavReader::Read(file.readAll());
    if (!wav.ok) {
        qCWarning(lcAudioManager).noquote() << "Cannot play sound file " + filePath + ": " + wav.error;
        return;
    }
    if (wav.format != format) {
        qCWarning(lcAudioManager).noquote()
            << QStringLiteral("Cannot play sound file %1: %2 Hz, %3 channels, %4 bits instead of %5 Hz, %6 channels, %7 bits")
                   .arg(filePath)
                   .arg(wav.format.sampleRate())
                   .arg(wav.format.channelCount())
                   .arg(wav.format.sampleSize())
                   .arg(format.sampleRate())
                   .arg(format.channelCount())
                   .arg(format.sampleSize());
        return;
    }
    playSound(wav.data);
    // The sound server starts a stream only once its buffer is full: a sound shorter
    // than the buffer would wait for the next one. Silence makes up the difference.
    if (stream && device && wav.data.size() < device->bufferSize()) {
        Enqueue(QByteArray(device->bufferSize() - wav.data.size(), '\0'));
        WriteDataToStream();
    }
}

void PlaybackDeviceManager::OnDeviceStateChanged(QObject* source, QAudio::State state)
{
    auto* output = qobject_cast<QAudioOutput*>(source);
    if (output && output == device && (state == QAudio::ActiveState || state == QAudio::IdleState))
        DeviceRuns();
    if (!Retrying())
        qInfo() << "State: " << state;
    if (output && state != QAudio::ActiveState)
        SetLevel(0);
    if (state == QAudio::IdleState)
        WriteDataToStream();
    if (output && output == device && state == QAudio::StoppedState)
        ReleaseStoppedDevice(device->error());
}

void PlaybackDeviceManager::SetLevel(int value)
{
    UpdateValue(level, value, &PlaybackDeviceManager::CurrentLevelChanged);
}

QAudioOutput* PlaybackDeviceManager::CreateDevice(const ExtAudioDeviceInfo& info)
{
    if (!Retrying() && !info.device().isFormatSupported(format))
        qCDebug(lcAudioManager) << "Unsupported format";
    auto* output = new QAudioOutput(info.device(), format);
    output->setObjectName(info.deviceName());
    TraceDeviceLifetime(output, QStringLiteral("output"), info.description());
    return output;
}
