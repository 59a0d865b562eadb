#pragma once

#include <QByteArray>
#include <QString>

// Cookie values go out percent-encoded in UTF-8; "(", "{", "[", " ", "]", "}" and ")"
// stay as they are and ";" is always encoded.
namespace CookieEncoding {
QByteArray encode(const QString& value);
}
