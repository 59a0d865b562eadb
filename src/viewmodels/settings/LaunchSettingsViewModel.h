#pragma once

#include "AppSettingsViewModel.h"
#include "EnumModel.h"
#include "HotkeyTypes.h"

#include <QString>

// The "Запуск" page: autostart through the "install" program beside the
// binary, the activation hotkey or push-to-talk key, the voice activation
// phrases (shown while the feature is switched on) and output into a
// background window. Built with the LaunchManager as its parent. GUI thread
// only; the "install" runs block it for at most installTimeout().
class LaunchSettingsViewModel : public AppSettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(bool IsAutoStart READ get_IsAutoStart WRITE set_IsAutoStart NOTIFY changed_IsAutoStart)
    Q_PROPERTY(bool IsAutoStartEnabled READ get_IsAutoStartEnabled NOTIFY changed_IsAutoStartEnabled)
    Q_PROPERTY(bool IsHotKey READ get_IsHotKey WRITE set_IsHotKey NOTIFY changed_IsHotKey)
    Q_PROPERTY(QObject* HotKeys READ get_HotKeys NOTIFY changed_HotKeys)
    Q_PROPERTY(bool IsPushToTalk READ get_IsPushToTalk WRITE set_IsPushToTalk NOTIFY changed_IsPushToTalk)
    Q_PROPERTY(QObject* Push2TalkKeys READ get_Push2TalkKeys NOTIFY changed_Push2TalkKeys)
    Q_PROPERTY(QString VoiceActivationCommand READ get_VoiceActivationCommand WRITE set_VoiceActivationCommand NOTIFY
                   changed_VoiceActivationCommand)
    Q_PROPERTY(QString VoiceDeactivationCommand READ get_VoiceDeactivationCommand WRITE set_VoiceDeactivationCommand
                   NOTIFY changed_VoiceDeactivationCommand)
    Q_PROPERTY(bool GlobalEnableVAC READ get_GlobalEnableVAC WRITE set_GlobalEnableVAC NOTIFY changed_GlobalEnableVAC)
    Q_PROPERTY(bool IsVACSettingsVisible READ get_IsVACSettingsVisible NOTIFY changed_IsVACSettingsVisible)
    Q_PROPERTY(bool IsVoiceActivationEnabled READ get_IsVoiceActivationEnabled WRITE set_IsVoiceActivationEnabled
                   NOTIFY changed_IsVoiceActivationEnabled)
    Q_PROPERTY(bool IsVoiceDeactivationEnabled READ get_IsVoiceDeactivationEnabled WRITE
                   set_IsVoiceDeactivationEnabled NOTIFY changed_IsVoiceDeactivationEnabled)
    Q_PROPERTY(bool IsWriteToControl READ get_IsWriteToControl WRITE set_IsWriteToControl NOTIFY changed_IsWriteToControl)
    Q_PROPERTY(bool IsHotKeysAvaliable READ get_IsHotKeysAvaliable CONSTANT)

public:
    static constexpr int DefaultInstallTimeout = 10000;

    explicit LaunchSettingsViewModel(QObject* parent = nullptr);
    ~LaunchSettingsViewModel() override;

    bool get_IsAutoStart() const { return isAutoStart; }
    bool get_IsAutoStartEnabled() const { return isAutoStartEnabled; }
    bool get_IsHotKey() const { return isHotKey; }
    QObject* get_HotKeys() const { return hotKeys; }
    EnumModel<Hotkey>* hotKeyChoices() const { return hotKeys; }
    bool get_IsPushToTalk() const { return isPushToTalk; }
    QObject* get_Push2TalkKeys() const { return push2TalkKeys; }
    EnumModel<Push2TalkKey>* push2TalkChoices() const { return push2TalkKeys; }
    QString get_VoiceActivationCommand() const { return voiceActivationCommand; }
    QString get_VoiceDeactivationCommand() const { return voiceDeactivationCommand; }
    bool get_GlobalEnableVAC() const { return globalEnableVAC; }
    bool get_IsVACSettingsVisible() const { return isVACSettingsVisible; }
    bool get_IsVoiceActivationEnabled() const { return isVoiceActivationEnabled; }
    bool get_IsVoiceDeactivationEnabled() const { return isVoiceDeactivationEnabled; }
    bool get_IsWriteToControl() const { return isWriteToControl; }
    bool get_IsHotKeysAvaliable() const;

    // The "install" program beside the binary: present and executable.
    bool getAutoStartEnabled() const;
    // Its answer to "query": exit code 0 means the program starts at login.
    bool getAutoStart() const;
    void setAutoStart(bool on);
    // Letters and digits of any script, separated by single blanks.
    static QString normalizeCommand(const QString& command);

    // How long one run of "install" may take before it is killed; settable for tests.
    int installTimeout() const { return installTimeoutMs; }
    void setInstallTimeout(int msecs) { installTimeoutMs = msecs; }

public slots:
    void set_IsAutoStart(bool value);
    void set_IsHotKey(bool value);
    void set_IsPushToTalk(bool value);
    void set_VoiceActivationCommand(QString value);
    void set_VoiceDeactivationCommand(QString value);
    void set_GlobalEnableVAC(bool value);
    void set_IsWriteToControl(bool value);
    // Always stored and announced, as the view's check boxes expect.
    void set_IsVoiceActivationEnabled(bool value);
    void set_IsVoiceDeactivationEnabled(bool value);

    void Load() override;
    // Throws ConveterException, before anything is stored, when a key list has no current entry.
    void Apply() override;

    // The voice-activation feature switch, from the balancer or the local settings.
    void VACSettingsVisibleChanged(bool enableVAC, bool receivedFromBalancer);

signals:
    void changed_IsAutoStart(bool value);
    void changed_IsAutoStartEnabled(bool value);
    void changed_IsHotKey(bool value);
    void changed_HotKeys(EnumModel<Hotkey>* model);
    void changed_IsPushToTalk(bool value);
    void changed_Push2TalkKeys(EnumModel<Push2TalkKey>* model);
    void changed_VoiceActivationCommand(QString value);
    void changed_VoiceDeactivationCommand(QString value);
    void changed_GlobalEnableVAC(bool value);
    void changed_IsVACSettingsVisible(bool visible);
    void changed_IsVoiceActivationEnabled(bool value);
    void changed_IsVoiceDeactivationEnabled(bool value);
    void changed_IsWriteToControl(bool value);
    void hotKeysChanged();
    void vacSettingsVisibleChanged(bool vacVisible);
    void activationChanged();

private:
    QString installProgram() const;
    // Runs "install" with one argument; its exit code, or -1 when it did not end normally.
    int runInstall(const QString& argument) const;

    bool isAutoStart = false;
    bool isAutoStartEnabled = false;
    bool isHotKey = false;
    EnumModel<Hotkey>* hotKeys;
    bool isPushToTalk = false;
    EnumModel<Push2TalkKey>* push2TalkKeys;
    QString voiceActivationCommand;
    QString voiceDeactivationCommand;
    bool globalEnableVAC = false;
    bool isWriteToControl = false;
    bool loadedAutoStart = false;
    bool isVACSettingsVisible = false;
    bool isVoiceActivationEnabled = false;
    bool isVoiceDeactivationEnabled = false;
    int installTimeoutMs = DefaultInstallTimeout;
};
