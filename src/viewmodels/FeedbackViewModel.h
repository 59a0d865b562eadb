#pragma once

#include "UserNotification.h"

#include <QObject>

class AsrManager;
class RecordingDeviceManager;

// The feedback form's model: a claim sent to the server.
class FeedbackViewModel : public QObject
{
    Q_OBJECT

public:
    FeedbackViewModel(AsrManager* asrManager, RecordingDeviceManager* recordingManager, QObject* parent = nullptr);
    ~FeedbackViewModel() override;

signals:
    void notifyUser(UserNotification notification);

private:
    AsrManager* asrManager;
    RecordingDeviceManager* recordingManager;
};
