// Types dictated-looking text (Russian in both cases, Latin, digits,
// punctuation, «»—№€) the way the client does, through the typing queue, into
// programs of their own process that read key events on their GUI thread: Tk's
// text widget (also while a menu of this program holds the keyboard for 1.5 s
// in mid-text), a Qt text field, and a plain Xlib window that takes 300 us or
// 2 ms for each key or stops reading for 300 ms or 6 s in mid-text. Layouts:
// us with EnterDelay 50 and 0 (every Cyrillic letter on a lent keycode), de
// (AltGr characters) and us,ru. For each it prints characters lost and wrong
// (read back from the program) and chars/s until everything arrived. With
// "wide" the text holds more characters without a key than the spare keycodes
// can hold at once (us only). Run it under Xvfb; it changes the layout while it
// runs and puts it back at the end:
//   bash -c 'source scripts/headless-services.sh; build/bench/TypingBenchmark [characters [wide]]'

#include "TextReceiver.h"
#include "TextWriter.h"
#include "TextWriterSettings.h"
#include "TypingQueue.h"
#include "TypingText.h"
#include "XTestKeyboard.h"
#include "XTextWriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>
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
    bool started = false;
    qint64 deliveredMs = 0;
    int lost = 0;
    int wrong = 0;
};

void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!timer.hasExpired(ms))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// As a user does while a text is typed: opens a menu of the program, looks at it, closes it with Escape.
void openMenuAWhile(XTestKeyboard& keyboard)
{
    QMenu menu;
    menu.addAction(QStringLiteral("Выход"));
    QTimer::singleShot(1500, [&keyboard] { keyboard.tap("Escape"); });
    QTimer::singleShot(10000, &menu, &QMenu::close);
    menu.exec(QPoint(300, 300));
}

Run typeInto(XTestKeyboard& keyboard, TextReceiver& receiver, const TextReceiver::Pace& pace, bool menu,
             const QString& text, int enterDelay)
{
    Run run;
    QString error;
    if (!receiver.start(&error))
        return run;
    run.started = true;
    keyboard.focus(receiver.window());
    TextWriterSettings settings;
    settings.EnterDelay = enterDelay;
    settings.sync();
    // The writer goes before the next row, giving its keys back.
    auto writer = std::make_unique<XTextWriter>();
    QElapsedTimer timer;
    timer.start();
    writer->queue()->addText(receiver.window(), text);
    // Asked while it stops reading, the program answers only then and holds the writer up.
    spin(pace.pauseMs);
    if (menu) {
        spin(100);
        openMenuAWhile(keyboard);
    }
    // Until everything arrived, or nothing more came for longer than a writer
    // waits for a window that does not answer to read a lent key.
    const qint64 patienceMs = ReceiverProgress::AssumedReadAfterUs / 1000 + 5000;
    QString received;
    qint64 lastChange = 0;
    while (received.size() < text.size() && timer.elapsed() - lastChange < patienceMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const QString now = receiver.text();
        if (now.size() != received.size()) {
            received = now;
            lastChange = timer.elapsed();
        }
    }
    run.deliveredMs = lastChange;
    const int matched = matchedCharacters(text, received);
    run.lost = text.size() - matched;
    run.wrong = received.size() - matched;
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const int length = argc > 1 ? std::max(1, QString::fromLatin1(argv[1]).toInt()) : 2000;
    // "wide": more characters without a key than the spare keycodes hold, on "us" only.
    const bool wide = argc > 2 && qstrcmp(argv[2], "wide") == 0;
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
    const QString text = wide ? TypingText::wide(length) : TypingText::mixed(length);
    struct Row
    {
        const char* layout;
        int enterDelay;
    };
    const std::vector<Row> rows = wide ? std::vector<Row>{{"us", 50}, {"us", 0}}
                                       : std::vector<Row>{{"us", 50}, {"us", 0}, {"de", 50}, {"us,ru", 50}};
    const struct
    {
        TextReceiver::Kind kind;
        TextReceiver::Pace pace;
        bool menu;
        const char* name;
    } receivers[] = {
        {TextReceiver::Tk, {}, false, "Tk text widget"},
        {TextReceiver::Tk, {}, true, "Tk, menu open 1.5 s"},
        {TextReceiver::Qt, {}, false, "Qt text field"},
        {TextReceiver::Xlib, {300, 0, 0}, false, "Xlib, 300 us a key"},
        {TextReceiver::Xlib, {2000, 0, 0}, false, "Xlib, 2 ms a key"},
        {TextReceiver::Xlib, {0, std::min(700, length / 3), 300}, false, "Xlib, 300 ms pause"},
        {TextReceiver::Xlib, {0, std::min(200, length / 3), 6000}, false, "Xlib, 6 s pause"},
    };
    out << QStringLiteral("%1 characters (%2); chars/s until everything arrived in the receiving program\n")
               .arg(length)
               .arg(wide ? QStringLiteral("wide") : QStringLiteral("mixed"));
    out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
               .arg(QStringLiteral("layout"), -8)
               .arg(QStringLiteral("EnterDelay"), -11)
               .arg(QStringLiteral("receiver"), -22)
               .arg(QStringLiteral("lost"), 6)
               .arg(QStringLiteral("wrong"), 6)
               .arg(QStringLiteral("chars/s"), 8);
    for (const Row& row : rows) {
        if (!keyboard.setLayout(QString::fromLatin1(row.layout))) {
            out << "setxkbmap failed\n";
            return 1;
        }
        out << QStringLiteral("%1: %2 keys to lend\n").arg(QLatin1String(row.layout)).arg(XTextWriter().spareKeyCount());
        for (const auto& receiver : receivers) {
            if (!TextReceiver::isAvailable(receiver.kind))
                continue;
            TextReceiver program(receiver.kind, receiver.pace);
            const Run run = typeInto(keyboard, program, receiver.pace, receiver.menu, text, row.enterDelay);
            out << QStringLiteral("%1 %2 %3 ")
                       .arg(QLatin1String(row.layout), -8)
                       .arg(row.enterDelay, -11)
                       .arg(QLatin1String(receiver.name), -22);
            if (!run.started)
                out << "did not start\n";
            else
                out << QStringLiteral("%1 %2 %3\n")
                           .arg(run.lost, 6)
                           .arg(run.wrong, 6)
                           .arg(run.deliveredMs > 0 ? text.size() * 1000 / run.deliveredMs : 0, 8);
            out.flush();
        }
    }
    keyboard.restoreLayout();
    return 0;
}
