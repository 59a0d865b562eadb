// Measures the real program against a recognition server gone wrong: a relay
// in front of the fake server floods the link with pings, partial or final
// results or synthesised sound, while this program looks at the client's
// descriptors, threads and resident memory (before, at the peak, and once the
// flood is over), opens its tray menu and stops dictation with a double Ctrl
// now and then, and counts what the client logged. The client runs at the
// desktop's limit of 1024 descriptors. Needs the headless services (X display
// with a tray host, sound server):
//   bash -c 'source scripts/headless-services.sh; build/bench/LinkFloodBenchmark <attack>'
// Attacks: pings, pings-unread, ping-bursts, partials, partials-paced, sound, finals, finals-paced.
// A window of this program has the keyboard focus unless LINK_FLOOD_NO_WINDOW is set.

#include "BenchClient.h"
#include "FakeServerSet.h"
#include "FloodingRelay.h"
#include "KeyRecorderWindow.h"
#include "X11Windows.h"
#include "XTestKeyboard.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>
#include <limits>

#include <csignal>

#include <sys/resource.h>

namespace {
constexpr int ModeRequest = 1;
constexpr int TextMode = 2;

struct Footprint
{
    int descriptors = 0;
    int threads = 0;
    long residentMb = 0;

    static Footprint of(qint64 pid)
    {
        Footprint footprint;
        const QString folder = QStringLiteral("/proc/%1").arg(pid);
        footprint.descriptors = QDir(folder + QStringLiteral("/fd")).entryList(QDir::System | QDir::NoDotAndDotDot).size();
        footprint.threads = QDir(folder + QStringLiteral("/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
        QFile status(folder + QStringLiteral("/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("VmRSS:"))
                    footprint.residentMb = line.mid(6).trimmed().split(' ').value(0).toLong() / 1024;
            }
        }
        return footprint;
    }
    void takeMost(const Footprint& other)
    {
        descriptors = std::max(descriptors, other.descriptors);
        threads = std::max(threads, other.threads);
        residentMb = std::max(residentMb, other.residentMb);
    }
    QString text() const
    {
        return QStringLiteral("%1 descriptors, %2 threads, %3 MB").arg(descriptors).arg(threads).arg(residentMb);
    }
};

// Built by hand: a million of them must come faster than the client can read them.
QByteArray resultFrame(qint64 index, bool isFinal)
{
    return FloodingRelay::textFrame(QByteArray(R"({"Data":{"IsFinal":)") + (isFinal ? "true" : "false")
                                    + R"(,"Text":"пациент жалоб )" + QByteArray::number(index) + R"("},"MessageType":3})");
}

struct Attack
{
    FloodingRelay::Flood flood;
    int seconds = 0; // the flood is ended then, if it has not ended by itself
    bool dictating = false;
};

QMap<QString, Attack> attacks()
{
    using Bytes = FloodingRelay::ClientBytes;
    const qint64 endless = std::numeric_limits<qint64>::max();
    const QByteArray ping = FloodingRelay::pingFrame(QByteArray(125, 'p'));
    const auto pings = [ping](qint64) { return ping; };
    const QByteArray sound = FloodingRelay::binaryFrame(QByteArray(15 * 1024 * 1024, '\x01'));
    QMap<QString, Attack> all;
    all.insert(QStringLiteral("pings"), {{pings, endless, 0, 0, Bytes::Dropped}, 13, false});
    all.insert(QStringLiteral("pings-unread"), {{pings, endless, 0, 0, Bytes::Unread}, 5, false});
    all.insert(QStringLiteral("ping-bursts"), {{pings, endless, 1000000, 1000, Bytes::Dropped}, 6, false});
    all.insert(QStringLiteral("partials"), {{[](qint64 i) { return resultFrame(i, false); }, 1000000, 0, 0, Bytes::Passed}, 120, true});
    all.insert(QStringLiteral("partials-paced"), {{[](qint64 i) { return resultFrame(i, false); }, 100000, 100, 10, Bytes::Passed}, 20, true});
    all.insert(QStringLiteral("sound"), {{[sound](qint64) { return sound; }, 40, 1, 500, Bytes::Passed}, 30, false});
    all.insert(QStringLiteral("finals"), {{[](qint64 i) { return resultFrame(i, true); }, 100000, 0, 0, Bytes::Passed}, 120, true});
    all.insert(QStringLiteral("finals-paced"), {{[](qint64 i) { return resultFrame(i, true); }, 100000, 100, 10, Bytes::Passed}, 20, true});
    return all;
}

// Runs the event loop until `done` or `limitMs`; the time it took, -1 past the limit.
qint64 timeUntil(const std::function<bool()>& done, int limitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
    return timer.elapsed();
}

std::optional<X11Windows::Window> trayMenu(qint64 pid)
{
    return X11Windows::find([pid](const X11Windows::Window& w) {
        return w.instanceName == QLatin1String("scrivora") && w.viewable && w.topLevelClass == QLatin1String("Scrivora")
            && w.geometry.height() > 100 && (w.pid == 0 || w.pid == pid);
    });
}

// Opens the tray menu by a right click on the icon and closes it by a click beside it.
qint64 menuOpensIn(qint64 pid)
{
    const std::optional<X11Windows::Window> icon = X11Windows::trayIcon(QStringLiteral("scrivora"), pid);
    if (!icon)
        return -2;
    X11Windows::click(icon->geometry.center().x(), icon->geometry.center().y(), 3);
    const qint64 ms = timeUntil([pid] { return trayMenu(pid).has_value(); }, 300000);
    X11Windows::click(5, 1000, 1);
    timeUntil([pid] { return !trayMenu(pid).has_value(); }, 5000);
    return ms;
}

qint64 hotkeyReachesServerIn(XTestKeyboard& keyboard, FakeRecognitionServer* server)
{
    const int before = server->messagesOfType(ModeRequest).size();
    keyboard.doubleTap("Control_L");
    return timeUntil([&] { return server->messagesOfType(ModeRequest).size() > before; }, 300000);
}
} // namespace

int main(int argc, char** argv)
{
    const rlimit limit{1024, 1024};
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) {
        perror("setrlimit");
        return 1;
    }
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QMap<QString, Attack> all = attacks();
    const QString name = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (!all.contains(name)) {
        out << "Usage: LinkFloodBenchmark " << all.keys().join(QLatin1Char('|')) << Qt::endl;
        return 2;
    }
    const Attack attack = all.value(name);

