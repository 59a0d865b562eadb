#include "AudioDeviceManagerBase.h"

#include "AudioListManager.h"
#include "LogCategories.h"

AudioDeviceManagerBase::AudioDeviceManagerBase(AudioListManager* list, QObject* parent)
    : QObject(parent)
    , listManager(list)
{
    qRegisterMetaType<QAudio::Error>("QAudio::Error");
    qRegisterMetaType<QAudio::State>("QAudio::State");
    restartTimer.setSingleShot(true);
    connect(&restartTimer, &QTimer::timeout, this, &AudioDeviceManagerBase::RestartFailedDevice);
    if (list) {
        connect(list, &AudioListManager::DeviceListChanged, this,
            &AudioDeviceManagerBase::audiolistmanager_DeiceListChanged, Qt::QueuedConnection);
    }
}

AudioDeviceManagerBase::~AudioDeviceManagerBase() = default;

void AudioDeviceManagerBase::SetDeviceIndex(int index)
{
    selectedIndex = index;
    currentDevice = devices.at(index);
}

void AudioDeviceManagerBase::ClearSelection()
{
    selectedIndex = -1;
    currentDevice = ExtAudioDeviceInfo();
}

void AudioDeviceManagerBase::SelectFirstOrNone()
{
    if (devices.isEmpty())
        ClearSelection();
    else
        SetDeviceIndex(0);
}

void AudioDeviceManagerBase::TakeList(const ExtAudioDeviceInfoList& list)
{
    devices = list;
}

void AudioDeviceManagerBase::set_SelectedIndex(int index)
{
    if (index >= 0 && index < devices.size()) {
        if (index == selectedIndex)
            return;
        StopDevice();
        SetDeviceIndex(index);
        StartDevice();
        emit SelectedIndexChanged();
        return;
    }
    if (selectedIndex == -1)
        return;
    StopDevice();
    ClearSelection();
    emit SelectedIndexChanged();
}

void AudioDeviceManagerBase::SelectDevice(const QString& name)
{
    if (!listReceived) {
        savedName = name;
        return;
    }
    StopDevice();
    SelectByNameOrFirst(name);
    StartDevice();
    emit SelectedIndexChanged();
}

void AudioDeviceManagerBase::SelectByNameOrFirst(const QString& name)
{
    for (int i = 0; i < devices.size(); ++i) {
        if (devices.at(i).deviceName() == name) {
            SetDeviceIndex(i);
            return;
        }
    }
    SelectFirstOrNone();
}

void AudioDeviceManagerBase::audiolistmanager_DeiceListChanged()
{
    if (!listManager)
        return;
    const ExtAudioDeviceInfoList updated = listManager->DeviceList();

    int currentPosition = -1;
    int newDevicePosition = -1;
    for (int i = 0; i < updated.size(); ++i) {
        if (currentPosition < 0 && !currentDevice.isNull() && updated.at(i) == currentDevice)
            currentPosition = i;
        if (!devices.contains(updated.at(i)))
            newDevicePosition = i;
        if (currentPosition >= 0 && newDevicePosition >= 0)
            break;
    }

    if (!listReceived) {
        listReceived = true;
        TakeList(updated);
        SelectByNameOrFirst(savedName);
        StartDevice();
        emit DeviceListChanged();
        emit SelectedIndexChanged();
        return;
    }

    if (currentPosition >= 0 && (newDevicePosition < 0 || !TrackChanges)) {
        // The selection stays; only its position may have moved.
        TakeList(updated);
        selectedIndex = currentPosition;
        currentDevice = devices.at(currentPosition);
        emit DeviceListChanged();
        emit SelectedIndexChanged();
        return;
    }

    StopDevice();
    TakeList(updated);
    if (newDevicePosition >= 0 && (TrackChanges || currentPosition < 0))
        SetDeviceIndex(newDevicePosition);
    else
        SelectFirstOrNone();
    StartDevice();
    emit DeviceListChanged();
    emit SelectedIndexChanged();
    if (TrackChanges)
        emit DeviceNotification();
}

void AudioDeviceManagerBase::SetTrackChanges(bool track)
{
    if (track == TrackChanges)
        return;
    TrackChanges = track;
    emit IsTrackChangesChanged();
}

void AudioDeviceManagerBase::DeviceFailed(QAudio::Error error)
{
    // A sound server that stays away for hours must not fill the log or the tray.
    if (failures++ == 0) {
        qCWarning(lcAudioManager).noquote().nospace()
            << "Audio device " << currentDevice.description() << " failed (" << error << "); retrying until it works";
        emit DeviceError(error);
    }
    if (!currentDevice.isNull())
        restartTimer.start(qMin(restartDelay << qMin(failures - 1, 5), MaxRestartDelay));
}

void AudioDeviceManagerBase::DeviceRecovered()
{
    qCInfo(lcAudioManager).noquote().nospace()
        << "Audio device " << currentDevice.description() << " works again (" << failures << " failed attempts)";
    failures = 0;
}

void AudioDeviceManagerBase::RetryNow()
{
    if (!restartTimer.isActive())
        return;
    restartTimer.stop();
    RestartFailedDevice();
}

void AudioDeviceManagerBase::RestartFailedDevice()
{
    if (HasDevice() || currentDevice.isNull() || !devices.contains(currentDevice))
        return;
    StartDevice();
}

namespace {
QString deviceTag(const QString& description, const void* address)
{
    return description + QStringLiteral(" [") + QString::number(reinterpret_cast<quintptr>(address))
        + QStringLiteral("]");
}
} // namespace

void AudioDeviceManagerBase::TraceDeviceLifetime(QObject* device, const QString& kind, const QString& description) const
{
    if (Retrying())
        return;
    const QString deleted = QStringLiteral("Delete audio ") + kind + QLatin1Char(' ');
    connect(device, &QObject::destroyed, [deleted, description](QObject* object) {
        qCDebug(lcAudioManager).noquote() << deleted + deviceTag(description, object);
    });
    qCDebug(lcAudioManager).noquote() << QStringLiteral("Created audio ") + kind + QLatin1Char(' ')
            + deviceTag(description, device);
}
