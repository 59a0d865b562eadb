#pragma once

#include <QString>

#include <memory>

class ChildProcess;

// A program of another process with a window that receives typed text and
// reads its key events on its GUI thread, at its own pace, as ordinary
// programs do: plain Xlib (as xterm), a Qt text field (answers pings) or Tk's
// text widget (through wish, when installed).
class TextReceiver
{
public:
    enum Kind { Xlib, XlibAnsweringPings, Qt, Tk };
    struct Pace
    {
        // A busy receiver: this long for each key.
        int keyCostUs = 0;
        // Stops reading once for pauseMs after that many keys.
        int pauseAfter = 0;
        int pauseMs = 0;
    };

    TextReceiver(Kind kind, const Pace& pace);
    ~TextReceiver();
    TextReceiver(const TextReceiver&) = delete;
    TextReceiver& operator=(const TextReceiver&) = delete;

    static bool isAvailable(Kind kind);
    static QString name(Kind kind);

    // Starts the program and waits for its window; false with *error set when it did not come.
    bool start(QString* error);
    // The window to give the focus to and type into.
    unsigned long window() const { return windowId; }
    // What the window holds now; a null string when the program did not answer.
    QString text();

private:
    QString readLine(const QByteArray& prefix, int msecs);

    const Kind kind;
    const Pace pace;
    std::unique_ptr<ChildProcess> process;
    unsigned long windowId = 0;
};
