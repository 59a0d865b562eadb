#pragma once

#include <QObject>

class ConnectionHeartbeat;
class ConnectionManager;
class RecordingDeviceManager;
class SelfTestViewModel;
class WebSocketWorker;

// Plays stored audio to the server and reports what comes back. While its
// window is loaded the microphone's audio is dropped.
class SelfTest : public QObject
{
    Q_OBJECT

public:
    SelfTest(SelfTestViewModel* viewModel, WebSocketWorker* worker, ConnectionManager* connectionManager,
             ConnectionHeartbeat* heartbeat, RecordingDeviceManager* recordingManager, QObject* parent = nullptr);
    ~SelfTest() override;

public slots:
    void onLoad();
    void onClose();

private:
    SelfTestViewModel* viewModel;
    WebSocketWorker* worker;
    ConnectionManager* connectionManager;
    ConnectionHeartbeat* heartbeat;
    RecordingDeviceManager* recordingManager;
};
