// Measures how soon the real program honours a stop while it types a long
// result on a keyboard with no Cyrillic keys (layout us: every Cyrillic letter
// goes through a spare keycode). A double Ctrl starts dictation, the fake
// server sends one final result of 20000 characters (long enough to be still
// typing into a window that keeps up), and once typing has begun
// another double Ctrl stops dictation (or, with "sigterm", SIGTERM ends the
// program). Prints the time from the user's first Ctrl of that stop (the
// program types on until the second) to the last character typed, the
// characters typed, how many mode requests (toggles) it caused or when the
// program ended, and whether the keyboard map is as it was. Needs the
// headless services:
//   bash -c 'source scripts/headless-services.sh; build/bench/StopLatencyBenchmark [give-up-seconds] [sigterm]'

#include "BenchClient.h"
#include "FakeServerSet.h"
#include "KeyRecorderWindow.h"
#include "TypingText.h"
#include "XTestKeyboard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>

#include <algorithm>

namespace {
constexpr int textMode = 2;
constexpr int modeRequest = 1;

void doubleCtrl(XTestKeyboard& keyboard)
{
    keyboard.tap("Control_L");
    QThread::msleep(60);
    keyboard.tap("Control_L");
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int giveUpSeconds = argc > 1 ? std::max(1, QString::fromLatin1(argv[1]).toInt()) : 120;
    const bool bySignal = argc > 2 && QByteArray(argv[2]) == "sigterm";
    QTextStream out(stdout);

    QTemporaryDir home;
    FakeServerSet servers;
    servers.writeClientSettings(FakeServerSet::clientSettingsFile(home.path()), true);
    FakeRecognitionServer* recognition = servers.recognition();

    XTestKeyboard keyboard;
    if (!keyboard.isOpen() || !keyboard.setLayout(QStringLiteral("us"))) {
        out << "No X display or setxkbmap failed (run under scripts/headless-services.sh)" << Qt::endl;
        return 1;
    }
    KeyRecorderWindow recorder(QRect(100, 100, 600, 300));
    keyboard.focus(recorder.windowId());
    const QVector<unsigned long> map = keyboard.keyboardMap();

    BenchClient client(home.path());
    if (client.start().readyMs < 0) {
        out << "The program did not get ready:\n" << client.output() << Qt::endl;
        return 1;
    }
    BenchClient::settle(1000);
    doubleCtrl(keyboard);
    if (!QTest::qWaitFor([&] { return recognition->lastRequestedMode() == textMode; }, 10000)) {
        out << "The double Ctrl did not start dictation" << Qt::endl;
        return 1;
    }
    BenchClient::settle(500);

    const QString text = TypingText::mixed(20000);
    const int requestsBefore = recognition->messagesOfType(modeRequest).size();
    recognition->sendResult(text, true);
    if (!QTest::qWaitFor([&] { return recorder.text().size() >= 100; }, 30000)) {
        out << "The result was not typed:\n" << client.output() << Qt::endl;
        return 1;
    }
    // The characters as they arrive, timed from the stop's first Ctrl.
    QElapsedTimer sinceStop;
    int seen = recorder.text().size();
    qint64 lastCharacter = 0;
    const auto watch = [&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        QThread::msleep(2);
        const int now = recorder.text().size();
        if (now != seen) {
            seen = now;
            lastCharacter = sinceStop.elapsed();
        }
    };
    const int typedBefore = seen;
    int typedAtSecond = seen;
    sinceStop.start();
    if (bySignal) {
        client.terminate();
    } else {
        keyboard.tap("Control_L");
        while (sinceStop.elapsed() < 60)
            watch();
        keyboard.tap("Control_L");
        typedAtSecond = recorder.text().size();
    }
    // Typing has ended once nothing arrives for a second.
    qint64 ended = -1;
    const auto waiting = [&] {
        return sinceStop.elapsed() - lastCharacter < 1000 || (bySignal && ended < 0);
    };
    while (waiting() && sinceStop.elapsed() < giveUpSeconds * 1000) {
        watch();
        if (ended < 0 && client.hasEnded())
            ended = sinceStop.elapsed();
    }
    const bool gaveUp = sinceStop.elapsed() >= giveUpSeconds * 1000;
    BenchClient::settle(1000);
    const int toggles = recognition->messagesOfType(modeRequest).size() - requestsBefore;

    const QString stop = bySignal ? QStringLiteral("SIGTERM") : QStringLiteral("double Ctrl");
    out << "Stop by " << stop << " during a " << text.size() << "-character result on layout us (EnterDelay 50)\n"
        << (bySignal ? "  typed when the signal came:        " : "  typed at the first Ctrl:           ") << typedBefore << "\n"
        << "  typed in all:                      " << recorder.text().size() << "\n"
        << (bySignal ? "  signal to last character:          " : "  first Ctrl to last character:      ");
    if (gaveUp)
        out << "more than " << giveUpSeconds << " s (still typing, given up)\n";
    else
        out << lastCharacter << " ms\n";
    if (bySignal) {
        out << "  stop to the end of the program:    " << ended << " ms\n";
    } else {
        out << "  typed between the two Ctrl taps:   " << typedAtSecond - typedBefore << "\n"
            << "  mode requests after it (toggles):  " << toggles << "\n";
    }
    out << "  keyboard map as before:            " << (keyboard.keyboardMap() == map ? "yes" : "no") << Qt::endl;
    return 0;
}
