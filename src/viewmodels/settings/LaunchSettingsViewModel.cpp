#include "LaunchSettingsViewModel.h"

#include "AppVariables.h"
#include "ConveterException.h"
#include "HotKeyManager.h"
#include "HotkeySettings.h"
#include "LaunchSettings.h"
#include "ProgramRun.h"
#include "PropertyChange.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {
// The position of the element stored under this name; a name that matches
// nothing means the element of value 0.
template<typename T>
int positionOf(const EnumModel<T>* model, const QString& invariantName)
{
    const QList<EnumElement<T>*>& elements = model->get_Elements();
    for (int i = 0; i < elements.size(); ++i) {
        if (elements.at(i)->invariantName() == invariantName)
            return i;
    }
    for (int i = 0; i < elements.size(); ++i) {
        if (elements.at(i)->value() == 0)
            return i;
    }
    return -1;
}

template<typename T>
EnumElement<T>* chosen(const EnumModel<T>* model)
{
    EnumElement<T>* element = model->currentElement();
    if (!element)
        throw ConveterException::create<int, T>();
    return element;
}
} // namespace

LaunchSettingsViewModel::LaunchSettingsViewModel(QObject* parent)
    : AppSettingsViewModel(tr("Запуск"), false, parent)
    , hotKeys(new EnumModel<Hotkey>(this))
    , push2TalkKeys(new EnumModel<Push2TalkKey>(this))
{
    LaunchSettings settings;
    globalEnableVAC = settings.GlobalEnableVAC;
    isVACSettingsVisible = globalEnableVAC;
    // Where an administrator looks when the autostart box stays disabled.
    qInfo().noquote() << "Autostart helper" << installProgram()
                      << (getAutoStartEnabled() ? "found" : "not found: autostart cannot be changed");
}

LaunchSettingsViewModel::~LaunchSettingsViewModel() = default;

bool LaunchSettingsViewModel::get_IsHotKeysAvaliable() const
{
    return HotKeyManager::getHotkeyManager()->IsInitialized();
}

void LaunchSettingsViewModel::set_IsAutoStart(bool value)
{
    changeProperty(this, isAutoStart, value, &LaunchSettingsViewModel::changed_IsAutoStart);
}

void LaunchSettingsViewModel::set_IsHotKey(bool value)
{
    changeProperty(this, isHotKey, value, &LaunchSettingsViewModel::changed_IsHotKey);
}

void LaunchSettingsViewModel::set_IsPushToTalk(bool value)
{
    changeProperty(this, isPushToTalk, value, &LaunchSettingsViewModel::changed_IsPushToTalk);
}

void LaunchSettingsViewModel::set_VoiceActivationCommand(QString value)
{
    changeProperty(this, voiceActivationCommand, value, &LaunchSettingsViewModel::changed_VoiceActivationCommand);
}

void LaunchSettingsViewModel::set_VoiceDeactivationCommand(QString value)
{
    changeProperty(this, voiceDeactivationCommand, value, &LaunchSettingsViewModel::changed_VoiceDeactivationCommand);
}

void LaunchSettingsViewModel::set_GlobalEnableVAC(bool value)
{
    changeProperty(this, globalEnableVAC, value, &LaunchSettingsViewModel::changed_GlobalEnableVAC);
}

void LaunchSettingsViewModel::set_IsWriteToControl(bool value)
{
    changeProperty(this, isWriteToControl, value, &LaunchSettingsViewModel::changed_IsWriteToControl);
}

void LaunchSettingsViewModel::set_IsVoiceActivationEnabled(bool value)
{
    isVoiceActivationEnabled = value;
    emit changed_IsVoiceActivationEnabled(value);
}

void LaunchSettingsViewModel::set_IsVoiceDeactivationEnabled(bool value)
{
    isVoiceDeactivationEnabled = value;
    emit changed_IsVoiceDeactivationEnabled(value);
}

QString LaunchSettingsViewModel::installProgram() const
{
    return QDir(AppVariables::sm_stdVars.get(QStringLiteral("AppBinaryLocation"), QString()))
        .filePath(QStringLiteral("install"));
}

bool LaunchSettingsViewModel::getAutoStartEnabled() const
{
    const QFileInfo program(installProgram());
    return program.isFile() && program.isExecutable();
}

int LaunchSettingsViewModel::runInstall(const QString& argument) const
{
    const ProgramRun run(installProgram(), {argument}, installTimeoutMs);
    if (!run.started()) {
        qWarning().noquote() << "Autostart: install" << argument << "could not be started:" << run.errorOutput();
        return -1;
    }
    if (run.timedOut()) {
        qWarning().noquote() << "Autostart: install" << argument << "did not end within" << installTimeoutMs << "ms";
        return -1;
    }
    if (!run.succeeded())
        qInfo().noquote() << "Autostart: install" << argument << "ended with" << run.exitCode() << run.errorOutput();
    return run.succeeded() ? 0 : qMax(1, run.exitCode());
}

bool LaunchSettingsViewModel::getAutoStart() const
{
    return getAutoStartEnabled() && runInstall(QStringLiteral("query")) == 0;
}

