#pragma once

#include "HotkeyTypes.h"
#include "RepeatWorker.h"

#include <QList>
#include <QMutex>

#include <memory>

struct _XDisplay;
union _XEvent;
class XKeymapChanges;

// Reads XInput2 raw key events of the whole desktop and reduces them to
// key-down and key-up of one held key. Lives in the thread of its SubService;
// AddKey, ResetKeys and IsInitialized are called from the GUI thread.
class KeyboardListener : public RepeatWorker
{
    Q_OBJECT

public:
    struct KeyEntry
    {
        KeyEntry(Qt::Key qtKey, int modifiers);

        Qt::Key qtKey;
        unsigned long keysym = 0;
        unsigned int keycode = 0;
        int modifiers;
    };

    KeyboardListener();
    ~KeyboardListener() override;

    // Watches the physical keys of a Qt key (both Ctrl keys for Key_Control); other keys are ignored.
    void AddKey(Qt::Key key, int modifiers);
    // Forgets every watched key; in push-to-talk mode other keys do not break a held key.
    void ResetKeys(bool pushToTalk);
    bool IsInitialized() const;
    // The Qt key watched on this keycode, or -1.
    int getQtKey(int keycode);
    // Diagnostic line in category "KBD" describing a core key event.
    void LogKey(_XEvent* event);

    void initialize() override;
    void cleanUp() override;
    void repeatableWork(CancellationCondition* cancellationCondition) override;

signals:
    // serverTime: the X server's time of the key event (ms, wraps around);
    // happenedAt: the same moment on the clock of hotkeyClockUs(), however
    // late this thread got to read the event.
    void keyEventAction(bool isUp, int qtKey, quint32 serverTime, qint64 happenedAt);

private:
    void closeDisplayLocked();
    void resolveKeycodesLocked();
    int qtKeyLocked(unsigned int keycode) const;
    void onRawKey(bool isPress, unsigned int keycode, quint32 serverTime, qint64 happenedAt);
    qint64 localTimeOf(quint32 serverTime, qint64 readAt);

    mutable QMutex mutex;
    QList<KeyEntry> keys;
    _XDisplay* display = nullptr;
    std::unique_ptr<XKeymapChanges> keymapChanges;
    int xinputOpcode = 0;
    unsigned int heldKeycode = 0;
    bool pushToTalk = false;
    // Listener thread only: from the server's clock to hotkeyClockUs().
    quint32 lastServerTime = 0;
    qint64 serverTimeWraps = 0;
    qint64 clockOffsetUs = 0;
    qint64 offsetTakenAt = 0;
};
