#include "ConnectionManager.h"

#include "ASRSettings.h"
#include "AsrManager.h"
#include "BalancerConnectionSettings.h"
#include "CancellationCondition.h"
#include "ClientConnectionSettings.h"
#include "ConnectionHelper.h"
#include "ConnectionManagerSettings.h"
#include "DataMessageProcessor.h"
#include "FormApiSettings.h"
#include "LogCategories.h"
#include "RecordingDeviceManager.h"
#include "ServerInfoDTO.h"
#include "TargetModeInfo.h"
#include "WebSocketClient.h"

#include <QMetaEnum>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <QWebSocket>

#include <exception>

namespace {
const QString NoServersMessage = QStringLiteral("Не удалось получить список серверов");
const QString NoConnectionMessage = QStringLiteral("Не удалось подключиться к серверу");

bool isLoopbackName(const QString& host)
{
    return host == QLatin1String("localhost") || host == QLatin1String("127.0.0.1");
}

int portOf(const QString& text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    return ok && port >= 1 && port <= 65535 ? port : 0;
}
} // namespace

ConnectionManager::ConnectionManager(WebSocketClient* client, AsrManager* asrManager,
                                     RecordingDeviceManager* recordingDeviceManager)
    : client(client)
    , asrManager(asrManager)
    , recordingDeviceManager(recordingDeviceManager)
    , serversConnectionSource(this)
    , retryTimer(new QTimer(this))
{
    qRegisterMetaType<ConnectionStateInfo>("ConnectionStateInfo");
    qRegisterMetaType<UserNotification>("UserNotification");
    qRegisterMetaType<RecognitionModeInfo>("RecognitionModeInfo");

    retryTimer->setSingleShot(true);
    connect(retryTimer, &QTimer::timeout, this, &ConnectionManager::startConnection);

    connect(client, &WebSocketConnection::connected, this, &ConnectionManager::onWebSocketConnected);
    connect(client, &WebSocketConnection::disconnected, this, &ConnectionManager::onWebSocketDisconnect);
    if (asrManager)
        connect(this, &ConnectionManager::stateChanged, asrManager, &AsrManager::connectionStateChanged);
    // Never blocking: the link's thread must not wait for the driver's long steps.
    connect(client->messageProcessor(), &DataMessageProcessor::userNotified, this,
            &ConnectionManager::onUserNotification, Qt::QueuedConnection);
    connect(client->messageProcessor(), &DataMessageProcessor::modeChanged, this, &ConnectionManager::onModeChanged);
    connect(&serversConnectionSource, &ServersConnectionSource::ReceivedVACSettingsFromBalancer, this,
            &ConnectionManager::onReceivedVACSettingsFromBalancer, Qt::DirectConnection);
}

ConnectionManager::~ConnectionManager()
{
    disconnect(audioConnection);
}

void ConnectionManager::printThreadName(const QString& label) const
{
    qCInfo(lcConnectionManager).noquote() << label << "thread name:" << QThread::currentThread()->objectName();
}

bool ConnectionManager::isRunning() const
{
    return condition && !condition->isCanceled();
}

void ConnectionManager::finishWork(const char* reason)
{
    if (reason)
        printThreadName(QString::fromLatin1(reason));
    workDone.store(true);
}

void ConnectionManager::process(CancellationCondition* cancellationCondition)
{
    condition = cancellationCondition->shared_from_this();
    retryTimer->stop();
    restartCycle = false;
    if (!isRunning())
        return;
    printThreadName(QStringLiteral("process run"));
    disconnectNotified = false;
    startConnection();
}

void ConnectionManager::onStop()
{
    printThreadName(QStringLiteral("onStop"));
    if (retryTimer->isActive()) {
        retryTimer->stop();
        finishWork("Cancelation catched!!!");
        return;
    }
    if (state.load() < BalancerRequest)
        finishWork(nullptr);
    else
        emit client->close();
}

void ConnectionManager::onDisconnectRequested()
{
    if (isRunning() && state.load() >= BalancerRequest)
        emit client->close();
}

void ConnectionManager::onReconnectRequested()
{
    if (!isRunning())
        return;
    if (state.load() < BalancerRequest) {
        startConnection();
        return;
    }
    restartCycle = true;
    emit client->close();
}

void ConnectionManager::applyState(ConnectionState newState, const QString& message)
{
    const int oldState = state.load();
    if (oldState == newState)
        return;
    state.store(newState);
    printThreadName(QStringLiteral("stateChanged"));
    qCInfo(lcConnectionManager).noquote() << "stateChanged from" << oldState << "to" << int(newState);

    ServerStatusStorage* storage = serversConnectionSource.storage();
    if (newState == Disconnected && !currentServerId.isEmpty() && storage->GetStatus(currentServerId) == NoDisconnect)
        storage->SetStatus(currentServerId, ConnectionLost);

    ConnectionStateInfo info;
    info.setState(newState);
    info.setOldState(oldState);
    info.setMessage(message);
    info.setNotificationEnabled(!disconnectNotified && !tryingFurtherServers);
    info.setServerHost(ClientConnectionSettings().Ip);
    info.setBalancerHost(BalancerConnectionSettings().Ip);
    emit stateChanged(info);

    switch (newState) {
    case Connected:
        onModeStarted();
        break;
    case Disconnected:
        if (!disconnectNotified && !tryingFurtherServers)
            disconnectNotified = true;
        disconnect(audioConnection);
        emit disconnected();
        break;
    case Ready:
        disconnectNotified = false;
        tryingFurtherServers = false;
        // Once: entering Ready again must not forward each buffer twice.
        if (recordingDeviceManager && !audioConnection) {
            audioConnection = connect(recordingDeviceManager, &RecordingDeviceManager::SoundAvailable,
                                      recordingDeviceManager, [this](const QByteArray& data) { forwardAudio(data); },
                                      Qt::DirectConnection);
        }
        break;
    default:
        break;
    }
}

