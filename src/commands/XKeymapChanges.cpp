#include "XKeymapChanges.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

XKeymapChanges::XKeymapChanges(Display* display)
    : display(display)
{
    int opcode = 0;
    int eventBase = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!display || !XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor))
        return;
    xkbEventType = eventBase;
    const unsigned long changes = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
    XkbSelectEvents(display, XkbUseCoreKbd, changes, changes);
}

bool XKeymapChanges::isChange(XEvent* event) const
{
    if (event->type == MappingNotify) {
        XRefreshKeyboardMapping(&event->xmapping);
        return true;
    }
    if (xkbEventType < 0 || event->type != xkbEventType)
        return false;
    const int xkbType = reinterpret_cast<XkbAnyEvent*>(event)->xkb_type;
    return xkbType == XkbNewKeyboardNotify || xkbType == XkbMapNotify;
}

bool XKeymapChanges::drain() const
{
    bool changed = false;
    while (display && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        changed = isChange(&event) || changed;
    }
    return changed;
}
