#include "MonitorViewModel.h"

#include "ASRSettings.h"
#include "AppVariables.h"
#include "AsrManager.h"
#include "PropertyChange.h"
#include "RecordingDeviceManager.h"
#include "RecordingDeviceSettings.h"
#include "ResultManager.h"
#include "TextWriter.h"
#include "ThemeChooseViewModel.h"

#include <QDebug>
#include <QGuiApplication>

#include <exception>

MonitorViewModel::MonitorViewModel(AsrManager* asrManager, ResultManager* resultManager,
                                   RecordingDeviceManager* recordingManager, ConnectionManager* connectionManager,
                                   QObject* parent)
    : QObject(parent)
    , descColor(AppVariables::buildValue(QStringLiteral("SplashTextColor")))
    , logoHeight(AppVariables::buildValue(QStringLiteral("SplashLogoHeight")).toInt())
    , alternateThemeView(AppVariables::buildFlag(QStringLiteral("AlternateThemeSelectionWindow")))
    , asrManager(asrManager)
    , resultManager(resultManager)
    , recordingManager(recordingManager)
    , connectionManager(connectionManager)
    , gainValue(recordingManager ? recordingManager->Gain() : 0)
    , themeChoice(new ThemeChooseViewModel(this))
{
    themeChoice->set_AsrManager(asrManager);
    refreshThemeName();
    if (recordingManager) {
        connect(recordingManager, &RecordingDeviceManager::CurrentLevelChanged, this,
                &MonitorViewModel::RecordingLevelChanged);
        connect(recordingManager, &RecordingDeviceManager::GainChanged, this, &MonitorViewModel::GainChanged);
    }
    if (asrManager) {
        // The connection driver reports mode states from its own thread.
        connect(asrManager, &AsrManager::currentModeOrStateChanged, this, &MonitorViewModel::asrStateChanged,
                Qt::QueuedConnection);
        connect(asrManager, &AsrManager::selectedThemeChanged, this, &MonitorViewModel::refreshThemeName);
    }
    if (resultManager) {
        connect(resultManager, &ResultManager::resultReady, this, &MonitorViewModel::resultReady);
        resultsIgnored = resultManager->processResults == 0;
        connect(resultManager, &ResultManager::resultProcessingChanged, this,
                &MonitorViewModel::resultProcessingChanged);
    }
}

MonitorViewModel::~MonitorViewModel() = default;

void MonitorViewModel::set_Visible(bool value)
{
    changeProperty(this, visible, value, &MonitorViewModel::changed_Visible);
}

void MonitorViewModel::set_SoundLevel(int value)
{
    changeProperty(this, soundLevel, value, &MonitorViewModel::changed_SoundLevel);
}

void MonitorViewModel::set_Loading(bool value)
{
    changeProperty(this, loading, value, &MonitorViewModel::changed_Loading);
}

void MonitorViewModel::set_GainVisible(bool value)
{
    changeProperty(this, gainVisible, value, &MonitorViewModel::changed_GainVisible);
}

void MonitorViewModel::set_ThemeVisible(bool value)
{
    changeProperty(this, themeVisible, value, &MonitorViewModel::changed_ThemeVisible);
}

void MonitorViewModel::set_ThemeName(QString value)
{
    changeProperty(this, themeName, value, &MonitorViewModel::changed_ThemeName);
}

void MonitorViewModel::set_ResultText(QString value)
{
    changeProperty(this, resultText, value, &MonitorViewModel::changed_ResultText);
}

void MonitorViewModel::set_DescColor(QString value)
{
    changeProperty(this, descColor, value, &MonitorViewModel::changed_DescColor);
}

void MonitorViewModel::set_LogoHeight(int value)
{
    changeProperty(this, logoHeight, value, &MonitorViewModel::changed_LogoHeight);
}

void MonitorViewModel::set_AlternateThemeView(bool value)
{
    changeProperty(this, alternateThemeView, value, &MonitorViewModel::changed_AlternateThemeView);
}

QObject* MonitorViewModel::get_ThemeChooseViewModel() const
{
    return themeChoice;
}

QWindow* MonitorViewModel::get_ActiveWindow() const
{
    return QGuiApplication::focusWindow();
}

void MonitorViewModel::setGain(int value)
{
    if (value == gainValue)
        return;
    gainValue = value;
    if (recordingManager)
        recordingManager->set_Gain(value);
    // Only the gain: a microphone chosen on an open, not yet saved audio page stays unsaved.
    RecordingDeviceSettings settings;
    settings.Gain.ChangeValue(value);
    settings.sync();
    emit changedGain(gainValue);
}

void MonitorViewModel::GainChanged(int value)
{
    changeProperty(this, gainValue, value, &MonitorViewModel::changedGain);
}

void MonitorViewModel::RecordingLevelChanged(int level)
{
    set_SoundLevel(level);
}

void MonitorViewModel::asrStateChanged(RecognitionMode mode, AsrState state)
{
    if (unsigned(mode) <= unsigned(RecognitionModeNamespace::VoiceActivation))
        return;
    switch (state) {
    case Starting:
        qDebug() << "AsrState::Starting";
        set_Loading(true);
        set_Visible(true);
        break;
    case Started:
        qDebug() << "AsrState::Started";
        set_Loading(false);
        set_Visible(true);
        break;
    case Stopping:
        qDebug() << "AsrState::Stopping";
        set_Loading(true);
        break;
    case Stopped:
        qDebug() << "AsrState::Stopped";
        set_Visible(false);
        set_ResultText(QString());
        set_GainVisible(false);
        set_ThemeVisible(false);
        break;
    default:
        break;
    }
}

void MonitorViewModel::resultReady(QString text, bool isFinal)
{
    if (isFinal) {
        set_ResultText(QString());
        return;
    }
    const unsigned long window = resultManager->getResultWindow();
    QRect rect;
    tooltipOnInputWindow = window != 0 && TextWriter::GetWindowRect(window, &rect);
    emit changed_TooltipOnInputWindow(tooltipOnInputWindow);
    if (tooltipOnInputWindow) {
        inputWindowRect = rect;
        emit changed_InputWindowRect(inputWindowRect);
    }
    set_ResultText(text);
}

void MonitorViewModel::resultProcessingChanged(bool processed)
{
    changeProperty(this, resultsIgnored, !processed, &MonitorViewModel::changed_ResultsIgnored);
}

void MonitorViewModel::refreshThemeName()
{
    const ClientThemeInfo theme = asrManager ? asrManager->getSelectedTheme() : ClientThemeInfo();
    set_ThemeName(theme.id().isEmpty() ? QString() : theme.name() + QLatin1Char(' ') + theme.version());
}

void MonitorViewModel::closeCommand()
{
    if (asrManager)
        asrManager->stopRecognition();
}

void MonitorViewModel::loadThemeChoice()
{
    themeChoice->onLoad();
    // Without a list the pane says why in place of the choice.
    if (themeChoice->choices()->count() == 0)
        themeChoice->Validate();
}

bool MonitorViewModel::applyThemeChoice()
{
    try {
        const ThemeInfoViewModel* chosen = themeChoice->Validate() ? themeChoice->get_SelectedTheme() : nullptr;
        if (!chosen)
            return false;
        ASRSettings settings;
        settings.SelectedTheme.ChangeValue(chosen->get_Id());
        settings.sync();
        if (settings.SelectedTheme.isChanged() && asrManager)
            asrManager->selectedTheme();
        return true;
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("Error in MonitorViewModel::applyThemeChoice: ")
                + QString::fromUtf8(e.what());
    }
    return false;
}