    QTemporaryDir home;
    FakeServerSet servers;
    FloodingRelay relay(servers.recognitionPort());
    servers.offerRecognitionPort(relay.port());
    servers.writeClientSettings(FakeServerSet::clientSettingsFile(home.path()), true);
    FakeRecognitionServer* recognition = servers.recognition();
    XTestKeyboard keyboard;
    if (!keyboard.isOpen()) {
        out << "No X display (run under scripts/headless-services.sh)" << Qt::endl;
        return 1;
    }
    // A window that takes what is typed, as on a desktop; without one every
    // final result is also a line of the writer's ("No window").
    std::unique_ptr<KeyRecorderWindow> recorder;
    if (!qEnvironmentVariableIsSet("LINK_FLOOD_NO_WINDOW")) {
        recorder = std::make_unique<KeyRecorderWindow>(QRect(100, 100, 600, 300));
        keyboard.focus(recorder->windowId());
    } else {
        keyboard.focusNone();
    }

    BenchClient client(home.path());
    if (client.start().readyMs < 0) {
        out << "The program did not get ready:\n" << client.output() << Qt::endl;
        return 1;
    }
    BenchClient::settle(2000);
    if (attack.dictating) {
        if (hotkeyReachesServerIn(keyboard, recognition) < 0 || recognition->lastRequestedMode() != TextMode) {
            out << "The double Ctrl did not start dictation" << Qt::endl;
            return 1;
        }
        BenchClient::settle(1000);
    }

