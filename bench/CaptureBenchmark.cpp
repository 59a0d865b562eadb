// Captures from a pipe source for 10 s and prints the CPU time used and the delay
// from PCM entering the pipe to SoundAvailable. Run it under
// scripts/headless-services.sh: `build/bench/CaptureBenchmark [seconds] [--no-playback]`;
// --no-playback closes the idle output device to show the share of capture alone.

#include "PulseAudioManager.h"
#include "PulsePipeSource.h"
#include "PlaybackDeviceManager.h"
#include "PulseTestServer.h"
#include "RecordingDeviceManager.h"
#include "RecordingDeviceSettings.h"
#include "TestHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int FrameSamples = 320; // 20 ms at 16000 Hz
constexpr int FrameBytes = FrameSamples * 2;
constexpr int FrameMarkBase = 1000;

qint64 nowNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// CPU time per thread (name -> ms) and its wakeups (name + " wakeups"), from /proc.
QMap<QString, double> threadCpu()
{
    QMap<QString, double> result;
    const double tick = 1000.0 / sysconf(_SC_CLK_TCK);
    for (const QString& tid : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const int open = line.indexOf('(');
        const int close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (open < 0 || close < 0 || fields.size() < 13)
            continue;
        const QString name = QString::fromUtf8(line.mid(open + 1, close - open - 1)) + QLatin1Char('/') + tid;
        result[name] = (fields.at(11).toDouble() + fields.at(12).toDouble()) * tick;
        QFile status(QStringLiteral("/proc/self/task/%1/status").arg(tid));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& entry : status.readAll().split('\n')) {
                if (entry.startsWith("voluntary_ctxt_switches:"))
                    result[name + QStringLiteral(" wakeups")] = entry.mid(24).trimmed().toDouble();
            }
        }
    }
    return result;
}

QByteArray frame(int index)
{
    QByteArray pcm(FrameBytes, Qt::Uninitialized);
    const qint16 mark = static_cast<qint16>(FrameMarkBase + index);
    for (int i = 0; i < FrameSamples; ++i)
        qToLittleEndian<qint16>(mark, pcm.data() + 2 * i);
    return pcm;
}
} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QCoreApplication app(argc, argv);
    TestHome::useApplicationIdentity();
    const QStringList args = app.arguments();
    const int seconds = args.size() > 1 && args.at(1).toInt() > 0 ? args.at(1).toInt() : 10;
    const bool noPlayback = args.contains(QStringLiteral("--no-playback"));
    const int frames = seconds * 50;

    if (!PulseTestServer::isRunning()) {
        std::fprintf(stderr, "No sound server: run under scripts/headless-services.sh\n");
        return 1;
    }
    PulsePipeSource pipe(QStringLiteral("bench_pipe"));
    if (!pipe.isReady()) {
        std::fprintf(stderr, "Cannot create the pipe source\n");
        return 1;
    }
    {
        RecordingDeviceSettings settings;
        settings.Name = pipe.name();
        settings.sync();
    }

    PulseAudioManager audio;
    audio.Start();
    RecordingDeviceManager* recording = audio.RecordingManager();

    std::vector<std::atomic<qint64>> written(frames);
    std::vector<qint64> arrived(frames, 0);
    QByteArray received;
    int buffers = 0;
    QObject::connect(recording, &RecordingDeviceManager::SoundAvailable, [&](const QByteArray& data) {
        const qint64 now = nowNs(CLOCK_MONOTONIC);
        ++buffers;
        const int before = received.size() / FrameBytes;
        received.append(data);
        const int after = received.size() / FrameBytes;
        for (int k = before; k < after; ++k) {
            const int mark = qFromLittleEndian<qint16>(received.constData() + k * FrameBytes) - FrameMarkBase;
            if (mark >= 0 && mark < frames && arrived[mark] == 0)
                arrived[mark] = now;
        }
    });

    QElapsedTimer wait;
    wait.start();
    while (recording->CurrentDevice().deviceName() != pipe.name() && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (recording->CurrentDevice().deviceName() != pipe.name()) {
        std::fprintf(stderr, "The pipe source was not selected\n");
        return 1;
    }
    if (noPlayback)
        audio.PlaybackManager()->set_SelectedIndex(-1);
    // Let the stream and the delayed list refreshes after start-up settle before measuring.
    QTimer::singleShot(4000, &app, &QCoreApplication::quit);
    app.exec();
    received.clear();

    std::atomic<qint64> writerCpu{0};
    const QMap<QString, double> threadsBefore = threadCpu();
    const qint64 cpuStart = nowNs(CLOCK_PROCESS_CPUTIME_ID);
    const qint64 wallStart = nowNs(CLOCK_MONOTONIC);
    std::thread writer([&] {
        const qint64 threadCpu = nowNs(CLOCK_THREAD_CPUTIME_ID);
        timespec next{};
        clock_gettime(CLOCK_MONOTONIC, &next);
        for (int k = 0; k < frames; ++k) {
            const QByteArray pcm = frame(k);
            written[k] = nowNs(CLOCK_MONOTONIC);
            pipe.write(pcm);
            next.tv_nsec += 20000000;
            if (next.tv_nsec >= 1000000000) {
                next.tv_nsec -= 1000000000;
                ++next.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        }
        writerCpu = nowNs(CLOCK_THREAD_CPUTIME_ID) - threadCpu;
    });
    QTimer::singleShot(seconds * 1000 + 1000, &app, &QCoreApplication::quit);
    app.exec();
    writer.join();
    const qint64 wall = nowNs(CLOCK_MONOTONIC) - wallStart;
    const qint64 cpu = nowNs(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
    const QMap<QString, double> threadsAfter = threadCpu();

    std::vector<double> delays;
    for (int k = 0; k < frames; ++k) {
        if (arrived[k] > 0)
            delays.push_back((arrived[k] - written[k]) / 1e6);
    }
    std::sort(delays.begin(), delays.end());
    const auto pick = [&](double q) { return delays.empty() ? 0.0 : delays[size_t(q * (delays.size() - 1))]; };
    double sum = 0;
    for (double d : delays)
        sum += d;

    RecordingDeviceSettings settings;
    std::printf("capture: %d s, %d of %d frames received, %d SoundAvailable buffers (%.1f per s)\n", seconds,
        int(delays.size()), frames, buffers, buffers / (wall / 1e9));
    std::printf("settings: BufferSize %d bytes (%d ms), DataInterval %d ms\n", int(settings.BufferSize),
        int(settings.BufferSize) / 32, int(settings.DataInterval));
    std::printf("cpu: process %.1f ms in %.1f s wall = %.2f%% of one core (writer thread %.1f ms)\n", cpu / 1e6,
        wall / 1e9, 100.0 * cpu / wall, writerCpu / 1e6);
    std::printf("delay pipe -> SoundAvailable: mean %.1f ms, median %.1f ms, p95 %.1f ms, max %.1f ms, min %.1f ms\n",
        delays.empty() ? 0.0 : sum / delays.size(), pick(0.5), pick(0.95), pick(1.0), pick(0.0));
    for (auto it = threadsAfter.begin(); it != threadsAfter.end(); ++it) {
        const double used = it.value() - threadsBefore.value(it.key(), 0.0);
        if (used > 0)
            std::printf("  thread %-32s %.0f%s\n", qPrintable(it.key()), used,
                it.key().endsWith(QLatin1String("wakeups")) ? "" : " ms");
    }
    audio.Stop();
    return delays.size() == size_t(frames) ? 0 : 2;
}
