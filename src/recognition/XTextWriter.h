#pragma once

#include "KeyTable.h"
#include "LentKeys.h"
#include "LentKeysRecord.h"
#include "LogLineThrottle.h"
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
// window has read ReceiverProgress'. Keys go a few words at a time while the
// server holds still and only while the window has the focus (a program may
// read keys only then): a text pauses while a menu or dialog of this program
// or a grab holds the keyboard, and one that follows the focus ends at a
// word's end when the focus goes to another program. Without a display every
// operation answers false or 0. Lives in the GUI thread.
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
    struct Stroke
    {
        XKey key;
        // The lent key it is typed with, -1 for none.
        int slot = -1;
        // Not typed: no key can produce it.
        bool skip = false;
    };
    // Keys for whole words, and where in the text they end.
    struct Batch
    {
        QVector<Stroke> strokes;
        int end = 0;
    };
    enum class Verdict { Type, Pause, Stop, Replan };

    KeymapDescription readKeymap() const;
    void buildKeyTable();
    // True when the keyboard map changed.
    bool drainEvents();
    void watchFocusOf(unsigned long window);
    void giveBackWhatEndedCopiesLeft();
    bool beginTyping(Typing& typing);
    void endTyping(const Typing& typing);
    // 0 when the stroke is ready, else how long to wait, or needsLending.
    int strokeFor(uint character, Stroke* stroke);
    int paceWait(const ReceiverProgress& receiver) const;
    bool wordOutgrowsLentKeys(const Typing& typing, int from, int to) const;
    // The next words whose keys are ready; else how long until they are.
    int planBatch(const Typing& typing, const ReceiverProgress& receiver, Batch* batch);
    // Types the batch if the focus lets it; answers how long to wait before the next.
    int sendBatch(Typing& typing, ReceiverProgress& receiver, const Batch& batch);
    void skipCharacter(Typing& typing, const XKey& key);
    Verdict focusVerdict(const Typing& typing, unsigned long focus);
    unsigned long focusTopLevel(unsigned long focus);
    unsigned long topLevelOf(unsigned long window);
    bool ownPopupShown() const;
    bool isOwnWindow(unsigned long window) const;
    // 0 when keys were lent, else how long to wait; noSpareKey when the map could not be changed.
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
    void keySent(unsigned long window, ReceiverProgress& receiver, int slot);
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
    // The top-level window of the text's window, the one whose grabs are watched, and the focus seen last.
    unsigned long targetTop = 0;
    unsigned long watchedWindow = 0;
    bool keyboardGrabbed = false;
    unsigned long lastFocus = 0;
    unsigned long lastFocusTop = 0;
    bool noSpareKeyLogged = false;
    LogLineThrottle noWindowLog{20, 10000};
    std::unique_ptr<LentKeysRecord> record;
    // Everything the record says may be on each lent keycode.
    LentKeys::Contents recorded;
};