void ConnectionManager::startConnection()
{
    qCInfo(lcConnectionManager) << "Connection: start connection";
    retryTimer->stop();
    if (state.load() > Disconnected)
        return;
    tryingFurtherServers = false;
    lastServerFailure.clear();
    qCInfo(lcConnectionManager) << "Connection:  balancer request";
    applyState(BalancerRequest);
    serversConnectionSource.resetCycle();
    serversConnectionSource.storage()->Clear();
    tryStartNextWsConnection();
}

void ConnectionManager::tryStartNextWsConnection()
{
    currentServerId.clear();
    applyState(WsConnectionRequested);

    ServerInfoDTO* server = serversConnectionSource.GetNextServer();
    tryingFurtherServers = serversConnectionSource.getServerCount() > 1;
    ServerStatusStorage* storage = serversConnectionSource.storage();
    while (server) {
        const DisconnectStatus status = storage->GetStatus(server->ServerId);
        qCInfo(lcConnectionManager).noquote() << "Connection: server status" << server->ConnectionString << int(status);
        if (status == NoDisconnect && tryStartServer(*server))
            return;
        server = serversConnectionSource.GetNextServer();
    }
    onOutOfServers();
}

void ConnectionManager::onOutOfServers()
{
    qCInfo(lcConnectionManager) << "Connection: out of servers ";
    if (asrManager) {
        asrManager->getTargetModeInfo()->ResetTargetMode();
        // The recognition manager lives in the GUI thread: its reports go there queued.
        const QMetaEnum modes = QMetaEnum::fromType<RecognitionMode>();
        for (int i = 0; i < modes.keyCount(); ++i) {
            RecognitionModeInfo info;
            info.setMode(RecognitionMode(modes.value(i)));
            info.setState(Stopped);
            QMetaObject::invokeMethod(asrManager, "updateModeStateInfo", Qt::QueuedConnection,
                                      Q_ARG(RecognitionModeInfo, info));
        }
    }
    tryingFurtherServers = false;
    // A balancer that failed in this cycle left no server to try, whatever
    // the count of an earlier list says.
    const QString balancerCause = serversConnectionSource.storage()->balancerFailure();
    const bool noServers = serversConnectionSource.getServerCount() < 1
        || (lastServerFailure.isEmpty() && !balancerCause.isEmpty());
    const QString cause = noServers ? balancerCause : lastServerFailure;
    applyState(Failed, (noServers ? NoServersMessage : NoConnectionMessage)
                           + (cause.isEmpty() ? QString() : QStringLiteral(": ") + cause));

    // A timer rather than a wait: the thread's events keep flowing and a stop
    // ends the wait at once.
    if (isRunning())
        retryTimer->start(retryDelay.load());
    else
        finishWork("Cancelation catched!!!");
}

bool ConnectionManager::tryStartServer(const ServerInfoDTO& server)
{
    const QStringList parts = server.ConnectionString.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const QString host = parts.value(0).trimmed();
    const int port = portOf(parts.value(1));
    const int restPort = portOf(parts.value(2));
    if (parts.size() != 3 || host.isEmpty() || port == 0 || restPort == 0) {
        qCWarning(lcConnectionManager).noquote() << "Connection: skipping server" << server.ServerId
                                                 << "with a malformed connection string:" << server.ConnectionString;
        return false;
    }

    const int stateBefore = state.load();
    try {
        ClientConnectionSettings settings;
        settings.Ip.ChangeValue(host);
        settings.Port.ChangeValue(port);
        settings.RestPort.ChangeValue(restPort);
        // The balancer's UseTls is the scheme that answered last, not a choice.
        settings.UseTls.ChangeValue(ConnectionHelper::tlsRequired() || BalancerConnectionSettings().UseTls);
        settings.sync();

        printThreadName(QStringLiteral("startWsConnection"));
        qCInfo(lcConnectionManager) << "Connection:  WsConnectionRequested";
        applyState(WsConnectionRequested);

        if (isLoopbackName(host) && port == int(FormApiSettings().Port)) {
            qCWarning(lcConnectionManager).noquote() << "Connection: skipping" << host << port
                                                     << "- it is this program's own form server";
            return false;
        }

        currentServerId = server.ServerId;
        qCInfo(lcConnectionManager).noquote() << "Connection: ws open" << host + QLatin1Char(':') + QString::number(port);
        emit client->open(host, port, settings.UseTls);
        return true;
    } catch (const std::exception& e) {
        qCWarning(lcConnectionManager).noquote().nospace()
            << "ConnectionManager error[" << stateBefore << " -> " << state.load() << "]:\n" << e.what();
    } catch (...) {
        qCWarning(lcConnectionManager).noquote().nospace()
            << "ConnectionManager error[" << stateBefore << " -> " << state.load() << "]";
    }
    return false;
}

