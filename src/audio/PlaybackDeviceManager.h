#pragma once

#include "AudioDeviceManager.h"

#include <QAudioFormat>
#include <QAudioOutput>
#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QPointer>
#include <QString>

// Plays raw PCM chunks (22050 Hz, mono, 16-bit signed little-endian) and WAV files
// in that format on the chosen output device, with a level per chunk.
class PlaybackDeviceManager : public AudioDeviceManager<QAudioOutput>
{
    Q_OBJECT

public:
    // Sound that may wait to be played: a minute. A server that sends more, or
    // faster than it is played, has the rest dropped; each chunk counts at
    // least ChunkCostBytes, the list's own share.
    static constexpr qint64 MaxQueuedBytes = 22050 * 2 * 60;
    static constexpr qint64 ChunkCostBytes = 64;

    explicit PlaybackDeviceManager(AudioListManager* list, QObject* parent = nullptr);
    ~PlaybackDeviceManager() override;

    ExtAudioDeviceInfo DefaultDevice() const override;

    void LoadSettings();

    // Callable from any thread: the change runs in the manager's thread.
    void set_Volume(int vol);

    int Volume() const { return volume; }
    int CurrentLevel() const { return level; }
    const QAudioFormat& Format() const { return format; }
    // The sound waiting to be played, as counted against MaxQueuedBytes.
    qint64 QueuedCost() const { return queuedBytes + queue.size() * ChunkCostBytes; }

signals:
    void VolumeChanged(int vol);
    void CurrentLevelChanged(int level);

public slots:
    void playSoundFile(QString filePath);
    void playSound(QByteArray _data);

private slots:
    void read_Volume();
    void internal_set_Volume(int vol);
    void WriteDataToStream();

protected:
    void OnDeviceStateChanged(QObject* source, QAudio::State state) override;
    void OnDeviceStart() override;
    void OnDeviceStop() override;
    QAudioOutput* CreateDevice(const ExtAudioDeviceInfo& info) override;

private:
    void SetLevel(int value);
    void Enqueue(const QByteArray& chunk);
    // Logs how much was dropped since dropping began.
    void ReportDropped();

    QAudioFormat format;
    const int notifyInterval = 100;
    int volume = 0;
    int level = 0;
    // Qt deletes the stream itself when the device closes (also when the sound server goes away).
    QPointer<QIODevice> stream;
    QList<QByteArray> queue;
    qint64 queuedBytes = 0;
    int droppedChunks = 0;
    qint64 droppedBytes = 0;
};
