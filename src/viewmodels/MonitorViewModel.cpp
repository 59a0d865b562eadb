#include "MonitorViewModel.h"

MonitorViewModel::MonitorViewModel(AsrManager* asrManager, ResultManager* resultManager,
                                   RecordingDeviceManager* recordingManager, ConnectionManager* connectionManager,
                                   QObject* parent)
    : QObject(parent)
    , asrManager(asrManager)
    , resultManager(resultManager)
    , recordingManager(recordingManager)
    , connectionManager(connectionManager)
{
}

MonitorViewModel::~MonitorViewModel() = default;
