#pragma once

#include "AudioDeviceManager.h"

#include <QAtomicInt>
#include <QAudioFormat>
#include <QAudioInput>
#include <QByteArray>
#include <QIODevice>
#include <QMetaObject>
#include <QPointer>

// Captures the microphone in the recognition format (16000 Hz, mono, 16-bit signed
// little-endian) and hands each buffer out through SoundAvailable, with its level.
class RecordingDeviceManager : public AudioDeviceManager<QAudioInput>
{
    Q_OBJECT

public:
    explicit RecordingDeviceManager(AudioListManager* list, QObject* parent = nullptr);
    ~RecordingDeviceManager() override;

    ExtAudioDeviceInfo DefaultDevice() const override;

    void LoadSettings();

    // Callable from any thread: the change runs in the manager's thread.
    void set_Gain(int gain);
    // Follows volume changes that reach the device from elsewhere.
    void read_Gain();

    // Whether a device runs and its audio is being read.
    bool IsCapturing() const { return device && stream; }

    int Gain() const { return gain; }
    int CurrentLevel() const { return level; }

    // While not 0, captured audio is read and thrown away; written from other threads.
    QAtomicInt paused{0};

signals:
    void GainChanged(int gain);
    void CurrentLevelChanged(int level);
    void SoundAvailable(QByteArray data);

private slots:
    void internal_set_Gain(int gain);
    void OnNotifyInterval();

protected:
    void OnDeviceStateChanged(QObject* source, QAudio::State state) override;
    void OnDeviceStart() override;
    void OnDeviceStop() override;
    QAudioInput* CreateDevice(const ExtAudioDeviceInfo& info) override;

private:
    QAudioFormat format;
    const int gainReadPeriod = 100;
    // Qt deletes the stream itself when the device closes (also when the sound server goes away).
    QPointer<QIODevice> stream;
    int elapsed = 0;
    // DataInterval as read at device start; reading the settings file per buffer is costly.
    int dataInterval = 200;
    int gain = 0;
    int level = 0;
    QMetaObject::Connection dataConnection;
};
