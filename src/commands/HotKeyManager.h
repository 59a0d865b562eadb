#pragma once

#include "HotkeyTypes.h"

#include <QList>
#include <QObject>

class GlobalHotkey;

// Turns key-down and key-up events of a few keys into hotkey activations:
// a double press toggles recognition, a held push-to-talk key starts and stops it.
// Lives in the GUI thread; the key source of the subclass reports to it by queued signals.
class HotKeyManager : public QObject
{
    Q_OBJECT

public:
    explicit HotKeyManager(QObject* parent = nullptr);
    ~HotKeyManager() override;

    // The process-wide manager, created at the first call.
    static HotKeyManager* getHotkeyManager();

    virtual bool IsInitialized() const = 0;
    // Enables exactly the hotkeys of this class and id.
    virtual void applyHotkeySettings(HotkeyClass hotkeyClass, int hotkeyId) = 0;
    virtual void keyboardHookReg() = 0;
    virtual void keyboardHookUnreg() = 0;
    virtual void startKeyListener() = 0;
    virtual void stopKeyListener() = 0;

    // Reads the "HotKeys" settings group and enables the chosen hotkey.
    void applyHotkeySettings();
    // Feeds one key event (qtKey -1: a key that is not watched); true when an activation was emitted.
    // serverTime is the event's X server time, happenedAt the same moment on
    // the clock of hotkeyClockUs(): a toggle completed by an event that
    // happened before the last toggle was acted on waited behind a busy GUI
    // thread, and is dropped, so presses handled late never toggle several times.
    bool checkHotkeys(bool isUp, int qtKey, quint32 serverTime, qint64 happenedAt);
    // An event happening now.
    bool checkHotkeys(bool isUp, int qtKey);

    const QList<GlobalHotkey*>& getHotkeys() const { return hotkeys; }

signals:
    void activated(int hotkeyClass, int hotkeyId, int pressType);
    void activationModeChanged(int hotkeyClass, int hotkeyId);

public slots:
    void onSettingsChanged();
    virtual void muteListener() = 0;
    virtual void unmuteListener() = 0;

protected:
    QList<GlobalHotkey*> hotkeys;

private:
    // When the last toggle had been acted on (hotkeyClockUs()).
    qint64 lastToggleDone = 0;
};
