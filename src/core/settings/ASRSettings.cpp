#include "ASRSettings.h"

#include "AppVariables.h"

ASRSettings::ASRSettings()
    : Settings(QStringLiteral("ASR"))
    , SelectedTheme(this, QStringLiteral("SelectedTheme"), QString())
    , SendingMode(this, QStringLiteral("SendingMode"), true)
    , IsThemeAutoSelect(this, QStringLiteral("IsThemeAutoSelect"), false)
    , CapitalLetterAfterStart(this, QStringLiteral("CapitalLetterAfterStart"), true)
    , CanEditKivaroWords(this, QStringLiteral("CanEditKivaroWords"), AppVariables::buildFlag(QStringLiteral("CanEditKivaroWords")))
    , UsePunctuation(this, QStringLiteral("UsePunctuation"), false)
    , PunctuationEnabled(this, QStringLiteral("PunctuationEnabled"), AppVariables::buildFlag(QStringLiteral("PunctuationEnabled")))
{
}

ASRSettings::~ASRSettings() = default;
