// Measures how soon the real program honours a stop while it types a long
// result on a keyboard with no Cyrillic keys (layout us: every Cyrillic letter
// goes through a spare keycode). A double Ctrl starts dictation, the fake
// server sends one final result of 2000 characters, and once typing has begun
// another double Ctrl stops dictation. Prints the time from that double Ctrl
// to the last character typed, the characters typed, and how many mode
// requests (toggles) it caused. Needs the headless services:
//   bash -c 'source scripts/headless-services.sh; build/bench/StopLatencyBenchmark [give-up-seconds]'

#include "BenchClient.h"
#include "FakeServerSet.h"
#include "KeyRecorderWindow.h"
#include "TypingText.h"
#include "XTestKeyboard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <functional>

namespace {
constexpr int textMode = 2;
constexpr int modeRequest = 1;

bool waitFor(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

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

    BenchClient client(home.path());
    if (client.start().readyMs < 0) {
        out << "The program did not get ready:\n" << client.output() << Qt::endl;
        return 1;
    }
    BenchClient::settle(1000);
    doubleCtrl(keyboard);
    if (!waitFor([&] { return recognition->lastRequestedMode() == textMode; }, 10000)) {
        out << "The double Ctrl did not start dictation" << Qt::endl;
        return 1;
    }
    BenchClient::settle(500);

    const QString text = TypingText::mixed(2000);
    const int requestsBefore = recognition->messagesOfType(modeRequest).size();
    recognition->sendResult(text, true);
    if (!waitFor([&] { return recorder.text().size() >= 100; }, 30000)) {
        out << "The result was not typed" << Qt::endl;
        return 1;
    }
    const int typedBefore = recorder.text().size();
    doubleCtrl(keyboard);
    QElapsedTimer sinceStop;
    sinceStop.start();
    // Typing has ended once nothing arrives for a second.
    int seen = recorder.text().size();
    qint64 lastCharacter = 0;
    while (sinceStop.elapsed() - lastCharacter < 1000 && sinceStop.elapsed() < giveUpSeconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
        const int now = recorder.text().size();
        if (now != seen) {
            seen = now;
            lastCharacter = sinceStop.elapsed();
        }
    }
    const bool gaveUp = sinceStop.elapsed() >= giveUpSeconds * 1000;
    BenchClient::settle(1000);
    const int toggles = recognition->messagesOfType(modeRequest).size() - requestsBefore;

    out << "Stop during a " << text.size() << "-character result on layout us (EnterDelay 50)\n"
        << "  typed when the double Ctrl came:  " << typedBefore << "\n"
        << "  typed in all:                      " << recorder.text().size() << "\n"
        << "  double Ctrl to last character:     ";
    if (gaveUp)
        out << "more than " << giveUpSeconds << " s (still typing, given up)\n";
    else
        out << lastCharacter << " ms\n";
    out << "  mode requests after it (toggles):  " << toggles << Qt::endl;
    return 0;
}
