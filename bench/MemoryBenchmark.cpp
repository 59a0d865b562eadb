// Measures the resident memory of the real program while idle and while
// dictating, for this build and for another one (today's, say) in the same run
// against the same fakes, and prints the ratio between them. Idle: connected,
// no window shown, for a while. Dictating: a double Ctrl starts dictation, the
// monitor window shows, the fake server recognises the microphone's audio and
// the results are typed into a window of this program; the figure is the
// highest seen. Also the threads and the OpenGL drivers mapped. Needs the
// headless services (X display with a tray host, sound server):
//   cp /path/to/other/scrivora /tmp/other/   (with its autoreplaces.json beside it)
//   bash -c 'source scripts/headless-services.sh; build/bench/MemoryBenchmark /tmp/other/scrivora [idle] [dictating]'

#include "BenchClient.h"
#include "FakeServerSet.h"
#include "KeyRecorderWindow.h"
#include "XTestKeyboard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>

#include <algorithm>

namespace {
constexpr int textMode = 2;
constexpr double goalMb = 80.0;

struct Figures
{
    bool ready = false;
    double idleMb = 0;
    int idleThreads = 0;
    QStringList idleDrivers;
    double dictatingMb = 0;
    int dictatingThreads = 0;
    QStringList dictatingDrivers;
    int typed = 0;
};

void doubleCtrl(XTestKeyboard& keyboard)
{
    keyboard.tap("Control_L");
    QThread::msleep(60);
    keyboard.tap("Control_L");
}

Figures measure(const QString& binary, const QString& home, FakeServerSet& servers, XTestKeyboard& keyboard,
                KeyRecorderWindow& recorder, int idleSeconds, int dictatingSeconds)
{
    Figures figures;
    BenchClient client(home, binary);
    if (client.start().readyMs < 0)
        return figures;
    figures.ready = true;
    BenchClient::settle(idleSeconds * 1000);
    figures.idleMb = client.residentKb() / 1024.0;
    figures.idleThreads = client.threads();
    figures.idleDrivers = client.openGlDrivers();

    recorder.clear();
    keyboard.focus(recorder.windowId());
    doubleCtrl(keyboard);
    if (!QTest::qWaitFor([&] { return servers.recognition()->lastRequestedMode() == textMode; }, 10000))
        return figures;
    QElapsedTimer dictating;
    dictating.start();
    while (dictating.elapsed() < dictatingSeconds * 1000) {
        BenchClient::settle(500);
        figures.dictatingMb = std::max(figures.dictatingMb, client.residentKb() / 1024.0);
        figures.dictatingThreads = std::max(figures.dictatingThreads, client.threads());
    }
    figures.dictatingDrivers = client.openGlDrivers();
    figures.typed = recorder.text().size();
    doubleCtrl(keyboard);
    BenchClient::settle(1000);
    return figures;
}

QString drivers(const QStringList& names)
{
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    if (argc < 2 || !QFileInfo(QString::fromLocal8Bit(argv[1])).isExecutable()) {
        out << "usage: MemoryBenchmark <other build's scrivora> [idle-seconds] [dictating-seconds]" << Qt::endl;
        return 1;
    }
    const QString other = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int idleSeconds = argc > 2 ? std::max(1, QString::fromLatin1(argv[2]).toInt()) : 20;
    const int dictatingSeconds = argc > 3 ? std::max(1, QString::fromLatin1(argv[3]).toInt()) : 20;

    QTemporaryDir home;
    FakeServerSet servers;
    servers.setDictationResults(true);
    servers.writeClientSettings(FakeServerSet::clientSettingsFile(home.path()), true);
    XTestKeyboard keyboard;
    if (!keyboard.isOpen() || !keyboard.setLayout(QStringLiteral("us"))) {
        out << "No X display or setxkbmap failed (run under scripts/headless-services.sh)" << Qt::endl;
        return 1;
    }
    KeyRecorderWindow recorder(QRect(100, 100, 600, 300));

    const QList<QPair<QString, QString>> builds{{other, other}, {QStringLiteral("this build"), QString()}};
    QList<Figures> results;
    for (const auto& build : builds) {
        results << measure(build.second, home.path(), servers, keyboard, recorder, idleSeconds, dictatingSeconds);
        if (!results.last().ready) {
            out << build.first << " did not get ready" << Qt::endl;
            return 1;
        }
    }
    keyboard.restoreLayout();

    out << "Resident memory, idle " << idleSeconds << " s and dictating " << dictatingSeconds << " s (highest):\n";
    for (int i = 0; i < builds.size(); ++i) {
        const Figures& f = results[i];
        out << "  " << builds[i].first << "\n"
            << "    idle       " << QString::number(f.idleMb, 'f', 1) << " MB, " << f.idleThreads
            << " threads, OpenGL drivers: " << drivers(f.idleDrivers) << "\n"
            << "    dictating  " << QString::number(f.dictatingMb, 'f', 1) << " MB, " << f.dictatingThreads
            << " threads, OpenGL drivers: " << drivers(f.dictatingDrivers) << ", " << f.typed
            << " characters typed\n";
    }
    const Figures& before = results[0];
    const Figures& now = results[1];
    out << "  this build / other: idle " << QString::number(now.idleMb / before.idleMb, 'f', 2) << ", dictating "
        << QString::number(now.dictatingMb / before.dictatingMb, 'f', 2) << "\n"
        << "  goal of at most " << goalMb << " MB: "
        << (now.idleMb <= goalMb && now.dictatingMb <= goalMb ? "met" : "NOT met") << Qt::endl;
    return 0;
}
