#pragma once

#include "AudioListManager.h"
#include "ExtAudioDeviceInfo.h"

#include <QAudio>
#include <QObject>
#include <QPointer>
#include <QTimer>

// Selects one device of a device list, keeps the selection across list changes,
// optionally follows newly plugged devices, and drives the start/stop cycle of the
// device object. Lives in the GUI thread; the list reaches it through queued signals.
class AudioDeviceManagerBase : public QObject
{
    Q_OBJECT

public:
    AudioDeviceManagerBase(AudioListManager* list, QObject* parent = nullptr);
    ~AudioDeviceManagerBase() override;

    // Selection by position; an out-of-range index deselects.
    void set_SelectedIndex(int index);
    // Selection by device name; before the first list arrives the name is only remembered.
    void SelectDevice(const QString& name);
    // The caller guarantees a valid index.
    void SetDeviceIndex(int index);

    ExtAudioDeviceInfoList DeviceList() const { return devices; }
    int SelectedIndex() const { return selectedIndex; }
    ExtAudioDeviceInfo CurrentDevice() const { return currentDevice; }

    // How long a device that failed to start or stopped with an error waits before the
    // first attempt; each further failure doubles the wait up to MaxRestartDelay.
    // Settable for tests.
    void setRestartDelay(int msecs) { restartDelay = msecs; }
    // The wait before the pending attempt; 0 when none is pending.
    int PendingRestartDelay() const { return restartTimer.isActive() ? restartTimer.interval() : 0; }
    static constexpr int MaxRestartDelay = 30000;

    virtual ExtAudioDeviceInfo DefaultDevice() const = 0;
    virtual void StopDevice() = 0;
    virtual void StartDevice() = 0;

    // Tries a failed device at once instead of after its wait: the sound server is back.
    void RetryNow();

    // Read and written directly by the settings pages, which then raise IsTrackChangesChanged.
    bool TrackChanges = false;

signals:
    void DeviceListChanged();
    void SelectedIndexChanged();
    void DeviceNotification();
    void IsTrackChangesChanged();
    void DeviceError(QAudio::Error error);
    void DeviceStopped();

protected slots:
    void audiolistmanager_DeiceListChanged();

protected:
    // source is the device object that reported the state; it may be a replaced one.
    virtual void OnDeviceStateChanged(QObject* source, QAudio::State state) = 0;
    virtual void OnDeviceStart() = 0;
    virtual void OnDeviceStop() = 0;
    virtual bool HasDevice() const = 0;

    // Reports a device failure and tries the current device again after the restart
    // delay. Only the first failure of an outage is logged and signalled.
    void DeviceFailed(QAudio::Error error);
    // The device delivers (capture) or accepts (playback) audio: an outage is over.
    void DeviceRuns()
    {
        if (failures > 0)
            DeviceRecovered();
    }
    // While retrying a failed device nothing is logged per attempt.
    bool Retrying() const { return failures > 0; }
    // Sets the tracking flag read from the settings, announcing a change.
    void SetTrackChanges(bool track);
    // Stores value and emits signal(value) when it differs from the stored one.
    template<typename Manager>
    void UpdateValue(int& stored, int value, void (Manager::*signal)(int))
    {
        if (value == stored)
            return;
        stored = value;
        emit(static_cast<Manager*>(this)->*signal)(value);
    }
    void CancelRestart() { restartTimer.stop(); }
    // Logs the creation of a device object now and its deletion when it happens, unless
    // retrying; kind is "input" or "output".
    void TraceDeviceLifetime(QObject* device, const QString& kind, const QString& description) const;

private:
    void TakeList(const ExtAudioDeviceInfoList& list);
    void SelectFirstOrNone();
    void SelectByNameOrFirst(const QString& name);
    void ClearSelection();
    void RestartFailedDevice();
    void DeviceRecovered();

    QPointer<AudioListManager> listManager;
    ExtAudioDeviceInfoList devices;
    ExtAudioDeviceInfo currentDevice;
    int selectedIndex = -1;
    bool listReceived = false;
    QString savedName;
    QTimer restartTimer;
    int restartDelay = 2000;
    // Failed attempts since the device last ran.
    int failures = 0;
};
