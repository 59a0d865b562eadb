#include "WebSocketServerSession.h"

#include <QWebSocket>

WebSocketServerSession::WebSocketServerSession(QWebSocket* socket, QObject* parent)
    : WebSocketConnection(parent, socket)
{
    connect(socket, &QWebSocket::textMessageReceived, this, &WebSocketServerSession::textMessageReceived);
    connect(socket, &QWebSocket::binaryMessageReceived, this, &WebSocketServerSession::binaryMessageReceived);
    // Made first, so the closing steps run before anyone else hears of the disconnect.
    connect(this, &WebSocketConnection::disconnected, this, &WebSocketServerSession::finish);
}

WebSocketServerSession::~WebSocketServerSession() = default;

void WebSocketServerSession::finish()
{
    if (finished)
        return;
    finished = true;
    closing();
}

void WebSocketServerSession::textMessageReceived(QString)
{
}

void WebSocketServerSession::binaryMessageReceived(QByteArray)
{
}

void WebSocketServerSession::closing()
{
}