void LaunchSettingsViewModel::setAutoStart(bool on)
{
    if (!getAutoStartEnabled()) {
        qWarning() << "Autostart: no executable install program at" << installProgram();
        return;
    }
    if (runInstall(on ? QStringLiteral("autorun") : QStringLiteral("noautorun")) != 0)
        qWarning() << "Autostart could not be switched" << (on ? "on" : "off");
}

QString LaunchSettingsViewModel::normalizeCommand(const QString& command)
{
    QString spaced;
    for (const uint code : command.toUcs4()) {
        const bool kept = QChar::isLetter(code) || QChar::category(code) == QChar::Number_DecimalDigit;
        spaced += kept ? QString::fromUcs4(&code, 1) : QStringLiteral(" ");
    }
    return spaced.split(QLatin1Char(' '), Qt::SkipEmptyParts).join(QLatin1Char(' '));
}

void LaunchSettingsViewModel::Load()
{
    isAutoStartEnabled = getAutoStartEnabled();
    emit changed_IsAutoStartEnabled(isAutoStartEnabled);
    loadedAutoStart = getAutoStart();
    set_IsAutoStart(loadedAutoStart);

    HotkeySettings hotkeySettings;
    hotKeys->set_CurrentIndex(positionOf(hotKeys, hotkeySettings.HotKey));
    push2TalkKeys->set_CurrentIndex(positionOf(push2TalkKeys, hotkeySettings.P2TKey));
    const bool useHotkey = hotkeySettings.UseHotkey;
    set_IsHotKey(useHotkey);
    set_IsPushToTalk(!useHotkey);

    LaunchSettings launch;
    set_IsVoiceActivationEnabled(launch.VoiceActivationEnabled);
    set_VoiceActivationCommand(launch.VoiceActivationCommand);
    set_IsVoiceDeactivationEnabled(launch.VoiceDeactivationEnabled);
    set_VoiceDeactivationCommand(launch.VoiceDeactivationCommand);
    set_IsWriteToControl(launch.OutputToBackground);
}

void LaunchSettingsViewModel::Apply()
{
    const EnumElement<Push2TalkKey>* push2TalkKey = chosen(push2TalkKeys);
    const EnumElement<Hotkey>* hotkey = chosen(hotKeys);

    HotkeySettings hotkeySettings;
    hotkeySettings.UseHotkey.ChangeValue(isHotKey);
    hotkeySettings.HotKey.ChangeValue(hotkey->invariantName());
    hotkeySettings.P2TKey.ChangeValue(push2TalkKey->invariantName());
    if (hotkeySettings.isChanged())
        hotkeySettings.sync();

    LaunchSettings launch;
    if (isVACSettingsVisible) {
        launch.VoiceActivationEnabled.ChangeValue(isVoiceActivationEnabled);
        launch.VoiceActivationCommand.ChangeValue(normalizeCommand(voiceActivationCommand));
        launch.VoiceDeactivationEnabled.ChangeValue(isVoiceDeactivationEnabled);
        launch.VoiceDeactivationCommand.ChangeValue(normalizeCommand(voiceDeactivationCommand));
        launch.VoiceActivationEnabledBalancer.ChangeValue(isVoiceActivationEnabled);
        launch.VoiceDeactivationEnabledBalancer.ChangeValue(isVoiceDeactivationEnabled);
    }
    launch.OutputToBackground.ChangeValue(isWriteToControl);

    if (hotkeySettings.isChanged() || launch.isChanged()) {
        emit activationChanged();
        if (hotkeySettings.isChanged())
            emit hotKeysChanged();
    }
    if (isAutoStart != loadedAutoStart)
        setAutoStart(isAutoStart);
    launch.sync();
}

void LaunchSettingsViewModel::VACSettingsVisibleChanged(bool enableVAC, bool receivedFromBalancer)
{
    if (receivedFromBalancer) {
        if (isVACSettingsVisible != enableVAC)
            emit vacSettingsVisibleChanged(enableVAC);
        isVACSettingsVisible = enableVAC;
    } else {
        isVACSettingsVisible = globalEnableVAC;
    }

    LaunchSettings launch;
    if (!isVACSettingsVisible) {
        set_IsVoiceActivationEnabled(false);
        set_IsVoiceDeactivationEnabled(false);
        launch.VoiceActivationEnabled.ChangeValue(false);
        launch.VoiceDeactivationEnabled.ChangeValue(false);
        if (receivedFromBalancer) {
            launch.VoiceActivationEnabledBalancer.ChangeValue(false);
            launch.VoiceDeactivationEnabledBalancer.ChangeValue(false);
        }
    } else {
        const bool activation = launch.VoiceActivationEnabled || launch.VoiceActivationEnabledBalancer;
        const bool deactivation = launch.VoiceDeactivationEnabled || launch.VoiceDeactivationEnabledBalancer;
        set_IsVoiceActivationEnabled(activation);
        set_IsVoiceDeactivationEnabled(deactivation);
        launch.VoiceActivationEnabled.ChangeValue(activation);
        launch.VoiceDeactivationEnabled.ChangeValue(deactivation);
    }
    launch.sync();
    emit activationChanged();
    emit changed_IsVACSettingsVisible(isVACSettingsVisible);
}
