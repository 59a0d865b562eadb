#include "RecognitionSettingsViewModel.h"

#include "ASRSettings.h"
#include "AppVariables.h"
#include "PropertyChange.h"
#include "ThemeChooseViewModel.h"
#include "ValidatableInt32.h"

RecognitionSettingsViewModel::RecognitionSettingsViewModel(QObject* parent)
    : AppSettingsViewModel(QStringLiteral("Распознавание"), true, parent)
    , chooser(new ThemeChooseViewModel(this))
    , themeSelectEnabled(AppVariables::buildFlag(QStringLiteral("ThemeSelectEnabled")))
{
    innerSettings.append(chooser);
    connect(chooser, &ThemeChooseViewModel::choicesRefilled, this, &RecognitionSettingsViewModel::showWhyNoThemes);
}

RecognitionSettingsViewModel::~RecognitionSettingsViewModel() = default;

void RecognitionSettingsViewModel::set_AsrManager(AsrManager* manager)
{
    chooser->set_AsrManager(manager);
}

QObject* RecognitionSettingsViewModel::get_ThemeChooseViewModel() const
{
    return chooser;
}

void RecognitionSettingsViewModel::set_SendingMode(bool value)
{
    changeProperty(this, sendingMode, value, &RecognitionSettingsViewModel::changed_SendingMode);
}

void RecognitionSettingsViewModel::set_CapitalLetterAfterStart(bool value)
{
    changeProperty(this, capitalLetterAfterStart, value, &RecognitionSettingsViewModel::changed_CapitalLetterAfterStart);
}

void RecognitionSettingsViewModel::set_UsePunctuation(bool value)
{
    changeProperty(this, usePunctuation, value, &RecognitionSettingsViewModel::changed_UsePunctuation);
}

void RecognitionSettingsViewModel::set_CanEditKivaroWords(bool value)
{
    changeProperty(this, canEditKivaroWords, value, &RecognitionSettingsViewModel::changed_CanEditKivaroWords);
}

void RecognitionSettingsViewModel::set_CanEnableKivaro(bool value)
{
    changeProperty(this, canEnableKivaro, value, &RecognitionSettingsViewModel::changed_CanEnableKivaro);
}

void RecognitionSettingsViewModel::set_LogoHeight(int value)
{
    changeProperty(this, logoHeight, value, &RecognitionSettingsViewModel::changed_LogoHeight);
}

void RecognitionSettingsViewModel::set_ThemeSelectEnabled(bool value)
{
    changeProperty(this, themeSelectEnabled, value, &RecognitionSettingsViewModel::changed_ThemeSelectEnabled);
}

void RecognitionSettingsViewModel::set_IsThemeAutoSelect(bool value)
{
    changeProperty(this, isThemeAutoSelect, value, &RecognitionSettingsViewModel::changed_IsThemeAutoSelect);
}

bool RecognitionSettingsViewModel::hasThemes() const
{
    return chooser->choices()->count() > 0;
}

bool RecognitionSettingsViewModel::Validate()
{
    return !hasThemes() || SettingsViewModel::Validate();
}

QString RecognitionSettingsViewModel::chosenThemeId() const
{
    const ThemeInfoViewModel* selected = chooser->get_SelectedTheme();
    return selected ? selected->get_Id() : QString();
}

void RecognitionSettingsViewModel::Load()
{
    {
        ASRSettings settings;
        storedThemeAtLoad = settings.SelectedTheme;
        set_SendingMode(settings.SendingMode);
        set_CapitalLetterAfterStart(settings.CapitalLetterAfterStart);
        set_UsePunctuation(settings.UsePunctuation);
        set_IsThemeAutoSelect(settings.IsThemeAutoSelect);
        punctuationEnabled = settings.PunctuationEnabled;
        emit changed_PunctuationEnabled(punctuationEnabled);
        set_CanEditKivaroWords(settings.CanEditKivaroWords);
    }
    set_LogoHeight(AppVariables::buildValue(QStringLiteral("LogoHeight")).toInt());
    if (AppVariables::buildFlag(QStringLiteral("CanEnableKivaro")))
        set_CanEnableKivaro(true);
    SettingsViewModel::Load();
    chosenThemeAtLoad = chosenThemeId();
    showWhyNoThemes();
}

void RecognitionSettingsViewModel::showWhyNoThemes()
{
    // The view shows the reason in place of an empty list.
    if (!hasThemes())
        chooser->selectedIndexField()->set_Text(chooser->selectedIndexField()->get_Text());
}

void RecognitionSettingsViewModel::Apply()
{
    ASRSettings settings;
    SettingsViewModel::Apply();

    const QString chosen = chosenThemeId();
    if (hasThemes() && (chosen != chosenThemeAtLoad || QString(settings.SelectedTheme) == storedThemeAtLoad))
        settings.SelectedTheme.ChangeValue(chosen);
    settings.SendingMode.ChangeValue(sendingMode);
    settings.IsThemeAutoSelect.ChangeValue(isThemeAutoSelect);
    settings.UsePunctuation.ChangeValue(usePunctuation);
    settings.CanEditKivaroWords.ChangeValue(canEditKivaroWords);
    if (settings.CanEditKivaroWords.isChanged())
        emit canEditKivaroChanged(canEditKivaroWords);
    settings.CapitalLetterAfterStart.ChangeValue(capitalLetterAfterStart);
    settings.sync();

    if (settings.SendingMode.isChanged() || settings.UsePunctuation.isChanged() || settings.CanEditKivaroWords.isChanged())
        emit recognitionSettingsChanged();
    if (settings.SelectedTheme.isChanged())
        emit selectedThemeChanged();
}
