#pragma once

#include <QAbstractSocket>
#include <QNetworkReply>
#include <QString>

// Why a connection failed, in words for the user (Qt's own texts are English
// and technical). Each text names the peer as "host:port" and fits after a colon.
class NetworkErrorText
{
public:
    // `tls`: the connection was to be encrypted; a peer that hangs up or stays silent
    // during the TLS handshake usually does not speak TLS.
    // `httpStatus` (0: none) and `serverText`, the error the peer reported in its answer, name the cause when
    // the peer was reached.
    static QString ofReply(QNetworkReply::NetworkError error, const QString& host, int port, bool tls,
                           int httpStatus = 0, const QString& serverText = QString());
    static QString ofSocket(QAbstractSocket::SocketError error, const QString& host, int port, bool tls);
    static QString timedOut(const QString& host, int port, bool tls);
    // A local server that could not listen on `port`; `qtText` is used for the rare causes.
    static QString ofListen(QAbstractSocket::SocketError error, int port, const QString& qtText);

private:
    static QString tlsFailed(const QString& peer);
    // The socket-level cause behind a reply's error; UnknownSocketError for an HTTP error.
    static QAbstractSocket::SocketError socketErrorOf(QNetworkReply::NetworkError error);
};
