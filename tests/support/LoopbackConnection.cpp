#include "LoopbackConnection.h"

#include "AcceleratedClock.h"
#include "AsrManager.h"
#include "AudioListManager.h"
#include "AutoReplaceManager.h"
#include "BalancerReply.h"
#include "ConnectionHeartbeat.h"
#include "ConnectionManager.h"
#include "ConnectionManagerSettings.h"
#include "FormApiSettings.h"
#include "RecordingDeviceManager.h"
#include "ResultManager.h"
#include "SubService.h"
#include "TestHome.h"
#include "TtsManager.h"
#include "UserCommandsManager.h"
#include "WebSocketClient.h"
#include "WebSocketWorker.h"

#include <QJsonDocument>
#include <QMutexLocker>
#include <QTcpServer>
#include <QtTest>

LoopbackConnection::LoopbackConnection(const QSslConfiguration& balancerTls)
    : m_http(balancerTls)
{
    m_http.setHandler([this](const FakeHttpRequest& request) { return answer(request); });
    BalancerReply::pointBalancerAt(m_http.port());
}

LoopbackConnection::~LoopbackConnection()
{
    stop();
    m_heartbeatService.reset();
    m_driverService.reset();
    m_workerService.reset();
    m_tts.reset();
    delete m_capture;
    m_userCommands.reset();
    m_autoReplace.reset();
    qDeleteAll(m_recognitionServers);
}

FakeRecognitionServer* LoopbackConnection::addServer(const QSslConfiguration& tls)
{
    auto* server = new FakeRecognitionServer;
    if (!(tls.localCertificate().isNull() ? server->listen() : server->listenSecure(tls)))
        qWarning() << "LoopbackConnection: a recognition server could not listen";
    m_recognitionServers.append(server);
    return server;
}

quint16 LoopbackConnection::deadPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

QJsonObject LoopbackConnection::entry(const QString& id, quint16 wsPort, double load) const
{
    return entryWithString(id, QStringLiteral("127.0.0.1;%1;%2").arg(wsPort).arg(m_http.port()), load);
}

QJsonObject LoopbackConnection::entryWithString(const QString& id, const QString& connectionString, double load)
{
    QJsonObject server = BalancerReply::server(id, load);
    server.insert(QStringLiteral("ConnectionString"), connectionString);
    return server;
}

void LoopbackConnection::offerServers(const QJsonArray& servers)
{
    QMutexLocker locker(&m_replyMutex);
    m_servers = servers;
    m_serversFailure.reset();
}

void LoopbackConnection::failServers(const FakeHttpResponse& reply)
{
    QMutexLocker locker(&m_replyMutex);
    m_serversFailure = reply;
}

void LoopbackConnection::offerThemes(const QJsonArray& themes)
{
    QMutexLocker locker(&m_replyMutex);
    m_themes = themes;
}

void LoopbackConnection::setRestHandler(FakeHttpServer::Handler handler)
{
    QMutexLocker locker(&m_replyMutex);
    m_restHandler = std::move(handler);
}

int LoopbackConnection::balancerRequests() const
{
    QMutexLocker locker(&m_replyMutex);
    return m_balancerRequests;
}

FakeHttpResponse LoopbackConnection::answer(const FakeHttpRequest& request)
{
    QMutexLocker locker(&m_replyMutex);
    if (request.path().endsWith("/Servers")) {
        ++m_balancerRequests;
        return m_serversFailure ? *m_serversFailure : BalancerReply::list(m_servers);
    }
    if (request.path().endsWith("/Theme"))
        return FakeHttpResponse::json(QJsonDocument(QJsonObject{{"Error", QJsonValue()}, {"Data", m_themes}}).toJson());
    if (m_restHandler)
        return m_restHandler(request);
    return FakeHttpResponse::json("{}", 404, "Not Found");
}

namespace {
// The loopback link feeds the driver's audio input itself: no device is ever listed.
class NoCaptureDevices : public AudioListManager
{
public:
    NoCaptureDevices() : AudioListManager(QAudio::AudioInput) {}
    ExtAudioDeviceInfo CreateExtDeviceInfo(const QAudioDeviceInfo&) override { return ExtAudioDeviceInfo(); }

protected:
    QList<QAudioDeviceInfo> AvailableDevices() const override { return {}; }
};
} // namespace

