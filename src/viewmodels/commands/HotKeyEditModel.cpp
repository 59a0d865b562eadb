#include "HotKeyEditModel.h"

#include "HotKeyManager.h"
#include "XHotKeyConverter.h"

#include <QKeyEvent>

namespace {
const Qt::KeyboardModifiers EmulatedModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

bool isBareModifier(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Meta || key == Qt::Key_Alt
        || key == Qt::Key_AltGr;
}
} // namespace

HotKeyEditModel::HotKeyEditModel(CommandsCollectionViewModel* collection)
    : CommandEditModel(UserCommandNamespace::Key, collection)
    , text(createSecondField([this](ValidationArgs* args) { ValidateHotKey(args); }))
{
}

HotKeyEditModel::HotKeyEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection)
    : CommandEditModel(row, collection)
    , text(createSecondField([this](ValidationArgs* args) { ValidateHotKey(args); }))
{
    set_HotKey(converter().ConvertFromString(row->get_Text()));
}

HotKeyEditModel::~HotKeyEditModel() = default;

const XHotKeyConverter& HotKeyEditModel::converter()
{
    static const XHotKeyConverter instance;
    return instance;
}

bool HotKeyEditModel::validate()
{
    return validateWith(text);
}

void HotKeyEditModel::copyTo(UserCommandViewModel* row)
{
    copyWith(row, text);
}

void HotKeyEditModel::ValidateHotKey(ValidationArgs* args) const
{
    if (hotKey.keycode == 0)
        args->Error = tr("Не задана горячая клавиша");
}

bool HotKeyEditModel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // Return is a chord here, not the window's "Готово"; Esc still closes the window.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Escape && !isBareModifier(key->key())) {
            key->accept();
            return true;
        }
    }
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (isBareModifier(key->key()))
        return QObject::eventFilter(watched, event);
    HotKeyInfo chord = converter().HotKeyFromEvent(key);
    converter().SetQtModifiers(&chord, emulated & EmulatedModifiers, true);
    set_HotKey(chord);
    // Tab, Return or a letter would otherwise move the focus or act in the field.
    return true;
}

void HotKeyEditModel::attachWindow(QObject* win)
{
    if (!win)
        return;
    HotKeyManager::getHotkeyManager()->muteListener();
    win->installEventFilter(this);
}

void HotKeyEditModel::detachWindow(QObject* win)
{
    if (!win)
        return;
    HotKeyManager::getHotkeyManager()->unmuteListener();
    win->removeEventFilter(this);
}

void HotKeyEditModel::set_HotKey(HotKeyInfo info)
{
    hotKey = info;
    text->SetText(converter().ConvertToString(info));
}

void HotKeyEditModel::setEmulated(Qt::KeyboardModifier modifier, bool on, void (HotKeyEditModel::*changed)(bool))
{
    if (emulated.testFlag(modifier) == on)
        return;
    emulated.setFlag(modifier, on);
    emit(this->*changed)(on);
    converter().SetQtModifiers(&hotKey, modifier, on);
    set_HotKey(hotKey);
}

void HotKeyEditModel::set_ModCtrl(bool on)
{
    setEmulated(Qt::ControlModifier, on, &HotKeyEditModel::changed_ModCtrl);
}

void HotKeyEditModel::set_ModAlt(bool on)
{
    setEmulated(Qt::AltModifier, on, &HotKeyEditModel::changed_ModAlt);
}

void HotKeyEditModel::set_ModShift(bool on)
{
    setEmulated(Qt::ShiftModifier, on, &HotKeyEditModel::changed_ModShift);
}

void HotKeyEditModel::set_ModWin(bool on)
{
    setEmulated(Qt::MetaModifier, on, &HotKeyEditModel::changed_ModWin);
}
