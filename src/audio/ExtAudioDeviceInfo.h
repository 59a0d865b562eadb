#pragma once

#include <QAudioDeviceInfo>
#include <QList>
#include <QString>

// A device as Qt Multimedia offers it, with the description the sound server gives it.
// A null device means no device.
class ExtAudioDeviceInfo
{
public:
    ExtAudioDeviceInfo() = default;
    ExtAudioDeviceInfo(const QAudioDeviceInfo& device, const QString& description);

    const QAudioDeviceInfo& device() const { return m_device; }
    const QString& description() const { return m_description; }
    QString deviceName() const { return m_device.deviceName(); }
    bool isNull() const { return m_device.isNull(); }

    // Entries are the same device when their Qt devices are equal; descriptions do not count.
    bool operator==(const ExtAudioDeviceInfo& other) const { return m_device == other.m_device; }
    bool operator!=(const ExtAudioDeviceInfo& other) const { return !(*this == other); }

private:
    QAudioDeviceInfo m_device;
    QString m_description;
};

using ExtAudioDeviceInfoList = QList<ExtAudioDeviceInfo>;
