#include "RecordingDeviceManager.h"

#include "LevelCalc.h"
#include "LogCategories.h"
#include "RecordingDeviceSettings.h"

RecordingDeviceManager::RecordingDeviceManager(AudioListManager* list, QObject* parent)
    : AudioDeviceManager<QAudioInput>(list, parent)
{
    format.setSampleRate(16000);
    format.setChannelCount(1);
    format.setSampleSize(16);
    format.setSampleType(QAudioFormat::SignedInt);
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setCodec(QStringLiteral("audio/pcm"));
}

RecordingDeviceManager::~RecordingDeviceManager() = default;

ExtAudioDeviceInfo RecordingDeviceManager::DefaultDevice() const
{
    return ExtAudioDeviceInfo(QAudioDeviceInfo::defaultInputDevice(), QStringLiteral("default"));
}

void RecordingDeviceManager::LoadSettings()
{
    RecordingDeviceSettings settings;
    set_Gain(qBound(0, static_cast<int>(settings.Gain), 100));
    SetTrackChanges(settings.TrackChanges);
    SelectDevice(settings.Name);
}

void RecordingDeviceManager::set_Gain(int value)
{
    static const QMetaMethod method = FindSlot(staticMetaObject, "internal_set_Gain(int)");
    InvokeIntSlot(method, value);
}

void RecordingDeviceManager::internal_set_Gain(int value)
{
    ApplyVolume(gain, value, &RecordingDeviceManager::GainChanged);
}

void RecordingDeviceManager::read_Gain()
{
    ReadVolume(gain, &RecordingDeviceManager::GainChanged);
}

void RecordingDeviceManager::OnDeviceStart()
{
    AudioDeviceManager<QAudioInput>::OnDeviceStart();

    RecordingDeviceSettings settings;
    elapsed = 0;
    dataInterval = settings.DataInterval;
    device->setNotifyInterval(dataInterval);
    device->setBufferSize(settings.BufferSize);
    set_Gain(gain);
    stream = device->start();
    if (!Retrying()) {
        qCDebug(lcAudioManager).noquote() << "Audio buffer size:   " + QString::number(device->bufferSize());
        qCDebug(lcAudioManager).noquote() << "Audio data interval: " + QString::number(device->notifyInterval());
    }
    settings.sync();

    if (!stream)
        ThrowStartFailure();
    if (settings.UseNotifyEvent) {
        dataConnection = connect(device, &QAudioInput::notify, this, &RecordingDeviceManager::OnNotifyInterval,
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
        // Qt's PulseAudio input notifies only in its active state, which it enters
        // at the first read: without this read no notify (and no audio) would come.
        QMetaObject::invokeMethod(this, &RecordingDeviceManager::OnNotifyInterval, Qt::QueuedConnection);
    } else {
        dataConnection = connect(stream, &QIODevice::readyRead, this, &RecordingDeviceManager::OnNotifyInterval,
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
    }
}

void RecordingDeviceManager::OnNotifyInterval()
{
    if (!stream)
        return;
    const QByteArray buffer = stream->readAll();
    if (buffer.isEmpty())
        return;
    DeviceRuns();
    if (paused.loadAcquire() != 0)
        return;

    const int newLevel = LevelCalc::GetSoundLevel(
        reinterpret_cast<const short*>(buffer.constData()), buffer.size() / 2).level;
    emit SoundAvailable(buffer);
    UpdateValue(level, newLevel, &RecordingDeviceManager::CurrentLevelChanged);

    elapsed += dataInterval;
    if (elapsed >= gainReadPeriod) {
        read_Gain();
        elapsed = 0;
    }
}

void RecordingDeviceManager::OnDeviceStateChanged(QObject* source, QAudio::State state)
{
    auto* input = qobject_cast<QAudioInput*>(source);
    if (!input || state != QAudio::StoppedState)
        return;
    if (input != device) {
        input->deleteLater();
        return;
    }
    ReleaseStoppedDevice(device->error());
}

void RecordingDeviceManager::OnDeviceStop()
{
    disconnect(dataConnection);
    stream = nullptr;
    AudioDeviceManager<QAudioInput>::OnDeviceStop();
}

QAudioInput* RecordingDeviceManager::CreateDevice(const ExtAudioDeviceInfo& info)
{
    if (!Retrying() && !info.device().isFormatSupported(format))
        qCDebug(lcAudioManager) << "Unsupported format";
    auto* input = new QAudioInput(info.device(), format);
    input->setObjectName(info.deviceName());
    TraceDeviceLifetime(input, QStringLiteral("input"), info.description());
    return input;
}
