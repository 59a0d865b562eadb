#pragma once

#include <QObject>
#include <QTimer>

class QTcpSocket;

// Ends a connection whose answer is written without losing that answer to a
// reset (RFC 9112, 9.6): closing a socket with unread bytes from the peer
// makes the kernel reset the connection, and the peer may never read the
// answer. So, once the answer has left, only the sending side is shut down;
// what the peer still sends is read and dropped until it closes, for at most
// lingerMs and MaxDrainedBytes. Then the socket is deleted. Lives in the
// thread of its socket, as its child.
class LingeringClose : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 MaxDrainedBytes = 16 * 1024 * 1024;

    // Takes over the socket, whose answer is already written to it: `writeTimeoutMs`
    // bounds the time the peer takes to read the answer.
    static void start(QTcpSocket* socket, int writeTimeoutMs, int lingerMs);

private:
    LingeringClose(QTcpSocket* socket, int writeTimeoutMs, int lingerMs);
    void onBytesWritten();
    void onReadyRead();
    void onTimeout();

    QTcpSocket* socket;
    QTimer timer;
    int lingerMs;
    bool halfClosed = false;
    qint64 drained = 0;
};
