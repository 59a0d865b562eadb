#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkCookie>
#include <QString>

// The text the first cookie of that name carries, percent-decoded as UTF-8;
// a null string when there is none.
inline QString cookieText(const QList<QNetworkCookie>& cookies, const QByteArray& name)
{
    for (const QNetworkCookie& cookie : cookies) {
        if (cookie.name() == name)
            return QString::fromUtf8(QByteArray::fromPercentEncoding(cookie.value()));
    }
    return QString();
}
