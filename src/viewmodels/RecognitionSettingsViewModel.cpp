#include "RecognitionSettingsViewModel.h"

RecognitionSettingsViewModel::RecognitionSettingsViewModel(QObject* parent)
    : AppSettingsViewModel(QStringLiteral("Распознавание"), true, parent)
{
}

RecognitionSettingsViewModel::~RecognitionSettingsViewModel() = default;
