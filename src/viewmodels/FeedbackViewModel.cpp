#include "FeedbackViewModel.h"

FeedbackViewModel::FeedbackViewModel(AsrManager* asrManager, RecordingDeviceManager* recordingManager, QObject* parent)
    : QObject(parent)
    , asrManager(asrManager)
    , recordingManager(recordingManager)
{
}

FeedbackViewModel::~FeedbackViewModel() = default;
