#pragma once

#include "HotKeyInfo.h"

#include <QString>
#include <QVector>

#include <memory>

class QRect;
class TypingQueue;

// Types text and key chords into other applications. The static operations
// forward to the one instance and answer false or 0 before Init and after
// Cleanup. Used from the GUI thread only. WriteText and WriteKey queue their
// work: the text is typed a piece at a time, between turns of the event loop.
class TextWriter
{
public:
    // One text on its way into a window; typeSome moves `next` on.
    struct Typing
    {
        unsigned long window = 0;
        QVector<uint> characters;
        // The first character not typed yet.
        int next = 0;
        // Typing ends before this character; a stop moves it to the end of the word.
        int end = 0;
        // Characters skipped because no key could produce them.
        int untyped = 0;
        // The window is gone or the X server refused: nothing more is typed.
        bool failed = false;
        bool begun = false;
        // Typed only while the window has the focus: the text was meant for the
        // window focused when it came. False for a window chosen to type into
        // in the background.
        bool followsFocus = true;
        // The focus went to another program: typing ended at `next`, the end of a word.
        bool focusLost = false;
        // Waits while a window of this program, or a grab, holds the keyboard.
        bool paused = false;

        Typing() = default;
        Typing(unsigned long window, const QString& text, bool followsFocus = true);
        bool done() const { return failed || focusLost || next >= end; }
        // The end of the blanks and the word that follow `from` (at most
        // TypingQueue::MaxWordAfterStop characters of the word).
        int wordEnd(int from) const;
    };

    TextWriter();
    virtual ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    // Types the whole text before it returns. False when the window is gone or
    // some character could not be typed.
    virtual bool writeText(unsigned long window, QString text) = 0;
    // Presses the chord in the window that has the keyboard focus.
    virtual bool writeKey(unsigned long window, const HotKeyInfo& hotkey) = 0;
    // 0 when no window has the focus.
    virtual unsigned long getFocusedWindow() = 0;
    // The geometry of the top-level window that holds the window.
    virtual bool getWindowRect(unsigned long window, QRect* rect) = 0;

    // Types the next characters of the text, for a blink at most. Answers how
    // many milliseconds to wait before the next call (0: after a turn of the
    // event loop). This one types the rest at once through writeText.
    virtual int typeSome(Typing& typing);
    // Called once nothing is left to type: gives back what typing borrowed,
    // once the receivers have read what used it. Answers how many milliseconds
    // to wait before calling again, 0 when done.
    virtual int finishTyping();
    // At the end: gives back what typing borrowed once the receivers have read
    // what used it, or maxWaitMs have passed. Answers how many characters may
    // not have reached their window as typed.
    virtual int releaseBorrowed(int maxWaitMs);
    // False when characters that no key produces cannot be typed at all.
    virtual bool hasSpareKeys() const { return true; }

    TypingQueue* queue() const { return typingQueue.get(); }

    // How long the end of the program waits for the receivers to read what was typed.
    static constexpr int EndingWaitMs = 3000;

    static TextWriter* Writer;

    static void Init();
    // Drops what waits to be typed and gives back what typing borrowed (see releaseBorrowed).
    static void Cleanup();
    // In the background the text goes to the window whether or not it has the focus.
    static bool WriteText(unsigned long window, QString text, bool inBackground = false);
    static bool WriteKey(unsigned long window, const HotKeyInfo& hotkey);
    static unsigned long GetFocusedWindow();
    static bool GetWindowRect(unsigned long window, QRect* rect);
    // Ends typing at the end of the word being typed and drops what waits behind it.
    static void StopTyping();

private:
    std::unique_ptr<TypingQueue> typingQueue;
};
