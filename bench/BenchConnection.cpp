// Measures, on loopback: the time from starting the connection driver to the
// ready state, and the delay of one captured buffer from SoundAvailable to the
// binary frame arriving at the recognition server.

#include "AsrManager.h"
#include "ASRSettings.h"
#include "ConnectionManager.h"
#include "ConnectionManagerSettings.h"
#include "LoopbackConnection.h"
#include "RecordingDeviceManager.h"
#include "SubService.h"
#include "TestHome.h"
#include "WebSocketWorker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {
struct Stats
{
    double min = 0, median = 0, p99 = 0, max = 0, mean = 0;
};

Stats summarize(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    Stats s;
    if (samples.empty())
        return s;
    s.min = samples.front();
    s.max = samples.back();
    s.median = samples[samples.size() / 2];
    s.p99 = samples[std::min(samples.size() - 1, size_t(double(samples.size()) * 0.99))];
    double sum = 0;
    for (double v : samples)
        sum += v;
    s.mean = sum / double(samples.size());
    return s;
}

void print(QTextStream& out, const QString& what, const Stats& s)
{
    out << what << ": min " << s.min << " ms, median " << s.median << " ms, mean " << s.mean << " ms, p99 " << s.p99
        << " ms, max " << s.max << " ms\n";
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}
} // namespace

int main(int argc, char** argv)
{
    // Settings and the word list of the run go to a folder of its own.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toLocal8Bit());
    QCoreApplication app(argc, argv);
    TestHome::useApplicationIdentity();
    {
        ConnectionManagerSettings settings;
        settings.QuietConnectionEnabled = true;
        settings.sync();
        ASRSettings asr;
        asr.SelectedTheme = QStringLiteral("t1");
        asr.sync();
    }
    QTextStream out(stdout);
    const int runs = 20;
    const int buffers = 1000;

    std::vector<double> toReady;
    for (int run = 0; run < runs; ++run) {
        LoopbackConnection link;
        FakeRecognitionServer* server = link.addServer();
        link.offerServers({link.entry("A", server->port())});
        link.offerThemes({QJsonObject{{"Id", "t1"}, {"Name", "t1"}}});
        link.build(30000);
        QElapsedTimer timer;
        timer.start();
        link.start();
        if (!waitFor([&] { return link.states().contains(14); }, 10000)) {
            out << "run " << run << ": the ready state was not reached\n";
            return 1;
        }
        toReady.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    print(out, QStringLiteral("start to state 14 (%1 runs)").arg(runs), summarize(toReady));

    LoopbackConnection link;
    FakeRecognitionServer* server = link.addServer();
    link.offerServers({link.entry("A", server->port())});
    link.offerThemes({QJsonObject{{"Id", "t1"}, {"Name", "t1"}}});
    link.build(30000);
    link.start();
    AsrManager* asr = link.worker()->asrManager();
    if (!waitFor([&] { return asr->isConnected(); }, 10000))
        return 1;
    asr->startRecognition();
    server->sendModeChanged(2, 1);
    if (!waitFor([&] { return asr->currentState() == Started; }, 5000))
        return 1;

    // 100 ms of 16 kHz mono 16-bit audio per buffer, as the capture delivers it.
    const QByteArray buffer(3200, '\x11');
    std::vector<double> delays;
    QElapsedTimer timer;
    for (int i = 0; i < buffers; ++i) {
        const int before = server->binaryMessages().size();
        timer.start();
        emit link.capture()->SoundAvailable(buffer);
        if (!waitFor([&] { return server->binaryMessages().size() > before; }, 5000)) {
            out << "buffer " << i << " did not arrive\n";
            return 1;
        }
        delays.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    print(out, QStringLiteral("SoundAvailable to server frame (%1 buffers of %2 bytes)").arg(buffers).arg(buffer.size()),
          summarize(delays));
    return 0;
}
