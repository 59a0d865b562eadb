#pragma once

#include "FakeHttpServer.h"
#include "FakeRecognitionServer.h"
#include "TestHome.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QObject>

#include <memory>
#include <optional>

class AutoReplaceManager;
class ConnectionHeartbeat;
class ConnectionManager;
class RecordingDeviceManager;
class SubService;
class TtsManager;
class UserCommandsManager;
class WebSocketWorker;

// The client's whole recognition link wired as the program wires it (worker
// and connection driver each in their own thread, speech synthesis, an idle
// capture device) against a fake balancer and fake recognition servers, all
// on 127.0.0.1. The fake balancer also serves the theme list.
class LoopbackConnection : public QObject
{
    Q_OBJECT

public:
    // With a server TLS configuration the balancer speaks HTTPS only.
    explicit LoopbackConnection(const QSslConfiguration& balancerTls = QSslConfiguration());
    ~LoopbackConnection() override;

    // A listening recognition server, owned by this object; wss:// only with a TLS configuration.
    FakeRecognitionServer* addServer(const QSslConfiguration& tls = QSslConfiguration());
    // A fresh test home whose link goes past any system proxy and does not wait for a theme choice.
    static void useQuietHome();
    // A port on which nothing listens.
    static quint16 deadPort();
    // A balancer entry for the connection string "127.0.0.1;port;<REST port>".
    QJsonObject entry(const QString& id, quint16 wsPort, double load = 0.5) const;
    static QJsonObject entryWithString(const QString& id, const QString& connectionString, double load = 0.5);
    void offerServers(const QJsonArray& servers);
    // The balancer answers "Servers" with this reply (an error) until offerServers is called again.
    void failServers(const FakeHttpResponse& reply);
    void offerThemes(const QJsonArray& themes);
    int balancerRequests() const;
    quint16 balancerPort() const { return m_http.port(); }
    // Answers REST requests the balancer does not know (the recognition server's
    // REST API behind the local HTTP proxy); unset, they get 404.
    void setRestHandler(FakeHttpServer::Handler handler);
    QList<FakeHttpRequest> restRequests() const { return m_http.requests(); }
    // Connections to the balancer that did not start with an HTTP request line (TLS hellos to plain HTTP).
    int balancerRejected() const { return m_http.rejectedCount(); }

    // Builds the client objects; the settings in force are read from here on.
    // The local form servers get free ports, never the default ones a running
    // client of the same user holds.
    void build(int retryDelayMs);
    // After build, wires the user commands, auto-replace and result handling
    // as the program does: commands loaded, rules built, a dropped link
    // committing the pending partial result.
    void wireDictation();
    // Starts dictation in the text mode, confirmed by the server as a real one
    // would; false when it did not start.
    bool startDictation(FakeRecognitionServer* server);
    void start();
    void stop();
    // A heartbeat on the link that drops it through the driver on a time-out;
    // its clock runs fast enough that the 10 s limit takes timeoutDelayMs.
    void addHeartbeat(unsigned long periodMs, qint64 timeoutDelayMs);

    WebSocketWorker* worker() const { return m_worker; }
    UserCommandsManager* userCommands() const { return m_userCommands.get(); }
    ConnectionManager* driver() const { return m_driver; }
    RecordingDeviceManager* capture() const { return m_capture; }
    SubService* driverService() const { return m_driverService.get(); }
    ConnectionHeartbeat* heartbeat() const { return m_heartbeat; }

    // Every state published, in order, as received in this thread.
    QList<int> states() const { return m_states; }
    QList<QString> stateMessages() const { return m_messages; }
    void clearStates();
    bool waitForState(int state, int timeoutMs = TestHome::scaled(10000));

private:
    FakeHttpResponse answer(const FakeHttpRequest& request);

    FakeHttpServer m_http;
    mutable QMutex m_replyMutex;
    QJsonArray m_servers;
    std::optional<FakeHttpResponse> m_serversFailure;
    QJsonArray m_themes;
    FakeHttpServer::Handler m_restHandler;
    int m_balancerRequests = 0;
    QList<FakeRecognitionServer*> m_recognitionServers;

    std::unique_ptr<AutoReplaceManager> m_autoReplace;
    std::unique_ptr<UserCommandsManager> m_userCommands;
    WebSocketWorker* m_worker = nullptr;
    std::unique_ptr<SubService> m_workerService;
    RecordingDeviceManager* m_capture = nullptr;
    ConnectionManager* m_driver = nullptr;
    std::unique_ptr<SubService> m_driverService;
    ConnectionHeartbeat* m_heartbeat = nullptr;
    std::unique_ptr<SubService> m_heartbeatService;
    std::unique_ptr<TtsManager> m_tts;

    QList<int> m_states;
    QList<QString> m_messages;
};
