#pragma once

#include "HotkeySettings.h"

#include <QSignalSpy>
#include <QStringList>

inline void writeHotkeySettings(bool useHotkey, const QString& hotKey, const QString& p2tKey)
{
    HotkeySettings settings;
    settings.UseHotkey = useHotkey;
    settings.HotKey = hotKey;
    settings.P2TKey = p2tKey;
    settings.sync();
}

// The calls of HotKeyManager::activated as "class/id/pressType".
inline QStringList activations(const QSignalSpy& spy)
{
    QStringList result;
    for (const QList<QVariant>& call : spy)
        result << QStringLiteral("%1/%2/%3").arg(call[0].toInt()).arg(call[1].toInt()).arg(call[2].toInt());
    return result;
}
