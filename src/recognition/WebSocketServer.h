#pragma once

#include "LogLineThrottle.h"
#include "RateBudget.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWebSocketProtocol>

#include <atomic>
#include <map>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QTimer;
class QWebSocket;
class QWebSocketCorsAuthenticator;
class QWebSocketServer;
class WebSocketServerSession;

// A small WebSocket server on 127.0.0.1 that turns each accepted socket into a
// session and keeps the list of its sessions. Lives in the thread it was moved
// to (the program gives it one of its own, so that whatever a peer sends costs
// the GUI thread nothing); start() and stop() may be emitted, and the listening
// state and the sessions read, from any thread.
// Every page in the browser and every local program can reach it: the
// connections waiting for their handshake, the sockets being closed, the size
// of a message and the bytes a peer leaves unread are bounded, so together
// with the HTTP proxy it holds a small, fixed share of the descriptors.
class WebSocketServer : public QObject
{
    Q_OBJECT

public:
    // The property of an upgraded QWebSocket that holds its handshake's Cookie
    // header as sent: QWebSocket::request() keeps only its Latin-1 part.
    static const char* const RawCookieProperty;
    // Qt's handshake reader closes, with nothing sent, on a longer line of the
    // head, so such a head is refused here (Qt counts characters, this bytes).
    static constexpr int MaxHeadLineSize = 8192;
    // A bigger frame or message closes its session with 1009 (too much data).
    static constexpr quint64 MaxMessageSize = 4 * 1024 * 1024;
    // Past this a new connection takes the place of an unfinished one: one already
    // refused, else the oldest that sent part of a head, else the oldest that has
    // sent nothing for SilentHeadMs. When there is none it waits, not accepted.
    static constexpr int MaxPendingHandshakes = 64;
    // A page sends its head the moment its connection is up, but on a busy
    // machine its thread may wait more than half a second for its turn.
    static constexpr int SilentHeadMs = 1500;
    // Connections the kernel completes and holds until they are accepted: a form
    // that connects during a flood waits there with its head already sent,
    // instead of having its connection attempt dropped and retried a second later.
    static constexpr int AcceptBacklog = 1024;
    // From accept to the upgraded socket; a form on this machine needs milliseconds.
    static constexpr int HandshakeTimeoutMs = 3000;
    // Sessions ended by a replacement or a stop that still wait for the peer's close.
    static constexpr int MaxClosingSockets = 16;
    // Closed connections still read from so that the peer reads why; past this
    // the oldest is closed outright (a local program can end sessions by the hundred).
    static constexpr int MaxLingeringSockets = 32;
    // A peer that leaves this much unread (answers to its pings, messages for it) is cut off.
    static constexpr qint64 MaxUnsentBytes = 8 * 1024 * 1024;
    // A page whose form was closed for its traffic may not open another for this long:
    // connecting again at once would cost a session each time.
    static constexpr int HoldOffMs = 10000;
    // Forms one Origin may open at once, and then each second, before it is held
    // off: a page that connects again whenever it is closed would otherwise take
    // the place of the form in use over and over.
    static constexpr double MaxOpeningBurst = 20;
    static constexpr double MaxOpeningsPerSecond = 1;

    // Ends a session's socket with a close frame, aborted when the peer does not answer in time.
    static void closeSocket(QWebSocket* socket, QWebSocketProtocol::CloseCode code, const QString& reason);
    // Aborts a socket whose peer left more than MaxUnsentBytes unread; true when it did.
    static bool abortWhenBacklogged(QWebSocket* socket);
    // Whether the upgraded socket wraps this accepted connection (Qt does not
    // tell): local peers on different 127.x addresses may share a port.
    static bool isUpgradeOf(const QWebSocket& upgraded, const QTcpSocket& accepted);

    explicit WebSocketServer(QObject* parent = nullptr);
    ~WebSocketServer() override;

