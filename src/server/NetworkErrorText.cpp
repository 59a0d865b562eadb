#include "NetworkErrorText.h"

#include "ConnectionHelper.h"

namespace {
QString peerOf(const QString& host, int port)
{
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

// A peer's own text goes into a tray message: one line, of a length that fits there.
QString oneLine(const QString& text)
{
    const int limit = 200;
    const QString simplified = text.simplified();
    return simplified.size() <= limit ? simplified : simplified.left(limit - 1) + QChar(0x2026);
}
} // namespace

QString NetworkErrorText::tlsFailed(const QString& peer)
{
    // With strict verification a plain-text server and an unverified certificate end alike.
    return ConnectionHelper::tlsRequired()
        ? QStringLiteral("%1 не установил проверенное защищённое соединение (TLS), а настройки требуют его").arg(peer)
        : QStringLiteral("не удалось установить защищённое соединение (TLS) с %1").arg(peer);
}

QString NetworkErrorText::timedOut(const QString& host, int port, bool tls)
{
    return (tls ? QStringLiteral("%1 не ответил вовремя на защищённое соединение (TLS)")
                : QStringLiteral("%1 не ответил вовремя"))
        .arg(peerOf(host, port));
}

QString NetworkErrorText::ofReply(QNetworkReply::NetworkError error, const QString& host, int port, bool tls,
                                  int httpStatus, const QString& serverText)
{
    const QString peer = peerOf(host, port);
    if (error == QNetworkReply::NoError) {
        const QString reported = oneLine(serverText);
        return reported.isEmpty() ? QStringLiteral("ответ %1 не удалось прочитать").arg(peer)
                                  : QStringLiteral("%1 ответил: %2").arg(peer, reported);
    }
    const QAbstractSocket::SocketError cause = socketErrorOf(error);
    if (cause != QAbstractSocket::UnknownSocketError)
        return ofSocket(cause, host, port, tls);
    return httpStatus > 0 ? QStringLiteral("%1 ответил ошибкой HTTP %2").arg(peer).arg(httpStatus)
                          : QStringLiteral("%1 ответил ошибкой (код %2)").arg(peer).arg(int(error));
}

QAbstractSocket::SocketError NetworkErrorText::socketErrorOf(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return QAbstractSocket::HostNotFoundError;
    case QNetworkReply::ConnectionRefusedError:
        return QAbstractSocket::ConnectionRefusedError;
    case QNetworkReply::RemoteHostClosedError:
        return QAbstractSocket::RemoteHostClosedError;
    // The client aborts a request that outlives its time limit.
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QAbstractSocket::SocketTimeoutError;
    case QNetworkReply::SslHandshakeFailedError:
        return QAbstractSocket::SslHandshakeFailedError;
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::UnknownNetworkError:
        return QAbstractSocket::NetworkError;
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::UnknownProxyError:
        return QAbstractSocket::ProxyConnectionRefusedError;
    default:
        // An answer that is an HTTP error: the peer was reached.
        return QAbstractSocket::UnknownSocketError;
    }
}

QString NetworkErrorText::ofSocket(QAbstractSocket::SocketError error, const QString& host, int port, bool tls)
{
    const QString peer = peerOf(host, port);
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("адрес %1 не найден").arg(host);
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("%1 отказал в соединении").arg(peer);
    case QAbstractSocket::RemoteHostClosedError:
        return tls ? tlsFailed(peer) : QStringLiteral("%1 закрыл соединение").arg(peer);
    case QAbstractSocket::SocketTimeoutError:
        return timedOut(host, port, tls);
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return tlsFailed(peer);
    case QAbstractSocket::NetworkError:
        return QStringLiteral("сеть недоступна");
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
    case QAbstractSocket::ProxyNotFoundError:
    case QAbstractSocket::ProxyProtocolError:
    case QAbstractSocket::ProxyAuthenticationRequiredError:
        return QStringLiteral("прокси-сервер недоступен");
    default:
        return QStringLiteral("ошибка соединения с %1 (код %2)").arg(peer).arg(int(error));
    }
}

QString NetworkErrorText::ofListen(QAbstractSocket::SocketError error, int port, const QString& qtText)
{
    switch (error) {
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("порт %1 занят другой программой").arg(port);
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("нет прав открыть порт %1").arg(port);
    default:
        return QStringLiteral("порт %1 не открылся: %2").arg(port).arg(qtText);
    }
}
