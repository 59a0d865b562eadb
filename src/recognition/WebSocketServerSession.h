#pragma once

#include "WebSocketConnection.h"

#include <QByteArray>
#include <QString>

class QWebSocket;

// One socket accepted by a WebSocketServer. Frames are ignored here; subclasses
// act on them. Lives in the server's thread.
class WebSocketServerSession : public WebSocketConnection
{
    Q_OBJECT

public:
    WebSocketServerSession(QWebSocket* socket, QObject* parent);
    ~WebSocketServerSession() override;

    // Runs the session's closing steps; later calls do nothing. The server calls
    // it whichever way the session ends: disconnect, replacement or stop.
    void finish();
    bool isFinished() const { return finished; }

protected slots:
    virtual void textMessageReceived(QString message);
    virtual void binaryMessageReceived(QByteArray message);

protected:
    // The closing steps of a subclass; runs once, from finish().
    virtual void closing();

private:
    bool finished = false;
};
