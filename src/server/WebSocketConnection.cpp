#include "WebSocketConnection.h"

#include "ConnectionHelper.h"
#include "Exception.h"
#include "JsonConvertable.h"

#include <QAbstractSocket>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslConfiguration>
#include <QWebSocket>
#include <QtDebug>

#include <exception>
#include <mutex>

WebSocketConnection::WebSocketConnection(QObject* parent, QWebSocket* socket)
    : QObject(parent)
    , m_socket(socket ? socket : new QWebSocket(QString(), QWebSocketProtocol::Version13))
{
    static std::once_flag registered;
    std::call_once(registered, [] { qRegisterMetaType<QAbstractSocket::SocketError>("QAbstractSocket::SocketError"); });

    m_socket->setParent(this);

#ifndef QT_NO_SSL
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.setPeerVerifyMode(ConnectionHelper::peerVerifyMode());
    m_socket->setSslConfiguration(ssl);
#endif

    connect(m_socket, &QWebSocket::connected, this, &WebSocketConnection::connected);
    connect(m_socket, &QWebSocket::disconnected, this, &WebSocketConnection::disconnected);
    connect(this, &WebSocketConnection::sendText, this, &WebSocketConnection::onSendText);
    connect(this, &WebSocketConnection::sendBytes, this, &WebSocketConnection::onSendBytes);
    connect(this, &WebSocketConnection::close, this, &WebSocketConnection::onClose);
}

// The socket goes with this object as its child: a deleteLater would be lost
// when this is destroyed after its thread's event loop ended.
WebSocketConnection::~WebSocketConnection() = default;

QString WebSocketConnection::envelope(int type, const QJsonValue& value)
{
    const QJsonObject message{{QStringLiteral("MessageType"), type}, {QStringLiteral("Data"), value}};
    return QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

void WebSocketConnection::sendJson(int type, QJsonValue value)
{
    emit sendText(envelope(type, value));
}

void WebSocketConnection::sendObject(int type, QJsonValue jsonObject)
{
    sendJson(type, jsonObject);
}

void WebSocketConnection::sendData(int type, JsonConvertable* obj)
{
    if (!obj) {
        qWarning() << "WebSocketConnection::sendData: no record for message type" << type;
        return;
    }
    sendJson(type, obj->toJson());
}

void WebSocketConnection::sendDataBytes(QByteArray arr)
{
    emit sendBytes(arr);
}

void WebSocketConnection::onSendText(QString text)
{
    m_socket->sendTextMessage(text);
}

void WebSocketConnection::onSendBytes(QByteArray arr)
{
    m_socket->sendBinaryMessage(arr);
}

void WebSocketConnection::onClose()
{
    qInfo() << "Webocket close called";
    try {
        m_socket->close(QWebSocketProtocol::CloseCodeNormal, QString());
    } catch (...) {
        qInfo() << "Webocket close exception, calling websocket.abort";
        m_socket->abort();
    }
}
