#include "GlobalHotkey.h"

#include <algorithm>

GlobalHotkey::GlobalHotkey(int hotkeyClass, int hotkeyId, Qt::Key key, int modifiers, QObject* parent)
    : GlobalHotkey(hotkeyClass, hotkeyId, key, modifiers, 1, parent)
{
}

GlobalHotkey::GlobalHotkey(int hotkeyClass, int hotkeyId, Qt::Key key, int modifiers, KeyPressType pressType,
                           QObject* parent)
    : GlobalHotkey(hotkeyClass, hotkeyId, key, modifiers, 1, parent)
{
    m_pressType = pressType;
}

GlobalHotkey::GlobalHotkey(int hotkeyClass, int hotkeyId, Qt::Key key, int modifiers, int pressCount,
                           QObject* parent)
    : QObject(parent)
    , m_key(key)
    , m_modifiers(modifiers)
    , m_pressCount(std::max(1, pressCount))
    , m_hotkeyClass(hotkeyClass)
    , m_hotkeyId(hotkeyId)
{
}

GlobalHotkey::~GlobalHotkey() = default;

void GlobalHotkey::reset()
{
    m_pressed = false;
    restartCount();
}

void GlobalHotkey::restartCount()
{
    m_counter = 0;
}

bool GlobalHotkey::check(bool isUp, int qtKey, quint32 serverTime)
{
    if (qtKey != m_key || m_modifiers != 0) {
        restartCount();
        return false;
    }

    if (isUp) {
        m_pressed = false;
        if (m_pressType == KeyPressType::Pressed) {
            restartCount();
            return false;
        }
        return count(serverTime);
    }

    if (m_pressed)
        return false; // auto-repeat of a held key
    m_pressed = true;
    switch (m_pressType) {
    case KeyPressType::Pressed:
        return count(serverTime);
    case KeyPressType::Released:
        restartCount();
        return false;
    case KeyPressType::Counted:
        break;
    }
    return false;
}

bool GlobalHotkey::count(quint32 serverTime)
{
    // The gap is measured from the previous counted event; exactly the interval still counts.
    const quint32 gap = serverTime - m_lastCounted;
    if (m_counter > 0 && m_pressCount > 1 && gap > static_cast<quint32>(m_interval))
        restartCount();
    ++m_counter;
    m_lastCounted = serverTime;
    if (m_counter < m_pressCount)
        return false;
    restartCount();
    return true;
}