    const qint64 pid = client.pid();
    const Footprint before = Footprint::of(pid);
    const int logBefore = client.output().size();
    const int linesBefore = client.output().count('\n');
    Footprint most = before;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { most.takeMost(Footprint::of(pid)); });
    sampler.start(100);

    QElapsedTimer clock;
    clock.start();
    relay.flood(attack.flood);
    const auto floodOver = [&] { return !relay.isFlooding() || clock.elapsed() > attack.seconds * 1000; };
    QStringList probes;
    const auto took = [](qint64 ms) { return ms < 0 ? QStringLiteral("not within 300 s") : QStringLiteral("%1 ms").arg(ms); };
    // Early, for floods that last two seconds; then every second while it lasts.
    timeUntil([] { return false; }, 300);
    for (int i = 0; i < 4 && !floodOver(); ++i) {
        const qint64 at = clock.elapsed();
        probes << QStringLiteral("menu at %1 ms: %2").arg(at).arg(took(menuOpensIn(pid)));
        if (i == 0 && attack.dictating && !floodOver()) {
            const qint64 stopAt = clock.elapsed();
            const qint64 ms = hotkeyReachesServerIn(keyboard, recognition);
            probes << QStringLiteral("stop at %1 ms: reached the server in %2").arg(stopAt).arg(took(ms));
        }
        timeUntil([] { return false; }, 1000);
    }
    timeUntil(floodOver, attack.seconds * 1000);
    relay.stop();
    const qint64 floodMs = clock.elapsed();
    const qint64 frames = relay.framesWritten();
    // What the client still does with the flood, then a quiet while.
    timeUntil([] { return false; }, 10000);
    sampler.stop();
    const Footprint after = Footprint::of(pid);
    const qint64 lastMenu = menuOpensIn(pid);
    const QByteArray log = client.output();

    out << name << ": " << frames << " frames in " << floodMs << " ms\n"
        << "  before: " << before.text() << "\n"
        << "  peak:   " << most.text() << "\n"
        << "  after:  " << after.text() << " (10 s after the flood)\n";
    for (const QString& probe : probes)
        out << "  " << probe << "\n";
    out << "  menu after the flood: " << lastMenu << " ms\n"
        << "  log: " << (log.size() - logBefore) / 1024 << " KB, " << log.count('\n') - linesBefore << " lines\n";
    // The lines logged most, by their text before the first digit.
    QMap<QByteArray, int> kinds;
    for (const QByteArray& line : log.mid(logBefore).split('\n')) {
        const int start = line.indexOf("] ");
        QByteArray kind = line.mid(start < 0 ? 0 : start + 2, 60);
        for (int i = 0; i < kind.size(); ++i) {
            if (kind.at(i) >= '0' && kind.at(i) <= '9') {
                kind.truncate(i);
                break;
            }
        }
        ++kinds[kind];
    }
    QList<QPair<int, QByteArray>> ranked;
    for (auto it = kinds.cbegin(); it != kinds.cend(); ++it)
        ranked.append({it.value(), it.key()});
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (int i = 0; i < std::min(5, int(ranked.size())); ++i)
        out << "    " << ranked.at(i).first << " x " << ranked.at(i).second << "\n";
    // The warnings, which say what the client did about the flood, and where its connection went.
    for (const QByteArray& line : log.mid(logBefore).split('\n')) {
        if (line.contains("WARNING") || line.contains("stateChanged from") || line.contains("close called"))
            out << "    " << line.left(200) << "\n";
    }
    out.flush();
    // Its log goes to a pipe this process must keep reading, or it cannot end.
    client.terminate();
    if (timeUntil([&client] { return client.hasEnded(); }, 30000) < 0)
        ::kill(pid_t(pid), SIGKILL);
    timeUntil([&client] { return client.hasEnded(); }, 5000);
    return 0;
}
