#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "HotKeys".
class HotkeySettings : public Settings
{
    Q_OBJECT

public:
    HotkeySettings();
    ~HotkeySettings() override;

    Setting<bool> UseHotkey;
    Setting<QString> HotKey;
    Setting<QString> P2TKey;
};
