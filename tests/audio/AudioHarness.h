#pragma once

#include "PlaybackDeviceManager.h"
#include "PulseAudioListManager.h"
#include "PulseAudioManager.h"
#include "PulseTestServer.h"
#include "RecordingDeviceManager.h"
#include "TestHome.h"

#include <QtEndian>
#include <QtTest>

#include <memory>

// Helpers for the tests that run the audio objects against the private sound server.
namespace AudioHarness {

// Gives the test fresh settings of its own; false when the sound server is not there.
inline bool prepare()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    return PulseTestServer::isRunning();
}

// Writes the device name that LoadSettings selects (RecordingDeviceSettings or PlaybackDeviceSettings).
template<typename DeviceSettings>
void saveDeviceName(const QString& name)
{
    DeviceSettings settings;
    settings.Name = name;
    settings.sync();
}

inline bool listHas(AudioListManager* list, const QString& name, QString* description = nullptr)
{
    for (const ExtAudioDeviceInfo& entry : list->DeviceList()) {
        if (entry.deviceName() == name) {
            if (description)
                *description = entry.description();
            return true;
        }
    }
    return false;
}

inline bool waitForDevice(AudioDeviceManagerBase* manager, const QString& name, int timeoutMsecs = 10000)
{
    return QTest::qWaitFor([&] { return manager->CurrentDevice().deviceName() == name; }, timeoutMsecs);
}

// Builds and starts the audio objects as the program does.
inline std::unique_ptr<PulseAudioManager> startAudio()
{
    auto audio = std::make_unique<PulseAudioManager>();
    audio->Start();
    return audio;
}

inline QByteArray pcm(const QVector<qint16>& samples)
{
    QByteArray bytes(samples.size() * 2, Qt::Uninitialized);
    for (int i = 0; i < samples.size(); ++i)
        qToLittleEndian<qint16>(samples.at(i), bytes.data() + 2 * i);
    return bytes;
}

inline QByteArray constant(int count, qint16 value)
{
    return pcm(QVector<qint16>(count, value));
}

// Collects everything a recording manager captures.
class Capture : public QObject
{
public:
    explicit Capture(RecordingDeviceManager* recording)
    {
        connect(recording, &RecordingDeviceManager::SoundAvailable, this, [this](const QByteArray& data) {
            bytes += data;
            ++buffers;
        });
    }
    bool waitFor(const QByteArray& expected, int timeoutMsecs = 10000)
    {
        return QTest::qWaitFor([&] { return bytes.contains(expected); }, timeoutMsecs);
    }
    QByteArray bytes;
    int buffers = 0;
};

} // namespace AudioHarness