void ConnectionManager::onWebSocketConnected()
{
    printThreadName(QStringLiteral("onWebSocketConnected"));
    qCInfo(lcConnectionManager) << "Websocket connected";
    if (!isRunning())
        return;
    try {
        ClientConnectionSettings settings;
        if (isLoopbackName(settings.Ip) && int(settings.RestPort) == int(FormApiSettings().RestPort)) {
            qCWarning(lcConnectionManager) << "Connection: the server is this program's own REST proxy";
            onDisconnectRequested();
            return;
        }
        applyState(Connected);
    } catch (const std::exception& e) {
        qCWarning(lcConnectionManager).noquote() << "Error on ws connect:" << e.what() << "\n\n connection state: "
                                                 << state.load();
    } catch (...) {
        qCWarning(lcConnectionManager).noquote() << "Unknown error on ws connect:"
                                                 << "\n\n connection state: " << state.load();
    }
}

void ConnectionManager::onWebSocketDisconnect()
{
    printThreadName(QStringLiteral("onWebSocketDisconnect"));
    qCInfo(lcConnectionManager).noquote() << "webSocketError: Сервер " + QString(ClientConnectionSettings().Ip) + "-"
            + client->socket()->errorString();
    // No socket is open or opening in these states: a late signal must not
    // start a second walk beside the retry timer.
    if (state.load() < BalancerRequest)
        return;
    lastServerFailure = client->failureCause();
    applyState(Disconnected);
    if (!isRunning()) {
        finishWork(nullptr);
        return;
    }
    if (restartCycle) {
        restartCycle = false;
        startConnection();
    } else {
        tryStartNextWsConnection();
    }
}

void ConnectionManager::onModeStarted()
{
    try {
        if (!isRunning())
            return;
        applyState(ThemesRequested);
        if (asrManager)
            asrManager->get_Themes(true);
        if (!isRunning())
            return;
        applyState(ThemesReceived);
        if (!isRunning())
            return;
        checkThemes();
    } catch (const std::exception& e) {
        qCWarning(lcConnectionManager).noquote() << "Error on starting mode:" << e.what() << "\n\n connection state: "
                                                 << state.load();
        onDisconnectRequested();
    } catch (...) {
        qCWarning(lcConnectionManager).noquote() << "Unknown error starting mode:"
                                                 << "\n\n connection state: " << state.load();
        onDisconnectRequested();
    }
}

void ConnectionManager::checkThemes()
{
    if (themeCheckPassed || ConnectionManagerSettings().QuietConnectionEnabled || ASRSettings().IsThemeAutoSelect) {
        applyState(Ready);
        return;
    }
    applyState(ThemeCheck);
    emit themeCheckRequested();
}

void ConnectionManager::onThemeCheckSuccess()
{
    if (!isRunning() || state.load() != ThemeCheck)
        return;
    themeCheckPassed = true;
    applyState(Ready);
}

// Runs in the capturing (GUI) thread. Most buffers arrive while nobody dictates:
// dropping them there spares the driver's thread a wake-up for each of them.
void ConnectionManager::forwardAudio(const QByteArray& data)
{
    if (acceptsAudio())
        QMetaObject::invokeMethod(this, [this, data] { SoundAvailable(data); }, Qt::QueuedConnection);
}

bool ConnectionManager::acceptsAudio() const
{
    if (!asrManager || state.load() != Ready)
        return false;
    const std::optional<RecognitionMode> mode = asrManager->getTargetModeInfo()->mode();
    if (!mode || *mode == RecognitionModeNamespace::Off)
        return false;
    const AsrState asrState = asrManager->currentState();
    return *mode == RecognitionModeNamespace::TemplatedWizardForm ? asrState != Stopped : asrState == Started;
}

void ConnectionManager::SoundAvailable(QByteArray data)
{
    // The state may have moved on since the buffer was let through.
    if (acceptsAudio())
        client->sendDataBytes(data);
}

void ConnectionManager::onUserNotification(UserNotification notification)
{
    if (asrManager && notification.action() == NotificationActionDisconnect)
        asrManager->setEnabled(false);
}

void ConnectionManager::onReceivedVACSettingsFromBalancer(bool enableVAC, bool receivedFromBalancer)
{
    emit vacStateChanged(enableVAC, receivedFromBalancer);
}

void ConnectionManager::onModeChanged(RecognitionModeInfo)
{
}

void ConnectionManager::onNewVersionDownloaded()
{
}

void ConnectionManager::onDownloadError()
{
    if (isRunning())
        onDisconnectRequested();
}
