#pragma once

#include "ExecutableCommandsSource.h"

class AsrManager;

// The voice phrases that start and stop dictation, built from the "Launch"
// settings, and the idle mode (voice activation or off) kept in step with
// them. Lives in the GUI thread.
class LaunchManager : public ExecutableCommandsSource
{
    Q_OBJECT

public:
    explicit LaunchManager(AsrManager* asrManager);
    ~LaunchManager() override;

    QString executeCommand(CommandInfo command) const override;
    void onCommandsRefreshed() const override;
    void startVoiceActivation() const;

    static bool isVoiceActivationEnabled();

signals:
    void settingsChanged();

public slots:
    void updateSettings();

private:
    AsrManager* asrManager;
};
