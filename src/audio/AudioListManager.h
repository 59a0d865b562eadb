#pragma once

#include "ExtAudioDeviceInfo.h"

#include <QAudio>
#include <QMutex>
#include <QObject>

// The devices of one direction that Qt Multimedia offers, each with its description.
// Subclasses describe the devices and leave out the ones not to be shown.
// Lives in the thread that refreshes it; DeviceList() may be called from any thread.
class AudioListManager : public QObject
{
    Q_OBJECT

public:
    AudioListManager(QAudio::Mode mode, QObject* parent = nullptr);
    ~AudioListManager() override;

    QAudio::Mode Mode() const { return mode; }
    ExtAudioDeviceInfoList DeviceList() const;
    // Rebuilds the list; the first call always announces it, later ones only on change.
    void UpdateDeviceList();
    // The device with its description, or an empty entry when it is to be left out.
    virtual ExtAudioDeviceInfo CreateExtDeviceInfo(const QAudioDeviceInfo& device) = 0;

signals:
    void DeviceListChanged();

protected:
    virtual QList<QAudioDeviceInfo> AvailableDevices() const;

private:
    const QAudio::Mode mode;
    mutable QMutex lock;
    ExtAudioDeviceInfoList list;
    bool firstUpdatePending = true;
};
