// Types dictated-looking text (Russian in both cases, Latin, digits,
// punctuation) into a recorder window on the X display and prints characters
// per second, characters lost and characters that arrived as another one:
// once on layouts us,ru (every character has a key) and twice on layout us
// alone (every Cyrillic letter borrows a spare keycode), with EnterDelay 50
// and 0. Run it under Xvfb; it changes the layout while it runs and puts it
// back at the end:
//   bash -c 'source scripts/headless-services.sh; build/bench/TypingBenchmark [characters]'

#include "KeyRecorderWindow.h"
#include "TextWriterSettings.h"
#include "TypingText.h"
#include "XTestKeyboard.h"
#include "XTextWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <vector>

namespace {

// Characters of the sent text that arrived in order (longest common subsequence).
int matchedCharacters(const QString& sent, const QString& received)
{
    std::vector<int> previous(static_cast<size_t>(received.size()) + 1, 0);
    std::vector<int> current(previous.size(), 0);
    for (QChar s : sent) {
        for (int j = 1; j <= received.size(); ++j)
            current[j] = s == received[j - 1] ? previous[j - 1] + 1 : std::max(previous[j], current[j - 1]);
        std::swap(previous, current);
    }
    return previous.back();
}

struct Run
{
    qint64 typingMs = 0;
    qint64 deliveredMs = 0;
    int received = 0;
    int lost = 0;
    int wrong = 0;
};

Run typeInto(KeyRecorderWindow& recorder, const QString& text, int enterDelay)
{
    TextWriterSettings settings;
    settings.EnterDelay = enterDelay;
    settings.sync();
    XTextWriter writer;
    recorder.clear();
    Run run;
    QElapsedTimer timer;
    timer.start();
    writer.writeText(recorder.windowId(), text);
    run.typingMs = timer.elapsed();
    // Waits until the recorder has stopped receiving for a second.
    int seen = -1;
    qint64 lastChange = timer.elapsed();
    while (timer.elapsed() - lastChange < 1000) {
        const int now = recorder.text().size();
        if (now != seen) {
            seen = now;
            lastChange = timer.elapsed();
            run.deliveredMs = lastChange;
        }
        if (now >= text.size())
            break;
        QThread::msleep(2);
    }
    const QString received = recorder.text();
    const int matched = matchedCharacters(text, received);
    run.received = received.size();
    run.lost = text.size() - matched;
    run.wrong = received.size() - matched;
    return run;
}

qint64 perSecond(int characters, qint64 ms)
{
    return ms > 0 ? characters * 1000 / ms : characters * 1000;
}

void report(QTextStream& out, const QString& title, const QString& text, const Run& run)
{
    out << title << "\n"
        << "  characters sent:      " << text.size() << "\n"
        << "  characters received:  " << run.received << "\n"
        << "  characters lost:      " << run.lost << "\n"
        << "  characters wrong:     " << run.wrong << "\n"
        << "  typing time:          " << run.typingMs << " ms (" << perSecond(text.size(), run.typingMs)
        << " chars/s)\n"
        << "  until all arrived:    " << run.deliveredMs << " ms (" << perSecond(text.size(), run.deliveredMs)
        << " chars/s)\n";
    out.flush();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int length = argc > 1 ? std::max(1, QString::fromLatin1(argv[1]).toInt()) : 2000;
    // No settings file of the user is read.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication::setOrganizationName(QStringLiteral("Orvanta Labs"));
    QCoreApplication::setApplicationName(QStringLiteral("Scrivora"));

    XTestKeyboard keyboard;
    if (!keyboard.isOpen()) {
        out << "No X display (set DISPLAY, e.g. run under Xvfb)\n";
        return 1;
    }
    if (!keyboard.setLayout(QStringLiteral("us,ru"))) {
        out << "setxkbmap failed\n";
        return 1;
    }
    KeyRecorderWindow recorder;
    keyboard.focus(recorder.windowId());
    const QString text = TypingText::mixed(length);

    report(out, QStringLiteral("Mixed text, layouts us,ru (every character has a key), EnterDelay 50"), text,
           typeInto(recorder, text, 50));
    keyboard.setLayout(QStringLiteral("us"));
    for (int enterDelay : {50, 0})
        report(out,
               QStringLiteral("Cyrillic on layout us (every Cyrillic letter through a spare keycode), EnterDelay %1")
                   .arg(enterDelay),
               text, typeInto(recorder, text, enterDelay));
    return 0;
}
