#pragma once

#include "TextWriter.h"

#include <QObject>
#include <QTimer>

#include <deque>

// The texts and key chords waiting to be typed, in the order they came, fed
// to the writer a piece at a time so that the event loop turns in between:
// hotkeys, the tray and quitting are heard while a long text is typed.
// Lives in the GUI thread, owned by its writer.
class TypingQueue : public QObject
{
    Q_OBJECT

public:
    explicit TypingQueue(TextWriter* writer);
    ~TypingQueue() override;

    // When nothing waits, the first piece is typed before it returns; false
    // when the text cannot reach the window or some character had no key.
    // A text that follows the focus ends at a word's end when the focus goes
    // to another program; what waits for that window is dropped with it.
    bool addText(unsigned long window, const QString& text, bool followsFocus = true);
    // Pressed at once when nothing waits, else after what waits.
    bool addKey(unsigned long window, const HotKeyInfo& hotkey);
    // Finishes the word being typed (none when between two) and drops everything after it.
    void stopAfterWord();
    // Drops everything at once, for the end of the program; answers how many
    // characters received were not typed.
    int abandon();
    // Something is queued, or the writer has not given back what it borrowed.
    bool isBusy() const { return !jobs.empty() || finishing; }
    // Text or keys wait to be sent.
    bool isTyping() const { return !jobs.empty(); }

    // Longest stretch of one word typed after a stop: a "word" with no blank
    // in it (a pasted document) must not hold the stop up.
    static constexpr int MaxWordAfterStop = 64;

signals:
    // Everything typed and given back.
    void idle();
    // A stop, or the focus leaving the window, dropped this many characters
    // that were received but not typed.
    void stopped(int untypedCharacters);

private:
    struct Job
    {
        TextWriter::Typing typing;
        HotKeyInfo hotkey;
        bool isKey = false;
    };

    void step();
    void schedule(int waitMs);
    void dropAfterFocusLoss();

    TextWriter* writer;
    std::deque<Job> jobs;
    QTimer timer;
    bool finishing = false;
    bool lastTextFailed = false;
};
