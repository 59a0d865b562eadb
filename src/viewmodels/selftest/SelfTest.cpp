#include "SelfTest.h"

#include "AppVariables.h"
#include "AsrManager.h"
#include "ConnectionHeartbeat.h"
#include "ConnectionManager.h"
#include "DataMessageProcessor.h"
#include "RecordingDeviceManager.h"
#include "ResultManager.h"
#include "SelfTestSettings.h"
#include "SelfTestViewModel.h"
#include "WebSocketClient.h"
#include "WebSocketWorker.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWebSocket>

#include <algorithm>
#include <exception>

namespace {
// One CSV field in quotes, its own quotes doubled.
QString quoted(QString text)
{
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString general(double value)
{
    return QString::number(value, 'g', 6);
}

// A timer given a negative time never fires: the phase would wait for ever.
int timeLimit(const char* key, int milliseconds)
{
    if (milliseconds >= 0)
        return milliseconds;
    qWarning() << "Self-test:" << key << milliseconds << "ms is out of range, using 0 ms";
    return 0;
}

std::unique_ptr<QFile> openReportFile(const QString& path, QIODevice::OpenMode mode)
{
    auto file = std::make_unique<QFile>(path);
    if (file->open(mode))
        return file;
    qWarning().noquote() << "Self-test: cannot write " + path + ": " + file->errorString();
    return nullptr;
}
} // namespace

SelfTest::SelfTest(SelfTestViewModel* viewModel, WebSocketWorker* worker, ConnectionManager* connectionManager,
                   ConnectionHeartbeat* heartbeat, RecordingDeviceManager* recordingManager, QObject* parent)
    : QObject(parent)
    , viewModel(viewModel)
    , worker(worker)
    , connectionManager(connectionManager)
    , heartbeat(heartbeat)
    , recordingManager(recordingManager)
    , asrManager(worker->asrManager())
    , resultManager(worker->resultManager())
{
    timerA.setTimerType(Qt::PreciseTimer);
    timerA.setSingleShot(true);
    timerB.setTimerType(Qt::PreciseTimer);
    connect(&timerA, &QTimer::timeout, this, [this] {
        if (const Handler handler = timeoutHandler)
            guarded("timeout", [this, handler] { (this->*handler)(); });
    });
    connect(&timerB, &QTimer::timeout, this, [this] { guarded("send_data", [this] { send_data(); }); });

    // The link's signals come from other threads: connected for good and let
    // through only while loaded. Disconnected while the heartbeat's thread
    // emitted, a connection's slot object was left behind (the leak checker
    // found it beside busy loops).
    if (heartbeat)
        connect(heartbeat, &ConnectionHeartbeat::ping, this, [this] {
            if (loaded)
                onPing();
        });
    connect(worker->wsClient()->socket(), &QWebSocket::pong, this, [this](qulonglong elapsed, const QByteArray& payload) {
        if (loaded)
            onPong(elapsed, payload);
    });
    connect(connectionManager, &ConnectionManager::stateChanged, this, [this](const ConnectionStateInfo& info) {
        if (loaded)
            onConnectionState(info);
    });
    connect(viewModel, &SelfTestViewModel::load, this, &SelfTest::onLoad);
    connect(viewModel, &SelfTestViewModel::close, this, &SelfTest::onClose);
    connect(viewModel, &SelfTestViewModel::clear, this, &SelfTest::onClear);
    connect(viewModel, &SelfTestViewModel::start, this, &SelfTest::onStart);
    connect(viewModel, &SelfTestViewModel::stop, this, &SelfTest::onStop);
}

SelfTest::~SelfTest()
{
    // The view model may be gone already (both are children of the window manager).
    if (loaded)
        restoreDictation();
}

QString SelfTest::logFilePath() const
{
    return logFile ? logFile->fileName() : QString();
}

QString SelfTest::reportFilePath() const
{
    return reportFile ? reportFile->fileName() : QString();
}

template<typename Step>
void SelfTest::guarded(const char* method, Step step)
{
    try {
        step();
        return;
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("Error in SelfTest::%1: %2").arg(QLatin1String(method), QString::fromUtf8(e.what()));
    } catch (...) {
        qWarning().noquote() << QStringLiteral("Error in SelfTest::%1: unknown exception").arg(QLatin1String(method));
    }
    try {
        onStop();
    } catch (...) {
        phase = Idle;
    }
}

void SelfTest::onLoad()
{
    guarded("onLoad", [this] { load(); });
}

void SelfTest::onClose()
{
    // Never guarded by a run's state: dictation must come back however the window ends.
    close();
}

void SelfTest::onClear()
{
    clear_pings();
    emit viewModel->clearLog();
}

void SelfTest::onStart()
{
    guarded("onStart", [this] { start(); });
}

void SelfTest::onStop()
{
    if (phase == Idle)
        return;
    stopTimers();
    for (const QMetaObject::Connection& connection : qAsConst(runConnections))
        disconnect(connection);
    runConnections.clear();
    if (asrManager)
        asrManager->stopRecognition();
    phase = Idle;
    viewModel->set_IsStarted(false);
    Log(QStringLiteral("\nStopped"));
    CloseFile();
    closeReports();
}

void SelfTest::load()
{
    if (loaded)
        close();
    // From here on closing restores dictation, even when loading fails half-way.
    loaded = true;
    closeReports();
    if (resultManager)
        resultManager->setProcessResults(false);
    if (recordingManager)
        recordingManager->paused.storeRelease(1);

    settings = std::make_unique<SelfTestSettings>();
    files = settings->get_Files();
    pingCountLimit = settings->PingCount;
    // The heartbeat pings once a period: a wait of PingTimeout alone, as long as
    // the period by default, would time out on a healthy link.
    pingTimeout = int(qMin<qint64>(qint64(timeLimit("PingTimeout", settings->PingTimeout))
                                       + (heartbeat ? qint64(heartbeat->getPeriod()) : 0),
                                   MaxTimeout));
    startTimeout = timeLimit("StartTimeout", settings->StartTimeout);
    stopTimeout = timeLimit("StopTimeout", settings->StopTimeout);
    const int period = settings->SoundPeriod;
    soundPeriod = qBound(MinSoundPeriod, period, MaxSoundPeriod);
    if (soundPeriod != period)
        qWarning() << "Self-test: SoundPeriod" << period << "ms is out of range, using" << soundPeriod << "ms";
    // 16 kHz mono 16-bit audio: 32 bytes a millisecond.
    buffer = QByteArray(soundPeriod * 32, '\0');

    viewModel->set_IsConnected(connectionManager->getState() == ConnectionManager::Ready);
    if (asrManager)
        asrManager->stopRecognition();
    clear_pings();
    emit viewModel->clearLog();
    phase = Idle;
    viewModel->set_IsStarted(false);
}

void SelfTest::close()
{
    onStop();
    restoreDictation();
    CloseFile();
    settings.reset();
    loaded = false;
}

void SelfTest::restoreDictation()
{
    if (recordingManager)
        recordingManager->paused.storeRelease(0);
    if (resultManager)
        resultManager->setProcessResults(true);
}

void SelfTest::start()
{
    if (phase != Idle || !loaded)
        return;
    const QString folder =
        AppVariables::sm_stdVars.get(QStringLiteral("AppDataLocation"), QString()) + QStringLiteral("/reports");
    QDir().mkpath(folder);
    const QString base = folder + QStringLiteral("/report_")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    logFile = openReportFile(base + QStringLiteral(".txt"), QIODevice::WriteOnly | QIODevice::Append);
    reportFile = openReportFile(base + QStringLiteral(".csv"), QIODevice::WriteOnly | QIODevice::Truncate);
    emit viewModel->clearLog();
    runConnections << connect(asrManager, &AsrManager::currentModeOrStateChanged, this, &SelfTest::onAsrMode)
                   << connect(worker->wsClient()->messageProcessor(), &DataMessageProcessor::resultReceived, this,
                              &SelfTest::result_received);
    pingTest();
}

void SelfTest::pingTest()
{
    stopTimers();
    Log(QStringLiteral("\nPing test"));
    asrManager->stopRecognition();
    clear_pings();
    timeoutHandler = &SelfTest::ping_timeout;
    timerA.start(pingTimeout);
    phase = PingTesting;
    viewModel->set_IsStarted(true);
}

void SelfTest::onPing()
{
    viewModel->set_PingCount(++pings);
    if (phase == PingTesting)
        timerA.start(pingTimeout);
}

void SelfTest::onPong(qulonglong elapsedTime, QByteArray)
{
    viewModel->set_PongCount(++pongs);
    if (elapsedTime > maxDelay) {
        maxDelay = elapsedTime;
        viewModel->set_MaxDelay(maxDelay);
    }
    if (elapsedTime < minDelay) {
        minDelay = elapsedTime;
        viewModel->set_MinDelay(minDelay);
    }
    delaySum += elapsedTime;
    // Two decimals, cut towards zero.
    avgDelay = double(delaySum * 100 / pongs) / 100.0;
    viewModel->set_AvgDelay(avgDelay);
    if (phase != PingTesting)
        return;

    Log(QStringLiteral("\nPing %1 ms").arg(elapsedTime));
    if (pings < quint64(qMax(0, pingCountLimit)))
        return;
    Log(QStringLiteral("\n%1 requests, %2 responses").arg(pings).arg(pongs));
    Log(QStringLiteral("\nmin delay %1 ms, max delay %2 ms, average delay %3 ms")
            .arg(QString::number(minDelay), QString::number(maxDelay), general(avgDelay)));
    CSV(QStringLiteral("ping;%1;%2;%3;%4;%5\n")
            .arg(QString::number(pings), QString::number(pongs), QString::number(minDelay), QString::number(maxDelay),
                 general(avgDelay)));
    fileNumber = 0;
    if (files.isEmpty()) {
        Log(QStringLiteral("\nNo files"));
        onStop();
        return;
    }
    Log(QStringLiteral("\n\nStart recognition"));
    startRecognition();
}

void SelfTest::onConnectionState(ConnectionStateInfo stateInfo)
{
    const bool ready = stateInfo.state() == ConnectionManager::Ready;
    if (!ready)
        onStop();
    viewModel->set_IsConnected(ready);
}

void SelfTest::startRecognition()
{
    timeoutHandler = &SelfTest::start_timeout;
    timerA.start(startTimeout);
    // First: the manager reports the idle mode stopping before it returns, which
    // must not count as the end of the previous file.
    phase = WaitingForStart;
    asrManager->startRecognition();
}

void SelfTest::onAsrMode(RecognitionMode mode, AsrState state)
{
    if (mode == RecognitionModeNamespace::Text && state == Started && phase == WaitingForStart) {
        Log(QStringLiteral("\nRecognition started in %1 ms").arg(timerA.interval() - timerA.remainingTime()));
        timeoutHandler = &SelfTest::result_timeout;
        phase = Playing;
        NextFile();
        return;
    }
    if (mode == RecognitionModeNamespace::Text || phase != WaitingForStop)
        return;
    stopTimers();
    if (receivedResults == expectedResults)
        Log(QStringLiteral("\nAll %1 results received\n").arg(receivedResults));
    else if (receivedResults > expectedResults)
        Log(QStringLiteral("\nRecieved %1 of %2 results, %3 extra results\n")
                .arg(receivedResults)
                .arg(expectedResults)
                .arg(receivedResults - expectedResults));
    else
        Log(QStringLiteral("\nRecieved %1 of %2 results, %3 results lost\n")
                .arg(receivedResults)
                .arg(expectedResults)
                .arg(expectedResults - receivedResults));
    if (fileNumber < files.size())
        startRecognition();
    else if (viewModel->get_Loop())
        pingTest();
    else
        onStop();
}

void SelfTest::NextFile()
{
    if (fileNumber >= files.size()) {
        onStop();
        return;
    }
    const SelfTestFile& entry = files.at(fileNumber++);
    const QString path = AppVariables::sm_stdVars.substitute(entry.path);
    receivedResults = 0;
    expectedResults = entry.results;
    tail = entry.tail;
    fileName = QFileInfo(path).fileName();
    // The limit also holds for a file that cannot be played, whose stop the server may never report.
    timerA.start(stopTimeout);
    fileClock.start();
    soundFile = std::make_unique<QFile>(path);
    if (!soundFile->open(QIODevice::ReadOnly)) {
        Log(QStringLiteral("\nCannot open file ") + QFileInfo(path).absoluteFilePath());
        soundFile.reset();
        stopRecognition();
        return;
    }
    Log(QStringLiteral("\nPlay file ") + fileName);
    timerB.start(soundPeriod);
    send_data();
}

void SelfTest::send_data()
{
    if (!soundFile)
        return;
    const qint64 read = soundFile->read(buffer.data(), buffer.size());
    if (read < 0) {
        Log(QStringLiteral("\nRead error: ") + soundFile->errorString());
        CloseFile();
        NextFile();
        return;
    }
    if (read < buffer.size()) {
        std::fill(buffer.begin() + read, buffer.end(), '\0');
        if (tail < 1) {
            CloseFile();
            stopRecognition();
            return;
        }
        tail -= int(buffer.size() - read);
    }
    worker->wsClient()->sendDataBytes(buffer);
    emit viewModel->appendLog(QStringLiteral("."));
}

void SelfTest::stopRecognition()
{
    Log(QStringLiteral("\nFinished ") + fileName);
    asrManager->stopRecognition();
    phase = WaitingForStop;
}

void SelfTest::result_received(TextResult result)
{
    if (!result.isFinal())
        return;
    ++receivedResults;
    const qint64 elapsed = fileClock.isValid() ? fileClock.elapsed() : 0;
    Log(QStringLiteral("\nResult %1 in %2 ms: ").arg(receivedResults).arg(elapsed) + result.text());
    CSV(QStringLiteral("result;%1;%2;%3;%4;%5;%6;%7\n")
            .arg(QString::number(fileNumber), QString::number(receivedResults), QString::number(expectedResults),
                 phase == Playing ? QStringLiteral("1") : QStringLiteral("0"), QString::number(elapsed),
                 quoted(fileName), quoted(result.text())));
}

void SelfTest::CloseFile()
{
    timerB.stop();
    soundFile.reset();
}

void SelfTest::clear_pings()
{
    pings = 0;
    pongs = 0;
    minDelay = 2147483647;
    maxDelay = 0;
    delaySum = 0;
    avgDelay = 0;
    viewModel->set_PingCount(0);
    viewModel->set_PongCount(0);
    viewModel->set_MinDelay(0);
    viewModel->set_MaxDelay(0);
    viewModel->set_AvgDelay(0);
}

void SelfTest::Log(const QString& text)
{
    if (logFile) {
        logFile->write(text.toUtf8());
        logFile->flush();
    }
    emit viewModel->appendLog(text);
}

void SelfTest::CSV(const QString& text)
{
    if (reportFile) {
        reportFile->write(text.toUtf8());
        reportFile->flush();
    }
}

void SelfTest::ping_timeout()
{
    Log(QStringLiteral("\nPing timeout"));
    onStop();
}

void SelfTest::start_timeout()
{
    Log(QStringLiteral("\nStart recognition timeout"));
    onStop();
}

void SelfTest::result_timeout()
{
    Log(QStringLiteral("Stop recognition timeout"));
    onStop();
}

void SelfTest::stopTimers()
{
    timerA.stop();
    timerB.stop();
    timeoutHandler = nullptr;
}

void SelfTest::closeReports()
{
    logFile.reset();
    reportFile.reset();
}
