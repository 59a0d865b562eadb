#pragma once

#include "LentKeysRecord.h"
#include "ReceiverProgress.h"
#include "TextWriter.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMap>
#include <QVector>
#include <QtGlobal>

#include <memory>

struct _XDisplay;
struct _XkbDesc;

// Types into X11 windows with key events sent straight to the target window,
// lending the keyboard's spare keycodes to characters that no key produces,
// and plays key chords through XTest. A receiver decodes a key with the map it
// holds when it reads the event, so a lent keycode keeps its meaning until
// every window that received it has read it (ReceiverProgress): the keys a
// text needs are lent together, stay lent while texts keep coming and go back
// once the receivers have caught up. Without a display every operation
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
    int releaseBorrowed(int maxWaitMs) override;
    bool hasSpareKeys() const override { return !spareKeys.isEmpty(); }

    bool isOpen() const { return display != nullptr; }
    // The key that types a character; keysym 0 when X has no keysym for it.
    XKey wchar2key(quint32 character) const;
    // Keys the writer may lend to characters (each level of each spare keycode).
    int spareKeyCount() const { return spareKeys.size(); }

    // Lent keys are kept this long after the last key typed, for the next text.
    static constexpr int KeepLentMs = 1000;

private:
    // One level of a spare keycode, and what it holds now.
    struct SpareKey
    {
        quint8 keycode = 0;
        quint8 level = 0;
        unsigned long keysym = 0;
        // The last key typed with it, and the window it went to (0: none yet).
        quint64 lastUse = 0;
        unsigned long lastUseWindow = 0;
        // Not typed with before then (EnterDelay after it was lent).
        qint64 readyAtUs = 0;
    };
    using KeyContents = QMap<quint8, QVector<unsigned long>>;

    void findSpareKeys(_XkbDesc* xkb);
    void buildKeyTable();
    void drainEvents();
    void giveBackWhatEndedCopiesLeft();
    bool beginTyping(Typing& typing);
    void endTyping(const Typing& typing);
    // 0 when the key is ready, else how long to wait; NoSpareKey when none can be had.
    int lendKey(const Typing& typing, XKey* key, SpareKey** lent);
    int lendKeysFor(const Typing& typing);
    // Puts the keysyms on the keycodes in one request (an empty list clears one).
    bool writeKeycodes(const KeyContents& contents);
    KeyContents lentContents(const QVector<quint8>& keycodes) const;
    bool recordBeforeChange(const KeyContents& contents);
    void giveBack();
    bool anyLent() const;
    unsigned levelState(int level) const;
    SpareKey* spareKeyHolding(unsigned long keysym);
    bool isSpareKeycode(int keycode) const;
    // 0 when the slot may change its meaning now, else how long until it may.
    int msUntilFree(const SpareKey& slot, qint64 now) const;
    int msUntilAllLentFree(qint64 now) const;
    ReceiverProgress& receiverOf(unsigned long window);
    unsigned long findPingWindow(unsigned long window);
    void ping(ReceiverProgress& receiver);
    void pingUnread(qint64 now);
    void listenForPongs(bool listen);
    void typeKey(unsigned long window, ReceiverProgress& receiver, const XKey& key, SpareKey* lent);
    void sendKey(unsigned long window, const XKey& key, bool press);
    qint64 nowUs() const { return clock.nsecsElapsed() / 1000; }

    _XDisplay* display = nullptr;
    QList<XKey> keys;
    QVector<SpareKey> spareKeys;
    // The key type of four levels (Shift, a third-level modifier) the spare keys take, -1: two levels.
    int fourLevelType = -1;
    unsigned levelThreeMask = 0;
    unsigned long symbolDelay = 0;
    unsigned long enterDelay = 0;
    int xkbEventType = -1;
    bool hasXTest = false;
    unsigned long wmProtocolsAtom = 0;
    unsigned long pingAtom = 0;
    bool listeningForPongs = false;
    quint32 lastPingId = 0;
    QElapsedTimer clock;
    QHash<unsigned long, ReceiverProgress> receivers;
    quint64 keysSent = 0;
    qint64 lastKeyUs = 0;
    unsigned long typingRoot = 0;
    bool noSpareKeyLogged = false;
    std::unique_ptr<LentKeysRecord> record;
    // Everything the record says may be on each lent keycode.
    KeyContents recorded;
};
