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
        if (cookie.name() == name) {
            const QByteArray bytes = QByteArray::fromPercentEncoding(cookie.value());
            // With its size: a text may hold U+0000.
            const QString text = QString::fromUtf8(bytes.constData(), bytes.size());
            return text.isNull() ? QStringLiteral("") : text; // an empty value is still a cookie
        }
    }
    return QString();
}
