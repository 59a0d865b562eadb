#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QString>

class WebSocketConnection;

// Records what objects send through a WebSocketConnection without any
// network: every envelope handed to the socket, parsed into type and data.
class SentFrames : public QObject
{
    Q_OBJECT

public:
    struct Frame
    {
        int type = -1;
        QJsonValue data;
    };

    explicit SentFrames(WebSocketConnection* connection);

    QList<int> types() const;
    QList<QJsonValue> dataOfType(int type) const;
    void clear() { m_frames.clear(); }

private:
    QList<Frame> m_frames;
};
