#pragma once

#include "TestHome.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QNetworkRequest>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>

class QWebSocket;
class QWebSocketServer;

// A stand-in recognition server for tests: a QWebSocketServer on 127.0.0.1
// with a port chosen by the system. It speaks the real protocol, records what
// the client sends and checks it as it arrives.
//
// Receiving
//   - textMessages(): every text frame, parsed into type and data. A frame that
//     is not a well-formed envelope (one compact JSON object with exactly the
//     members "Data" and "MessageType", the type an integer) is still recorded,
//     with `valid` false, and its fault is added to envelopeErrors().
//   - binaryMessages(): every binary frame, byte for byte.
//   - lastRequest(), cookieValue(): the opening handshake of
//     the latest connection, with its Cookie header split in order (names may
//     repeat, values stay as sent, percent-encoding included).
// Sending (to the latest connected client; false when none)
//   - sendMessage(type, data) writes the envelope; sendRaw() any text frame;
//     sendBinary() one binary frame.
//   - helpers for the frequent types: sendModeChanged (2),
//     sendResult (3), sendNotification (5).
// Waiting: the signals below, or waitForClient()/waitForMessages() with a limit.
// Pings are answered by QWebSocket itself.
class FakeRecognitionServer : public QObject
{
    Q_OBJECT

public:
    struct Message
    {
        int type = 0;
        QJsonValue data;
        QString raw;
        bool valid = false;
    };

    explicit FakeRecognitionServer(QObject* parent = nullptr);
    ~FakeRecognitionServer() override;

    // Plain ws:// on 127.0.0.1; port 0 lets the system choose.
    bool listen(quint16 port = 0);
    // wss:// with the given certificate and key.
    bool listenSecure(const QSslConfiguration& configuration);
    void close();

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const;

    bool hasClient() const;
    int connectionCount() const { return m_connectionCount; }
    // Closes the latest client's socket from the server side.
    void disconnectClient();
    // How the last connection that ended was closed; -1 before any ended.
    int lastCloseCode() const { return m_lastCloseCode; }

    QList<Message> textMessages() const { return m_textMessages; }
    QList<Message> messagesOfType(int type) const;
    // The "Type" of the latest mode request (message 1): 2 (dictation) when null, -1 when none came.
    int lastRequestedMode() const;
    // The id the client registered (message 11, latest list) for a spoken phrase; empty when none.
    QString registeredCommandId(const QString& pattern) const;
    QList<QByteArray> binaryMessages() const { return m_binaryMessages; }
    QStringList envelopeErrors() const { return m_envelopeErrors; }
    void clearReceived();

    QNetworkRequest lastRequest() const { return m_lastRequest; }
    QStringList lastCookieNames() const;
    // The first cookie of that name; a null array when absent.
    QByteArray cookieValue(const QByteArray& name) const;

    bool sendMessage(int type, const QJsonValue& data);
    bool sendRaw(const QString& text);
    bool sendBinary(const QByteArray& bytes);
    bool sendModeChanged(int mode, int state, const QString& info = QString());
    bool sendResult(const QString& text, bool isFinal, const QString& commandId = QString(),
                    const QJsonArray& words = QJsonArray());
    bool sendNotification(const QString& message, int type, int action);

    bool waitForClient(int timeoutMs = TestHome::scaled(5000));
    bool waitForMessages(int count, int timeoutMs = TestHome::scaled(5000));
    bool waitForBinaryMessages(int count, int timeoutMs = TestHome::scaled(5000));

signals:
    void clientConnected();
    void clientDisconnected();
    void messageReceived(FakeRecognitionServer::Message message);
    void binaryMessageReceived(QByteArray bytes);

private:
    bool startListening(QWebSocketServer* server, quint16 port = 0);
    void onNewConnection();
    void onTextMessage(const QString& text);

    QWebSocketServer* m_server = nullptr;
    QPointer<QWebSocket> m_client;
    int m_connectionCount = 0;
    int m_lastCloseCode = -1;
    QList<Message> m_textMessages;
    QList<QByteArray> m_binaryMessages;
    QStringList m_envelopeErrors;
    QNetworkRequest m_lastRequest;
    QList<QPair<QByteArray, QByteArray>> m_lastCookies;
};

Q_DECLARE_METATYPE(FakeRecognitionServer::Message)
