#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <memory>

// A small X window of the test's own that records the key events it receives
// and turns them back into text with each event's state. It reads on its own
// X connection in its own thread, so it keeps up while the test types, and
// answers pings (_NET_WM_PING). For a program that reads on its GUI thread
// at its own pace, see TextReceiver.
class KeyRecorderWindow
{
public:
    struct KeyEvent
    {
        bool press = false;
        unsigned keycode = 0;
        unsigned state = 0;
        unsigned long keysym = 0;
        bool synthetic = false;
        // When this window read it (QDeadlineTimer::current(), ms): the typed
        // text is sent as events without the server's time.
        qint64 received = 0;
    };

    explicit KeyRecorderWindow(const QRect& geometry = QRect(100, 100, 320, 200));
    ~KeyRecorderWindow();
    KeyRecorderWindow(const KeyRecorderWindow&) = delete;
    KeyRecorderWindow& operator=(const KeyRecorderWindow&) = delete;

    bool isOpen() const;
    unsigned long windowId() const;

    // The characters of the key presses so far; Return reads as a line feed.
    QString text() const;
    QList<KeyEvent> events() const;
    QList<KeyEvent> presses() const;
    void clear();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
