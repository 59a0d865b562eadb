#include "CookieEncoding.h"

#include <QUrl>

namespace CookieEncoding {

QByteArray encode(const QString& value)
{
    return QUrl::toPercentEncoding(value, QByteArrayLiteral("({[ ]})"), QByteArrayLiteral(";"));
}

} // namespace CookieEncoding
