// Types a paragraph of mixed Latin and Cyrillic into a recorder window on the
// X display (keyboard layouts us,ru, default key delays) and prints characters
// per second and characters lost. Run it under Xvfb: it changes the layout
// while it runs and puts it back at the end.

#include "KeyRecorderWindow.h"
#include "XTestKeyboard.h"
#include "XTextWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <vector>

namespace {

QString paragraph(int length)
{
    const QStringList words = QStringLiteral(
        "Пациент поступил с жалобами на боль в грудной клетке, одышку и слабость. "
        "Blood pressure 135/85 mmHg, pulse 78 bpm; SpO2 97%. "
        "Назначено: ЭКГ, общий анализ крови, контроль через 2 часа. "
        "Diagnosis (preliminary): stable angina, NYHA class II. "
        "Рекомендовано ограничить физическую нагрузку; повторный осмотр — завтра.")
                                  .split(QLatin1Char(' '));
    QString text;
    for (int i = 0; text.size() < length; ++i)
        text += words[i % words.size()] + QLatin1Char(' ');
    text.truncate(length);
    return text;
}

// Characters of the sent text that did not arrive in order (longest common subsequence).
int lostCharacters(const QString& sent, const QString& received)
{
    std::vector<int> previous(static_cast<size_t>(received.size()) + 1, 0);
    std::vector<int> current(previous.size(), 0);
    for (QChar s : sent) {
        for (int j = 1; j <= received.size(); ++j)
            current[j] = s == received[j - 1] ? previous[j - 1] + 1 : std::max(previous[j], current[j - 1]);
        std::swap(previous, current);
    }
    return sent.size() - previous.back();
}

struct Run
{
    qint64 typingMs = 0;
    qint64 deliveredMs = 0;
    int lost = 0;
    int received = 0;
};

Run typeInto(XTextWriter& writer, KeyRecorderWindow& recorder, const QString& text)
{
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
    run.received = recorder.text().size();
    run.lost = lostCharacters(text, recorder.text());
    return run;
}

void report(QTextStream& out, const QString& title, const QString& text, const Run& run)
{
    out << title << "\n"
        << "  characters sent:      " << text.size() << "\n"
        << "  characters received:  " << run.received << "\n"
        << "  characters lost:      " << run.lost << "\n"
        << "  typing time:          " << run.typingMs << " ms ("
        << (run.typingMs > 0 ? text.size() * 1000 / run.typingMs : text.size() * 1000) << " chars/s)\n"
        << "  until all arrived:    " << run.deliveredMs << " ms ("
        << (run.deliveredMs > 0 ? text.size() * 1000 / run.deliveredMs : text.size() * 1000) << " chars/s)\n";
    out.flush();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    // Default key delays: no settings file of the user is read.
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

    {
        XTextWriter writer;
        const QString text = paragraph(2000);
        report(out, QStringLiteral("Mixed Latin and Cyrillic, layouts us,ru (every character has a key)"), text,
               typeInto(writer, recorder, text));
    }

    keyboard.setLayout(QStringLiteral("us"));
    {
        XTextWriter writer;
        const QString text = QStringLiteral("Съешь же ещё этих мягких булок");
        report(out, QStringLiteral("Cyrillic on layout us (every letter through the spare keycode)"), text,
               typeInto(writer, recorder, text));
    }
    return 0;
}
