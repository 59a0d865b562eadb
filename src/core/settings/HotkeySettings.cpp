#include "HotkeySettings.h"

HotkeySettings::HotkeySettings()
    : Settings(QStringLiteral("HotKeys"))
    , UseHotkey(this, QStringLiteral("UseHotkey"), true)
    , HotKey(this, QStringLiteral("HotKey"), QStringLiteral("DoubleCtrl"))
    , P2TKey(this, QStringLiteral("P2TKey"), QStringLiteral("Ctrl"))
{
}

HotkeySettings::~HotkeySettings() = default;
