#pragma once

#include "HotKeyConverter.h"
#include "XKeymapChanges.h"

struct _XDisplay;

// Key chords against the keyboard map of the X display. Without a display,
// key names cannot be resolved: keys read as keycode 0 and print as "".
// Used from the GUI thread.
class XHotKeyConverter : public HotKeyConverter
{
public:
    XHotKeyConverter();
    ~XHotKeyConverter() override;
    XHotKeyConverter(const XHotKeyConverter&) = delete;
    XHotKeyConverter& operator=(const XHotKeyConverter&) = delete;

    QString ConvertToString(const HotKeyInfo& info) const override;
    HotKeyInfo ConvertFromString(QString text) const override;
    HotKeyInfo HotKeyFromEvent(const QKeyEvent* event) const override;

    bool hasDisplay() const { return display != nullptr; }

private:
    _XDisplay* display = nullptr;
    // Keeps the lookups on the current layout.
    XKeymapChanges keymapChanges;
};
