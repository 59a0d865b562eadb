#pragma once

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

// A recognition server for tests on 127.0.0.1 (port chosen by the system). It
// records what the client sends and checks every text frame as it arrives: a
// frame that is not one compact JSON object with exactly "Data" and an integer
// "MessageType" is still recorded, with `valid` false, and listed in
// envelopeErrors(). The latest handshake's Cookie header is kept split in order
// (names may repeat, values stay as sent). Sends go to the latest client and
// return false when there is none; sendMessage() can send any type the client
// dispatches. Pings are answered by QWebSocket itself.
class FakeRecognitionServer : public QObject
{
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

    bool listen();
    bool listenSecure(const QSslConfiguration& configuration);
    void close();

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const;

    bool hasClient() const;
    int connectionCount() const { return m_connectionCount; }
    // Closes the latest client's socket from the server side.
    void disconnectClient();

    QList<Message> textMessages() const { return m_textMessages; }
    QList<Message> messagesOfType(int type) const;
    QList<QByteArray> binaryMessages() const { return m_binaryMessages; }
    QStringList envelopeErrors() const { return m_envelopeErrors; }

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

    bool waitForClient(int timeoutMs = 5000);
    bool waitForMessages(int count, int timeoutMs = 5000);
    bool waitForBinaryMessages(int count, int timeoutMs = 5000);

private:
    bool startListening(QWebSocketServer* server);
    void onNewConnection();
    void onTextMessage(const QString& text);

    QWebSocketServer* m_server = nullptr;
    QPointer<QWebSocket> m_client;
    int m_connectionCount = 0;
    QList<Message> m_textMessages;
    QList<QByteArray> m_binaryMessages;
    QStringList m_envelopeErrors;
    QNetworkRequest m_lastRequest;
    QList<QPair<QByteArray, QByteArray>> m_lastCookies;
};
