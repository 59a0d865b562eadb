#pragma once

#include <QObject>

class AsrManager;
class ConnectionManager;
class RecordingDeviceManager;
class ResultManager;

// The recognition monitor window's model: state, level and results.
class MonitorViewModel : public QObject
{
    Q_OBJECT

public:
    MonitorViewModel(AsrManager* asrManager, ResultManager* resultManager, RecordingDeviceManager* recordingManager,
                     ConnectionManager* connectionManager, QObject* parent = nullptr);
    ~MonitorViewModel() override;

private:
    AsrManager* asrManager;
    ResultManager* resultManager;
    RecordingDeviceManager* recordingManager;
    ConnectionManager* connectionManager;
};
