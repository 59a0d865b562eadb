#include "SentFrames.h"

#include "WebSocketConnection.h"

#include <QJsonDocument>
#include <QJsonObject>

SentFrames::SentFrames(WebSocketConnection* connection)
{
    connect(connection, &WebSocketConnection::sendText, this, [this](const QString& text) {
        const QJsonObject envelope = QJsonDocument::fromJson(text.toUtf8()).object();
        Frame frame;
        frame.type = envelope.value(QStringLiteral("MessageType")).toInt(-1);
        frame.data = envelope.value(QStringLiteral("Data"));
        m_frames.append(frame);
    }, Qt::DirectConnection);
}

QList<int> SentFrames::types() const
{
    QList<int> result;
    for (const Frame& frame : m_frames)
        result.append(frame.type);
    return result;
}

QList<QJsonValue> SentFrames::dataOfType(int type) const
{
    QList<QJsonValue> result;
    for (const Frame& frame : m_frames) {
        if (frame.type == type)
            result.append(frame.data);
    }
    return result;
}
