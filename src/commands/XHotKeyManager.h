#pragma once

#include "HotKeyManager.h"

class KeyboardListener;
class SubService;

// The X11 hotkey manager: a KeyboardListener in its own thread reports key
// events, which reach checkHotkeys in this object's (the GUI) thread.
class XHotKeyManager : public HotKeyManager
{
    Q_OBJECT

public:
    XHotKeyManager();
    ~XHotKeyManager() override;

    bool IsInitialized() const override;
    using HotKeyManager::applyHotkeySettings;
    void applyHotkeySettings(HotkeyClass hotkeyClass, int hotkeyId) override;
    void keyboardHookReg() override;
    void keyboardHookUnreg() override;
    void startKeyListener() override;
    void stopKeyListener() override;

    KeyboardListener* getListener() const { return listener; }

public slots:
    void muteListener() override;
    void unmuteListener() override;
    void onKeyEvent(bool isUp, int qtKey, quint32 serverTime, qint64 happenedAt);

private:
    SubService* service = nullptr;
    KeyboardListener* listener = nullptr;
    // Key capture windows open; hotkeys are ignored while not 0.
    int mutes = 0;
};
