#pragma once

#include "CommandEditModel.h"
#include "HotKeyInfo.h"

#include <Qt>

class XHotKeyConverter;

// A command that presses a key chord: the phrase and the chord, captured from
// the keys pressed in the chord field, with modifiers that can be added by
// check box (for chords the desktop would take for itself). GUI thread only.
class HotKeyEditModel : public CommandEditModel
{
    Q_OBJECT
    Q_PROPERTY(QObject* Text READ get_Text NOTIFY changed_Text)
    Q_PROPERTY(bool ModCtrl READ get_ModCtrl WRITE set_ModCtrl NOTIFY changed_ModCtrl)
    Q_PROPERTY(bool ModAlt READ get_ModAlt WRITE set_ModAlt NOTIFY changed_ModAlt)
    Q_PROPERTY(bool ModShift READ get_ModShift WRITE set_ModShift NOTIFY changed_ModShift)
    Q_PROPERTY(bool ModWin READ get_ModWin WRITE set_ModWin NOTIFY changed_ModWin)

public:
    explicit HotKeyEditModel(CommandsCollectionViewModel* collection);
    HotKeyEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection);
    ~HotKeyEditModel() override;

    QObject* get_Text() const { return text; }
    ValidatableText* textField() const { return text; }
    bool get_ModCtrl() const { return emulated.testFlag(Qt::ControlModifier); }
    bool get_ModAlt() const { return emulated.testFlag(Qt::AltModifier); }
    bool get_ModShift() const { return emulated.testFlag(Qt::ShiftModifier); }
    bool get_ModWin() const { return emulated.testFlag(Qt::MetaModifier); }
    HotKeyInfo get_HotKey() const { return hotKey; }

    bool validate() override;

    // Captures the chord of each key pressed in the watched object (not of a
    // modifier alone); the captured key does nothing else there.
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The chord field (or window) whose key presses are captured while it is shown.
    Q_INVOKABLE void attachWindow(QObject* win);
    Q_INVOKABLE void detachWindow(QObject* win);

    // The converter of captured keys, made on first use.
    static const XHotKeyConverter& converter();

public slots:
    void set_ModCtrl(bool on);
    void set_ModAlt(bool on);
    void set_ModShift(bool on);
    void set_ModWin(bool on);
    void set_HotKey(HotKeyInfo info);

signals:
    void changed_Text(ValidatableText* text);
    void changed_ModCtrl(bool on);
    void changed_ModAlt(bool on);
    void changed_ModShift(bool on);
    void changed_ModWin(bool on);

protected:
    void copyTo(UserCommandViewModel* row) override;

private:
    void ValidateHotKey(ValidationArgs* args) const;
    void setEmulated(Qt::KeyboardModifier modifier, bool on, void (HotKeyEditModel::*changed)(bool));

    ValidatableText* text;
    Qt::KeyboardModifiers emulated;
    HotKeyInfo hotKey;
};
