#include "FakeRecognitionServer.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QWebSocket>
#include <QWebSocketServer>

#include <functional>

namespace {
QList<QPair<QByteArray, QByteArray>> splitCookieHeader(const QByteArray& header)
{
    QList<QPair<QByteArray, QByteArray>> cookies;
    if (header.isEmpty())
        return cookies;
    for (const QByteArray& pair : header.split(';')) {
        const QByteArray trimmed = pair.startsWith(' ') ? pair.mid(1) : pair;
        const int equals = trimmed.indexOf('=');
        if (equals < 0)
            cookies.append({trimmed, QByteArray()});
        else
            cookies.append({trimmed.left(equals), trimmed.mid(equals + 1)});
    }
    return cookies;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(10);
    }
    return true;
}
} // namespace

FakeRecognitionServer::FakeRecognitionServer(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<FakeRecognitionServer::Message>();
}

FakeRecognitionServer::~FakeRecognitionServer()
{
    close();
}

bool FakeRecognitionServer::listen(quint16 port)
{
    return startListening(
        new QWebSocketServer(QStringLiteral("FakeRecognitionServer"), QWebSocketServer::NonSecureMode, this), port);
}

bool FakeRecognitionServer::listenSecure(const QSslConfiguration& configuration)
{
    auto* server = new QWebSocketServer(QStringLiteral("FakeRecognitionServer"), QWebSocketServer::SecureMode, this);
    server->setSslConfiguration(configuration);
    return startListening(server);
}

bool FakeRecognitionServer::startListening(QWebSocketServer* server, quint16 port)
{
    close();
    m_server = server;
    connect(m_server, &QWebSocketServer::newConnection, this, &FakeRecognitionServer::onNewConnection);
    return m_server->listen(QHostAddress(QStringLiteral("127.0.0.1")), port);
}

void FakeRecognitionServer::close()
{
    if (m_client)
        m_client->abort();
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
}

quint16 FakeRecognitionServer::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

bool FakeRecognitionServer::hasClient() const
{
    return m_client && m_client->state() == QAbstractSocket::ConnectedState;
}

qint64 FakeRecognitionServer::unsentBytes() const
{
    return m_client ? m_client->bytesToWrite() : 0;
}

void FakeRecognitionServer::disconnectClient()
{
    if (m_client)
        m_client->close();
}

void FakeRecognitionServer::onNewConnection()
{
    while (QWebSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        m_client = socket;
        ++m_connectionCount;
        m_lastRequest = socket->request();
        m_lastCookies = splitCookieHeader(m_lastRequest.rawHeader("Cookie"));
        connect(socket, &QWebSocket::textMessageReceived, this, &FakeRecognitionServer::onTextMessage);
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray& bytes) {
            m_binaryMessages.append(bytes);
            emit binaryMessageReceived(bytes);
        });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            m_lastCloseCode = socket->closeCode();
            socket->deleteLater();
            emit clientDisconnected();
        });
        emit clientConnected();
    }
}

void FakeRecognitionServer::onTextMessage(const QString& text)
{
    Message message;
    message.raw = text;
    QString fault;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    const QJsonObject envelope = document.object();
    const QJsonValue type = envelope.value(QStringLiteral("MessageType"));
    if (!document.isObject())
        fault = QStringLiteral("not a JSON object");
    else if (envelope.size() != 2 || !envelope.contains(QStringLiteral("Data")))
        fault = QStringLiteral("members are not exactly Data and MessageType");
    else if (!type.isDouble() || type.toDouble() != double(type.toInt()))
        fault = QStringLiteral("MessageType is not an integer");
    else if (QString::fromUtf8(document.toJson(QJsonDocument::Compact)) != text)
        fault = QStringLiteral("not in compact form");
    message.valid = fault.isEmpty();
    message.type = type.toInt();
    message.data = envelope.value(QStringLiteral("Data"));
    if (!message.valid)
        m_envelopeErrors.append(fault + QStringLiteral(": ") + text.left(200));
    m_textMessages.append(message);
    emit messageReceived(message);
}

QList<FakeRecognitionServer::Message> FakeRecognitionServer::messagesOfType(int type) const
{
    QList<Message> result;
    for (const Message& message : m_textMessages) {
        if (message.valid && message.type == type)
            result.append(message);
    }
    return result;
}

int FakeRecognitionServer::lastRequestedMode() const
{
    const QList<Message> requests = messagesOfType(1);
    if (requests.isEmpty())
        return -1;
    const QJsonValue type = requests.constLast().data.toObject().value(QStringLiteral("Type"));
    return type.isDouble() ? type.toInt() : 2;
}

QString FakeRecognitionServer::registeredCommandId(const QString& pattern) const
{
    const QList<Message> lists = messagesOfType(11);
    if (lists.isEmpty())
        return QString();
    for (const QJsonValue& command : lists.constLast().data.toObject().value(QStringLiteral("Commands")).toArray()) {
        if (command.toObject().value(QStringLiteral("Pattern")).toString() == pattern)
            return command.toObject().value(QStringLiteral("Id")).toString();
    }
    return QString();
}

void FakeRecognitionServer::clearReceived()
{
    m_textMessages.clear();
    m_binaryMessages.clear();
    m_envelopeErrors.clear();
}

QStringList FakeRecognitionServer::lastCookieNames() const
{
    QStringList names;
    for (const auto& cookie : m_lastCookies)
        names.append(QString::fromLatin1(cookie.first));
    return names;
}

QByteArray FakeRecognitionServer::cookieValue(const QByteArray& name) const
{
    for (const auto& cookie : m_lastCookies) {
        if (cookie.first == name)
            return cookie.second.isNull() ? QByteArray("") : cookie.second;
    }
    return QByteArray();
}

bool FakeRecognitionServer::sendRaw(const QString& text)
{
    if (!hasClient())
        return false;
    return m_client->sendTextMessage(text) >= 0;
}

bool FakeRecognitionServer::sendBinary(const QByteArray& bytes)
{
    if (!hasClient())
        return false;
    return m_client->sendBinaryMessage(bytes) >= 0;
}

bool FakeRecognitionServer::sendMessage(int type, const QJsonValue& data)
{
    const QJsonObject envelope{{QStringLiteral("MessageType"), type}, {QStringLiteral("Data"), data}};
    return sendRaw(QString::fromUtf8(QJsonDocument(envelope).toJson(QJsonDocument::Compact)));
}

bool FakeRecognitionServer::sendModeChanged(int mode, int state, const QString& info)
{
    return sendMessage(2, QJsonObject{{"Mode", mode}, {"State", state}, {"Info", info}});
}

bool FakeRecognitionServer::sendResult(const QString& text, bool isFinal, const QString& commandId, const QJsonArray& words)
{
    return sendMessage(3, QJsonObject{{"Text", text}, {"IsFinal", isFinal}, {"CommandId", commandId}, {"Words", words}});
}

bool FakeRecognitionServer::sendNotification(const QString& message, int type, int action)
{
    return sendMessage(5, QJsonObject{{"Message", message}, {"Type", type}, {"Action", action}});
}

bool FakeRecognitionServer::waitForClient(int timeoutMs)
{
    return waitUntil([this] { return hasClient(); }, timeoutMs);
}

bool FakeRecognitionServer::waitForMessages(int count, int timeoutMs)
{
    return waitUntil([this, count] { return m_textMessages.size() >= count; }, timeoutMs);
}

bool FakeRecognitionServer::waitForBinaryMessages(int count, int timeoutMs)
{
    return waitUntil([this, count] { return m_binaryMessages.size() >= count; }, timeoutMs);
}