    bool isListening() const;
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    QList<WebSocketServerSession*> sessions() const;
    // Accepted connections that are not sessions yet.
    int pendingHandshakes() const { return int(handshakes.size()); }
    // Whether a line about one more session is logged (a local program can
    // open them by the thousand); *summary then tells how many were not.
    bool passSessionLine(QString* summary) { return sessionLog.pass(summary); }

signals:
    void start(int port);
    void stop();
    void closed();
    // A start that could not listen, once per port until a start succeeds; the
    // next start tries again.
    void listenFailed(int port, QString error);

protected slots:
    virtual void newConnection();
    virtual void sessionDisconnected();

private slots:
    void onStart(int port);
    void onStop();

protected:
    virtual WebSocketServerSession* createSession();
    // Whether a handshake from this Origin (empty when the client sent none) may open a session.
    virtual bool isOriginAllowed(const QString& origin);
    void createServer();
    // The next upgraded socket with its RawCookieProperty set; null when none is pending.
    // One whose client sent a frame without a mask with its head is closed (1002) instead.
    QWebSocket* nextPendingSocket();
    // Ends every session (closing steps, socket closed, object deleted later).
    void deleteAllSessions();
    // Refuses handshakes from this Origin (empty for none) for HoldOffMs.
    void holdOff(const QString& origin);

    QWebSocketServer* server = nullptr;
    // Changed in this server's thread only, under sessionsMutex; read there without it.
    QList<WebSocketServerSession*> sessionList;
    mutable QMutex sessionsMutex;

private:
    struct Handshake;
    struct FrameHeads;

    void onTcpConnection();
    // Makes room for one more handshake; false when every one already is with QWebSocketServer.
    bool dropOneUnfinished();
    // Hands the socket to QWebSocketServer once its head has arrived and passed the checks.
    void onHandshakeBytes(QTcpSocket* socket);
    void refuse(Handshake* handshake, int status, const QByteArray& reason, const QString& why);
    Handshake* handshakeOf(const QTcpSocket* socket) const;
    std::unique_ptr<Handshake> takeHandshake(const QTcpSocket* socket);
    void onOriginAuthenticationRequired(QWebSocketCorsAuthenticator* authenticator);
    // Takes one opening from the Origin's budget; holds it off when none is left.
    bool openingAllowed(const QString& origin);
    void reportListenFailure(int port, const QString& error);
    // Closes the socket of a session that ended, waiting a while for the peer's answer.
    void closeEnded(QWebSocket* socket, QWebSocketProtocol::CloseCode code = QWebSocketProtocol::CloseCodeNormal,
                    const QString& reason = QString());
    // Follows the frames the client sends on the socket; false when one came without a mask.
    bool watchFrames(QWebSocket* socket, QTcpSocket* tcp);
    // Ends a session whose client sent a frame without a mask (RFC 6455, 5.1).
    void closeUnmasked(QWebSocket* socket);
    // Keeps a session's connection, once Qt has closed it, for a lingering close.
    void lingerAfterClose(QTcpSocket* tcp);

    // Accepts the connections; QWebSocketServer only upgrades them.
    QTcpServer* listener = nullptr;
    QTimer* roomTimer = nullptr;
    // Accepted connections until the upgraded socket is taken, oldest first.
    std::vector<std::unique_ptr<Handshake>> handshakes;
    // Sockets of ended sessions waiting for the peer's close, oldest first.
    QList<QWebSocket*> closingSockets;
    // Connections in a lingering close, oldest first.
    QList<QPointer<QTcpSocket>> lingeringSockets;
    int reportedFailurePort = -1;
    // The port listened on, 0 when not listening: read from other threads.
    std::atomic<quint16> listeningPort{0};
    // Until when each held-off Origin is refused.
    QHash<QString, QDeadlineTimer> heldOff;
    // What each Origin that opened forms lately may still open.
    std::map<QString, RateBudget> openings;
    LogLineThrottle refusalLog;
    LogLineThrottle acceptanceLog;
    LogLineThrottle sessionLog{20, 10000};
};
