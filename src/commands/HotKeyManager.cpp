#include "HotKeyManager.h"

#include "ConveterException.h"
#include "GlobalHotkey.h"
#include "HotkeySettings.h"
#include "XHotKeyManager.h"

#include <QDebug>

template<> Enum<Hotkey>::Container Enum<Hotkey>::Values{
    {static_cast<int>(Hotkey::DoubleCtrl), QStringLiteral("Ctrl 2 раза"), QStringLiteral("DoubleCtrl")},
    {static_cast<int>(Hotkey::DoubleCapsLock), QStringLiteral("Caps Lock 2 раза"), QStringLiteral("DoubleCapsLock")},
};

template<> Enum<Push2TalkKey>::Container Enum<Push2TalkKey>::Values{
    {static_cast<int>(Push2TalkKey::Ctrl), QStringLiteral("Клавиша Ctrl"), QStringLiteral("Ctrl")},
    {static_cast<int>(Push2TalkKey::Pause), QStringLiteral("Клавиша Pause/Break"), QStringLiteral("Pause")},
};

namespace {
constexpr int toggle = static_cast<int>(HotkeyClass::Toggle);
constexpr int pushToTalk = static_cast<int>(HotkeyClass::PushToTalk);

template<typename T>
int idFromName(const QString& name)
{
    try {
        return static_cast<int>(Enum<T>::FromInvariantString(name));
    } catch (const ConveterException&) {
        return 0; // a hand-edited name falls back to the first choice
    }
}
} // namespace

HotKeyManager::HotKeyManager(QObject* parent)
    : QObject(parent)
{
    // The order decides which entry fires first.
    const int ctrl = static_cast<int>(Push2TalkKey::Ctrl);
    const int pause = static_cast<int>(Push2TalkKey::Pause);
    hotkeys << new GlobalHotkey(pushToTalk, ctrl, Qt::Key_Control, 0, KeyPressType::Pressed, this)
            << new GlobalHotkey(pushToTalk, ctrl, Qt::Key_Control, 0, KeyPressType::Released, this)
            << new GlobalHotkey(pushToTalk, pause, Qt::Key_Pause, 0, KeyPressType::Pressed, this)
            << new GlobalHotkey(pushToTalk, pause, Qt::Key_Pause, 0, KeyPressType::Released, this)
            << new GlobalHotkey(toggle, static_cast<int>(Hotkey::DoubleCtrl), Qt::Key_Control, 0, 2, this)
            << new GlobalHotkey(toggle, static_cast<int>(Hotkey::DoubleCapsLock), Qt::Key_CapsLock, 0, 2, this);
}

HotKeyManager::~HotKeyManager() = default;

HotKeyManager* HotKeyManager::getHotkeyManager()
{
    static XHotKeyManager manager;
    return &manager;
}

void HotKeyManager::applyHotkeySettings()
{
    HotkeySettings settings;
    HotkeyClass hotkeyClass = HotkeyClass::Toggle;
    int hotkeyId = 0;
    if (settings.UseHotkey) {
        hotkeyId = idFromName<Hotkey>(settings.HotKey);
    } else {
        hotkeyClass = HotkeyClass::PushToTalk;
        hotkeyId = idFromName<Push2TalkKey>(settings.P2TKey);
    }
    applyHotkeySettings(hotkeyClass, hotkeyId);
    emit activationModeChanged(static_cast<int>(hotkeyClass), hotkeyId);
}

bool HotKeyManager::checkHotkeys(bool isUp, int qtKey)
{
    const qint64 now = hotkeyClockUs();
    return checkHotkeys(isUp, qtKey, static_cast<quint32>(now / 1000), now);
}

bool HotKeyManager::checkHotkeys(bool isUp, int qtKey, quint32 serverTime, qint64 happenedAt)
{
    bool fired = false;
    bool emitted = false;
    for (GlobalHotkey* hotkey : qAsConst(hotkeys)) {
        if (!hotkey->isEnabled())
            continue;
        // Every enabled entry sees the event, so counters stay right after the first one fires.
        if (!hotkey->check(isUp, qtKey, serverTime) || fired)
            continue;
        fired = true;
        const bool isToggle = hotkey->hotkeyClass() == toggle;
        if (isToggle && happenedAt < lastToggleDone) {
            qInfo() << "A double press that waited while the last one was acted on is dropped";
            continue;
        }
        emit activated(hotkey->hotkeyClass(), hotkey->hotkeyId(), static_cast<int>(hotkey->pressType()));
        emitted = true;
        if (isToggle)
            lastToggleDone = hotkeyClockUs();
    }
    return emitted;
}

void HotKeyManager::onSettingsChanged()
{
    stopKeyListener();
    applyHotkeySettings();
    startKeyListener();
}
