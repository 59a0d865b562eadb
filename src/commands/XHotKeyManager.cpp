#include "XHotKeyManager.h"

#include "GlobalHotkey.h"
#include "KeyboardListener.h"
#include "SubService.h"

XHotKeyManager::XHotKeyManager()
    : HotKeyManager(nullptr)
{
    keyboardHookReg();
    applyHotkeySettings();
    startKeyListener();
}

XHotKeyManager::~XHotKeyManager()
{
    keyboardHookUnreg();
}

bool XHotKeyManager::IsInitialized() const
{
    return listener && listener->IsInitialized();
}

void XHotKeyManager::applyHotkeySettings(HotkeyClass hotkeyClass, int hotkeyId)
{
    if (listener)
        listener->ResetKeys(hotkeyClass == HotkeyClass::PushToTalk);
    for (GlobalHotkey* hotkey : qAsConst(hotkeys)) {
        const bool chosen = hotkey->hotkeyClass() == static_cast<int>(hotkeyClass) && hotkey->hotkeyId() == hotkeyId;
        hotkey->setEnabled(chosen);
        // Also the chosen ones: a key held while the listener restarts never reports its release.
        hotkey->reset();
        if (chosen && listener)
            listener->AddKey(hotkey->key(), hotkey->modifiers());
    }
}

void XHotKeyManager::keyboardHookReg()
{
    if (service)
        return;
    listener = new KeyboardListener;
    service = new SubService(listener, true);
    // The listener sees a stop at once; a settings change then holds the GUI thread only a few ms.
    service->setPollInterval(5);
    connect(listener, &KeyboardListener::keyEventAction, this, &XHotKeyManager::onKeyEvent);
}

void XHotKeyManager::keyboardHookUnreg()
{
    if (!service)
        return;
    stopKeyListener();
    disconnect(listener, &KeyboardListener::keyEventAction, this, &XHotKeyManager::onKeyEvent);
    // The service disposes of the listener and its thread.
    delete service;
    service = nullptr;
    listener = nullptr;
}

void XHotKeyManager::startKeyListener()
{
    if (service)
        service->Start();
}

void XHotKeyManager::stopKeyListener()
{
    // Ends a push-to-talk recording that may be running.
    emit activated(static_cast<int>(HotkeyClass::PushToTalk), -1, static_cast<int>(KeyPressType::Released));
    if (service)
        service->Stop();
}

// While a key chord is being captured its keys must not toggle dictation: the
// text dictated into the capture field would replace the chord.
void XHotKeyManager::muteListener()
{
    if (mutes++ == 0)
        emit activated(static_cast<int>(HotkeyClass::PushToTalk), -1, static_cast<int>(KeyPressType::Released));
}

void XHotKeyManager::unmuteListener()
{
    if (mutes == 0 || --mutes > 0)
        return;
    // Presses counted before or during the capture do not pair with later ones.
    for (GlobalHotkey* hotkey : qAsConst(hotkeys))
        hotkey->reset();
}

void XHotKeyManager::onKeyEvent(bool isUp, int qtKey, quint32 serverTime, qint64 happenedAt)
{
    if (mutes == 0)
        checkHotkeys(isUp, qtKey, serverTime, happenedAt);
}