void LoopbackConnection::build(int retryDelayMs)
{
    FormApiSettings formApi;
    formApi.Port = deadPort();
    formApi.RestPort = deadPort();
    formApi.sync();
    m_autoReplace = std::make_unique<AutoReplaceManager>();
    m_userCommands = std::make_unique<UserCommandsManager>();
    m_worker = new WebSocketWorker(m_autoReplace.get(), m_userCommands.get());
    m_workerService = std::make_unique<SubService>(m_worker, true);

    auto* noDevices = new NoCaptureDevices;
    m_capture = new RecordingDeviceManager(noDevices);
    noDevices->setParent(m_capture);
    m_driver = new ConnectionManager(m_worker->wsClient(), m_worker->asrManager(), m_capture);
    m_driver->setRetryDelay(retryDelayMs);
    m_driverService = std::make_unique<SubService>(m_driver, true);
    m_driverService->setPollInterval(10);

    m_tts = std::make_unique<TtsManager>();
    connect(m_driver, &ConnectionManager::stateChanged, m_tts.get(), &TtsManager::onConnectionStateChanged);
    connect(m_tts.get(), &TtsManager::sendTtsParams, m_worker->wsClient(), &WebSocketConnection::sendObject);

    connect(m_driver, &ConnectionManager::stateChanged, this, [this](const ConnectionStateInfo& info) {
        m_states.append(info.state());
        m_messages.append(info.message());
    });
}

void LoopbackConnection::wireDictation()
{
    AsrManager* asr = m_worker->asrManager();
    m_userCommands->setAsrManager(asr);
    m_userCommands->LoadAll();
    m_autoReplace->set_Managers(asr, m_userCommands.get());
    connect(asr, &AsrManager::selectedThemeChanged, m_userCommands.get(), &UserCommandsManager::updateCommands);
    connect(m_driver, &ConnectionManager::disconnected, m_worker->resultManager(), &ResultManager::flushResult);
}

bool LoopbackConnection::startDictation(FakeRecognitionServer* server)
{
    AsrManager* asr = m_worker->asrManager();
    asr->startRecognition();
    if (!QTest::qWaitFor([server] { return !server->messagesOfType(1).isEmpty(); }, TestHome::scaled(5000)))
        return false;
    server->sendModeChanged(RecognitionModeNamespace::Text, Starting);
    server->sendModeChanged(RecognitionModeNamespace::Text, Started);
    return QTest::qWaitFor([asr] { return asr->currentState() == Started; }, TestHome::scaled(5000));
}

void LoopbackConnection::useQuietHome()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    FakeHttpServer::bypassSystemProxy();
    ConnectionManagerSettings quiet;
    quiet.QuietConnectionEnabled = true;
    quiet.sync();
}

void LoopbackConnection::addHeartbeat(unsigned long periodMs, qint64 timeoutDelayMs)
{
    m_heartbeat = new ConnectionHeartbeat(m_worker->wsClient(), periodMs,
                                          acceleratedClock(1000.0 * ConnectionHeartbeat::TimeoutDelay / timeoutDelayMs));
    connect(m_heartbeat, &ConnectionHeartbeat::timeout, m_driver, &ConnectionManager::onDisconnectRequested,
            Qt::QueuedConnection);
    m_heartbeatService = std::make_unique<SubService>(m_heartbeat, true);
    m_heartbeatService->setPollInterval(10);
    m_heartbeatService->Start();
}

void LoopbackConnection::start()
{
    m_workerService->Start();
    m_driverService->Start();
}

void LoopbackConnection::stop()
{
    if (m_heartbeatService)
        m_heartbeatService->Stop();
    if (m_driverService)
        m_driverService->Stop();
    if (m_workerService)
        m_workerService->Stop();
}

void LoopbackConnection::clearStates()
{
    m_states.clear();
    m_messages.clear();
}

bool LoopbackConnection::waitForState(int state, int timeoutMs)
{
    return QTest::qWaitFor([this, state] { return m_states.contains(state); }, timeoutMs);
}
