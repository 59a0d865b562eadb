#pragma once

#include "TextWriter.h"

#include <QElapsedTimer>
#include <QList>
#include <QVector>
#include <QtGlobal>

struct _XDisplay;
struct _XkbDesc;

// Types into X11 windows with key events sent straight to the target window,
// lending the keyboard's spare keycodes to characters that no key produces,
// and plays key chords through XTest. Without a display every operation
// answers false or 0. Lives in the GUI thread.
class XTextWriter : public TextWriter
{
public:
    struct XKey
    {
        quint32 unicode = 0;
        quint8 keycode = 0;
        unsigned long keysym = 0;
        // X modifier and group state of the event that produces the character.
        unsigned int state = 0;
        // The key exists on the keyboard map.
        bool mapped = false;
    };

    XTextWriter();
    ~XTextWriter() override;

    bool writeText(unsigned long window, QString text) override;
    bool writeKey(unsigned long window, const HotKeyInfo& hotkey) override;
    unsigned long getFocusedWindow() override;
    bool getWindowRect(unsigned long window, QRect* rect) override;
    int typeSome(Typing& typing) override;
    int finishTyping() override;

    bool isOpen() const { return display != nullptr; }
    // The key that types a character; keysym 0 when X has no keysym for it.
    XKey wchar2key(quint32 character) const;
    // Keys the writer may lend to characters (two levels of each spare keycode).
    int spareKeyCount() const { return spareKeys.size(); }

    // A receiver reloads its keyboard map before it reads the next key event:
    // this is the least time it is given, whatever EnterDelay says.
    static constexpr int MinimumReceiverWaitMs = 25;

private:
    // One level of a spare keycode, and what it holds now.
    struct SpareKey
    {
        quint8 keycode = 0;
        bool shifted = false;
        unsigned long keysym = 0;
        // Until then the receiver may still read an event of this key with the map it had.
        qint64 busyUntilUs = 0;
        // Until then the receiver may not have reloaded the map since this key changed.
        qint64 readyAtUs = 0;

        bool operator==(const SpareKey& other) const
        {
            return keycode == other.keycode && shifted == other.shifted;
        }
    };

    void findSpareKeys(_XkbDesc* xkb);
    void buildKeyTable();
    void rebuildKeyTableIfMappingChanged();
    bool beginTyping(Typing& typing);
    void endTyping(const Typing& typing);
    // 0 when the key is ready, else how long to wait; NoSpareKey when none can be had.
    int lendKey(const Typing& typing, XKey* key, SpareKey** lent);
    int lendKeysFor(const Typing& typing);
    bool remapSpareKeys(const QVector<quint8>& keycodes);
    void restoreSpareKeys();
    SpareKey* spareKeyHolding(unsigned long keysym);
    bool isSpareKeycode(int keycode) const;
    void typeKey(unsigned long window, const XKey& key, SpareKey* lent);
    void sendKey(unsigned long window, const XKey& key, bool press);
    qint64 nowUs() const { return clock.nsecsElapsed() / 1000; }
    qint64 receiverWaitUs() const;

    _XDisplay* display = nullptr;
    QList<XKey> keys;
    QVector<SpareKey> spareKeys;
    unsigned long symbolDelay = 0;
    unsigned long enterDelay = 0;
    int xkbEventType = -1;
    bool hasXTest = false;
    QElapsedTimer clock;
    // When the receiver is expected to have read every event sent so far.
    qint64 receiverBusyUntilUs = 0;
    unsigned long typingRoot = 0;
    bool noSpareKeyLogged = false;
    int sentSinceSync = 0;
};
