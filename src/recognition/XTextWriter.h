#pragma once

#include "KeyTable.h"
#include "LentKeys.h"
#include "LentKeysRecord.h"
#include "ReceiverProgress.h"
#include "TextWriter.h"

#include <QElapsedTimer>
#include <QtGlobal>

#include <memory>

struct _XDisplay;

// Types into X11 windows with key events sent straight to the target window,
// lending the keyboard's spare keycodes to characters that no key produces,
// and plays key chords through XTest. The X side of it: which key types a
// character is KeyTable's, which keycode to lend LentKeys', how far each
// window has read ReceiverProgress'. Without a display every operation
// answers false or 0. Lives in the GUI thread.
class XTextWriter : public TextWriter
{
public:
    using XKey = KeyTable::Key;

    XTextWriter();
    ~XTextWriter() override;

    bool writeText(unsigned long window, QString text) override;
    bool writeKey(unsigned long window, const HotKeyInfo& hotkey) override;
    unsigned long getFocusedWindow() override;
    bool getWindowRect(unsigned long window, QRect* rect) override;
    int typeSome(Typing& typing) override;
    int finishTyping() override;
    int releaseBorrowed(int maxWaitMs) override;
    bool hasSpareKeys() const override { return !lent.isEmpty(); }

    bool isOpen() const { return display != nullptr; }
    // The key that types a character; keysym 0 when X has no keysym for it.
    XKey wchar2key(quint32 character) const { return keyTable.keyFor(character); }
    // Keys the writer may lend to characters (each level of each spare keycode).
    int spareKeyCount() const { return lent.size(); }

    // Lent keys are kept this long after the last key typed, for the next text.
    static constexpr int KeepLentMs = 1000;

private:
    KeymapDescription readKeymap() const;
    void buildKeyTable();
    void drainEvents();
    void giveBackWhatEndedCopiesLeft();
    bool beginTyping(Typing& typing);
    void endTyping(const Typing& typing);
    // 0 when the key is ready, else how long to wait; NoSpareKey when none can be had.
    int lendKey(const Typing& typing, XKey* key, int* slot);
    int lendKeysFor(const Typing& typing);
    // Puts the keysyms on the keycodes in one request (an empty list clears one).
    bool writeKeycodes(const LentKeys::Contents& contents);
    bool recordBeforeChange(const LentKeys::Contents& contents);
    void giveBack();
    ReceiverProgress& receiverOf(unsigned long window);
    unsigned long findPingWindow(unsigned long window);
    void ping(ReceiverProgress& receiver);
    void pingUnread(qint64 now);
    void listenForPongs(bool listen);
    void typeKey(unsigned long window, ReceiverProgress& receiver, const XKey& key, int slot);
    void sendKey(unsigned long window, const XKey& key, bool press);
    qint64 nowUs() const { return clock.nsecsElapsed() / 1000; }

    _XDisplay* display = nullptr;
    KeyTable keyTable;
    LentKeys lent;
    unsigned long symbolDelay = 0;
    unsigned long enterDelay = 0;
    int xkbEventType = -1;
    bool hasXTest = false;
    unsigned long wmProtocolsAtom = 0;
    unsigned long pingAtom = 0;
    bool listeningForPongs = false;
    quint32 lastPingId = 0;
    QElapsedTimer clock;
    LentKeys::Receivers receivers;
    quint64 keysSent = 0;
    qint64 lastKeyUs = 0;
    unsigned long typingRoot = 0;
    bool noSpareKeyLogged = false;
    std::unique_ptr<LentKeysRecord> record;
    // Everything the record says may be on each lent keycode.
    LentKeys::Contents recorded;
};
