#include "SelfTest.h"

#include "RecordingDeviceManager.h"

SelfTest::SelfTest(SelfTestViewModel* viewModel, WebSocketWorker* worker, ConnectionManager* connectionManager,
                   ConnectionHeartbeat* heartbeat, RecordingDeviceManager* recordingManager, QObject* parent)
    : QObject(parent)
    , viewModel(viewModel)
    , worker(worker)
    , connectionManager(connectionManager)
    , heartbeat(heartbeat)
    , recordingManager(recordingManager)
{
}

SelfTest::~SelfTest() = default;

void SelfTest::onLoad()
{
    if (recordingManager)
        recordingManager->paused.storeRelease(1);
}

void SelfTest::onClose()
{
    if (recordingManager)
        recordingManager->paused.storeRelease(0);
}
