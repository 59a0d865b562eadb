#pragma once

#include "HotkeyTypes.h"

#include <QObject>

// One hotkey: a key, when its events count, and how many counted events fire it.
class GlobalHotkey : public QObject
{
    Q_OBJECT

public:
    GlobalHotkey(int hotkeyClass, int hotkeyId, Qt::Key key, int modifiers, QObject* parent);
    GlobalHotkey(int hotkeyClass, int hotkeyId, Qt::Key key, int modifiers, KeyPressType pressType,
                 QObject* parent);
    GlobalHotkey(int hotkeyClass, int hotkeyId, Qt::Key key, int modifiers, int pressCount, QObject* parent);
    ~GlobalHotkey() override;

    int hotkeyClass() const { return m_hotkeyClass; }
    int hotkeyId() const { return m_hotkeyId; }
    KeyPressType pressType() const { return m_pressType; }
    Qt::Key key() const { return m_key; }
    int modifiers() const { return m_modifiers; }
    int pressCount() const { return m_pressCount; }
    int interval() const { return m_interval; }

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    // Forgets counted presses and the held key.
    void reset();
    // Feeds one key event of an enabled hotkey; true when the hotkey fires.
    // The gap between counted events is taken from the events' X server times
    // (ms, wrapping around), not from when they are handled.
    bool check(bool isUp, int qtKey, quint32 serverTime);

private:
    void restartCount();
    bool count(quint32 serverTime);

    int m_interval = 250;
    KeyPressType m_pressType = KeyPressType::Counted;
    Qt::Key m_key;
    int m_modifiers;
    int m_pressCount = 1;
    bool m_enabled = false;
    int m_hotkeyClass;
    int m_hotkeyId;
    bool m_pressed = false;
    int m_counter = 0;
    // Server time of the last counted event.
    quint32 m_lastCounted = 0;
};
