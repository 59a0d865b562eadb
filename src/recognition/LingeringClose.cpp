#include "LingeringClose.h"

#include <QTcpSocket>

#include <sys/socket.h>

void LingeringClose::start(QTcpSocket* socket, int writeTimeoutMs, int lingerMs)
{
    new LingeringClose(socket, writeTimeoutMs, lingerMs);
}

LingeringClose::LingeringClose(QTcpSocket* socket, int writeTimeoutMs, int lingerMs)
    : QObject(socket)
    , socket(socket)
    , lingerMs(lingerMs)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &LingeringClose::onTimeout);
    connect(socket, &QTcpSocket::bytesWritten, this, &LingeringClose::onBytesWritten);
    connect(socket, &QTcpSocket::readyRead, this, &LingeringClose::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QAbstractSocket::errorOccurred, socket, &QObject::deleteLater);
    timer.start(writeTimeoutMs);
    onReadyRead();
    onBytesWritten();
}

void LingeringClose::onBytesWritten()
{
    if (halfClosed || socket->bytesToWrite() > 0)
        return;
    halfClosed = true;
    if (socket->state() != QAbstractSocket::ConnectedState || ::shutdown(int(socket->socketDescriptor()), SHUT_WR) != 0) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    timer.start(lingerMs);
}

void LingeringClose::onReadyRead()
{
    drained += socket->skip(socket->bytesAvailable());
    // A peer that goes on sending gains nothing from it.
    if (drained > MaxDrainedBytes)
        onTimeout();
}

void LingeringClose::onTimeout()
{
    timer.stop();
    socket->abort();
    socket->deleteLater();
}
