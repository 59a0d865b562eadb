#pragma once

#include <QDebug>
#include <QList>
#include <QObject>

#include <type_traits>
#include <utility>

// The user-command and auto-replace managers grow their loading and wiring
// operations with the dictation work. Until a build has them, each call below
// logs that it was skipped instead of failing to compile; once they exist the
// calls are made directly.
namespace PendingCommandsApi {

#define SCRIVORA_DETECT(Name, Expression)                                                              \
    template<typename T, typename = void>                                                              \
    struct Name : std::false_type {};                                                                  \
    template<typename T>                                                                               \
    struct Name<T, std::void_t<decltype(Expression)>> : std::true_type {};

SCRIVORA_DETECT(HasSetAsrManager, std::declval<T&>().set_AsrManager(nullptr))
SCRIVORA_DETECT(HasLoadAll, std::declval<T&>().LoadAll())
SCRIVORA_DETECT(HasUpdateCommands, &T::updateCommands)
SCRIVORA_DETECT(HasCommandTypes, std::declval<T&>().get_CommandTypes())
SCRIVORA_DETECT(HasSetManagers, std::declval<T&>().set_Managers(nullptr, nullptr))
SCRIVORA_DETECT(HasOnRecognitionSettingsChanged, &T::OnRecognitionSettingsChanged)
#undef SCRIVORA_DETECT

inline void skipped(const char* what)
{
    qWarning() << "Not available in this build:" << what;
}

template<typename Commands, typename Asr>
void handOverAsrManager(Commands* commands, Asr* asr)
{
    if constexpr (HasSetAsrManager<Commands>::value)
        commands->set_AsrManager(asr);
    else
        skipped("UserCommandsManager::set_AsrManager");
}

template<typename Commands>
void loadAll(Commands* commands)
{
    if constexpr (HasLoadAll<Commands>::value)
        commands->LoadAll();
    else
        skipped("UserCommandsManager::LoadAll");
}

template<typename Asr, typename Commands>
void connectThemeToCommands(Asr* asr, Commands* commands)
{
    if constexpr (HasUpdateCommands<Commands>::value)
        QObject::connect(asr, &Asr::selectedThemeChanged, commands, &Commands::updateCommands);
    else
        skipped("UserCommandsManager::updateCommands");
}

template<typename Commands>
QList<int> commandTypes(Commands* commands)
{
    QList<int> types;
    if constexpr (HasCommandTypes<Commands>::value) {
        for (const auto& type : commands->get_CommandTypes())
            types << static_cast<int>(type);
    } else {
        skipped("UserCommandsManager::get_CommandTypes");
    }
    return types;
}

template<typename AutoReplace, typename Asr, typename Commands>
void setManagers(AutoReplace* autoReplace, Asr* asr, Commands* commands)
{
    if constexpr (HasSetManagers<AutoReplace>::value)
        autoReplace->set_Managers(asr, commands);
    else
        skipped("AutoReplaceManager::set_Managers");
}

template<typename Sender, typename Signal, typename AutoReplace>
void connectRecognitionSettings(Sender* sender, Signal signal, AutoReplace* autoReplace)
{
    if constexpr (HasOnRecognitionSettingsChanged<AutoReplace>::value)
        QObject::connect(sender, signal, autoReplace, &AutoReplace::OnRecognitionSettingsChanged);
    else
        skipped("AutoReplaceManager::OnRecognitionSettingsChanged");
}

} // namespace PendingCommandsApi
