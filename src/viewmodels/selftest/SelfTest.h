#pragma once

#include "AsrState.h"
#include "ConnectionStateInfo.h"
#include "RecognitionMode.h"
#include "SelfTestFile.h"
#include "TextResult.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <limits>
#include <memory>

class AsrManager;
class ConnectionHeartbeat;
class ConnectionManager;
class QFile;
class RecordingDeviceManager;
class ResultManager;
class SelfTestSettings;
class SelfTestViewModel;
class WebSocketWorker;

// Measures the link (heartbeat pings and their pongs) and the recognition
// (stored sound files played to the server as dictation, final results
// counted) and writes a log and a CSV report. While its window is loaded the
// microphone's audio is dropped and recognised text is neither typed nor run.
// Lives in the GUI thread; the link's signals arrive queued.
class SelfTest : public QObject
{
    Q_OBJECT

public:
    // Audio chunks are SoundPeriod ms long; other values are clamped into this range.
    static constexpr int MinSoundPeriod = 1;
    static constexpr int MaxSoundPeriod = 60000;
    // The longest wait a timer can hold; a negative time-out is taken as 0.
    static constexpr qint64 MaxTimeout = std::numeric_limits<int>::max();

    SelfTest(SelfTestViewModel* viewModel, WebSocketWorker* worker, ConnectionManager* connectionManager,
             ConnectionHeartbeat* heartbeat, RecordingDeviceManager* recordingManager, QObject* parent = nullptr);
    ~SelfTest() override;

    // The files of the run in progress (empty paths when none).
    QString logFilePath() const;
    QString reportFilePath() const;

public slots:
    void onLoad();
    void onClose();
    void onClear();
    void onStart();
    void onStop();
    void onPing();
    void onPong(qulonglong elapsedTime, QByteArray payload);
    void onConnectionState(ConnectionStateInfo stateInfo);
    void onAsrMode(RecognitionMode mode, AsrState state);

private slots:
    void result_received(TextResult result);

private:
    enum Phase { Idle = 0, PingTesting = 1, WaitingForStart = 2, Playing = 3, WaitingForStop = 4 };
    using Handler = void (SelfTest::*)();

    void load();
    void close();
    void start();
    void pingTest();
    void startRecognition();
    void NextFile();
    void send_data();
    void stopRecognition();
    void CloseFile();
    void clear_pings();
    void Log(const QString& text);
    void CSV(const QString& text);
    void ping_timeout();
    void start_timeout();
    void result_timeout();
    void stopTimers();
    void restoreDictation();
    void closeReports();
    // Runs one step of a slot; an exception is logged and ends the run.
    template<typename Step>
    void guarded(const char* method, Step step);

    SelfTestViewModel* viewModel;
    WebSocketWorker* worker;
    ConnectionManager* connectionManager;
    ConnectionHeartbeat* heartbeat;
    QPointer<RecordingDeviceManager> recordingManager;
    QPointer<AsrManager> asrManager;
    QPointer<ResultManager> resultManager;

    std::unique_ptr<SelfTestSettings> settings;
    bool loaded = false;
    Phase phase = Idle;
    int pingTimeout = 0;
    int pingCountLimit = 0;
    int startTimeout = 0;
    int stopTimeout = 0;
    int soundPeriod = 0;

    quint64 pings = 0;
    quint64 pongs = 0;
    quint64 minDelay = 2147483647;
    quint64 maxDelay = 0;
    quint64 delaySum = 0;
    double avgDelay = 0;

    QList<SelfTestFile> files;
    int fileNumber = 0;
    QString fileName;
    std::unique_ptr<QFile> soundFile;
    QByteArray buffer;
    int tail = 0;
    int expectedResults = 0;
    int receivedResults = 0;
    QElapsedTimer fileClock;

    // Timer A bounds each wait; what a time-out means depends on the phase.
    QTimer timerA;
    Handler timeoutHandler = nullptr;
    // Timer B paces the audio chunks.
    QTimer timerB;

    std::unique_ptr<QFile> logFile;
    std::unique_ptr<QFile> reportFile;
    QList<QMetaObject::Connection> runConnections;
};
