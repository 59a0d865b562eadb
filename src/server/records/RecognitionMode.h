#pragma once

#include <QObject>

namespace RecognitionModeNamespace {
Q_NAMESPACE

enum RecognitionMode {
    Off = 0,
    VoiceActivation = 1,
    Text = 2,
    TemplatedForm = 3,
    TemplatedWizardForm = 4
};
Q_ENUM_NS(RecognitionMode)

} // namespace RecognitionModeNamespace

using RecognitionModeNamespace::RecognitionMode;
