#include "TTSSettings.h"

#include <cmath>

const QString TTSSettings::DefaultVoice = QStringLiteral("Alena");

TTSSettings::TTSSettings()
    : Settings(QStringLiteral("TTS"))
    , Voice(this, QStringLiteral("Voice"), DefaultVoice)
    , IsTtsEnabled(this, QStringLiteral("IsTtsEnabled"), true)
    , Speed(this, QStringLiteral("Speed"), 1.0)
{
}

TTSSettings::~TTSSettings() = default;

bool TTSSettings::saveTtsSettings(QString voice, bool enabled, double speed)
{
    bool changedAny = false;
    if (QString(Voice) != voice) {
        Voice = voice;
        changedAny = true;
    }
    if (bool(IsTtsEnabled) != enabled) {
        IsTtsEnabled = enabled;
        changedAny = true;
    }
    if (std::fabs(double(Speed) - speed) > 0.01) {
        Speed = speed;
        changedAny = true;
    }
    if (changedAny)
        sync();
    return changedAny;
}
