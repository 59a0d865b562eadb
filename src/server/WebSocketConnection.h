#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QObject>
#include <QString>

class JsonConvertable;
class QWebSocket;

// One WebSocket and the only way anything is sent through it: JSON text frames
// in the envelope {"Data": value, "MessageType": type}, and raw binary frames.
// Sends may be called from any thread; the frames reach the socket queued, in
// the socket's thread, in the order they were sent.
class WebSocketConnection : public QObject
{
    Q_OBJECT

public:
    // Wraps `socket`, or creates a version-13 socket when it is null; either
    // way the socket becomes this object's child.
    WebSocketConnection(QObject* parent, QWebSocket* socket);
    ~WebSocketConnection() override;

    virtual void sendJson(int type, QJsonValue value);

    QWebSocket* socket() const { return m_socket; }

    // The compact envelope text of one message.
    static QString envelope(int type, const QJsonValue& value);

signals:
    void connected();
    void disconnected();
    void sendText(QString text);
    void sendBytes(QByteArray bytes);
    // Closes the socket in its own thread.
    void close();

public slots:
    void sendObject(int type, QJsonValue jsonObject);
    // The caller keeps ownership of `obj`, which must not be null.
    void sendData(int type, JsonConvertable* obj);
    void sendDataBytes(QByteArray arr);
    void onClose();

protected slots:
    void onSendBytes(QByteArray arr);
    void onSendText(QString text);

private:
    QWebSocket* m_socket;
};
