#include "LaunchManager.h"

#include "AsrManager.h"
#include "ClientInfoSettings.h"
#include "LaunchSettings.h"

LaunchManager::LaunchManager(AsrManager* asrManager)
    : ExecutableCommandsSource(nullptr)
    , asrManager(asrManager)
{
    LaunchSettings settings;
    if (!settings.GlobalEnableVAC) {
        settings.VoiceActivationEnabled.ChangeValue(false);
        settings.VoiceDeactivationEnabled.ChangeValue(false);
        settings.sync();
    }
    updateSettings();
}

LaunchManager::~LaunchManager() = default;

bool LaunchManager::isVoiceActivationEnabled()
{
    return LaunchSettings().VoiceActivationEnabled;
}

void LaunchManager::updateSettings()
{
    clearCommands();
    LaunchSettings settings;
    const bool activation = settings.VoiceActivationEnabled;
    const auto addCommand = [this](CommandType type, const QString& pattern, const QString& prefix) {
        CommandInfo command;
        command.setType(type);
        command.setPattern(pattern);
        command.setId(prefix + ClientInfoSettings().getOrCreateDesktopId());
        commands.append(command);
    };
    if (activation)
        addCommand(CommandTypeActivation, settings.VoiceActivationCommand, QStringLiteral("vac_"));
    if (settings.VoiceDeactivationEnabled)
        addCommand(CommandTypeDeactivation, settings.VoiceDeactivationCommand, QStringLiteral("vdc_"));

    if (asrManager)
        asrManager->setIsVoiceActivationEnabled(activation);
    emit commandsChanged();
}

QString LaunchManager::executeCommand(CommandInfo command) const
{
    if (!asrManager)
        return QString();
    for (const CommandInfo& own : commands) {
        if (own.id() != command.id())
            continue;
        if (own.type() == CommandTypeActivation)
            asrManager->startRecognition();
        else if (own.type() == CommandTypeDeactivation)
            asrManager->stopRecognition();
        break;
    }
    return QString();
}

void LaunchManager::onCommandsRefreshed() const
{
    startVoiceActivation();
}

void LaunchManager::startVoiceActivation() const
{
    if (!asrManager)
        return;
    const std::optional<RecognitionMode> mode = asrManager->getTargetModeInfo()->mode();
    if (!mode || *mode <= RecognitionModeNamespace::VoiceActivation)
        asrManager->startUninteractiveMode();
}
