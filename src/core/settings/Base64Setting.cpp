#include "Base64Setting.h"

#include <QByteArray>

Base64Setting::Base64Setting(Settings* owner, const QString& key, const QString& plainDefault)
    : Setting<QString>(owner, key, encode(plainDefault))
{
}

Base64Setting::~Base64Setting() = default;

Base64Setting& Base64Setting::operator=(const QString& newValue)
{
    ChangeValue(encode(newValue));
    return *this;
}

QVariant Base64Setting::value() const
{
    return decode(typedValue());
}

QString Base64Setting::encode(const QString& text)
{
    return QString::fromLatin1(text.toUtf8().toBase64());
}

QString Base64Setting::decode(const QString& encoded)
{
    const QByteArray bytes = QByteArray::fromBase64(encoded.toLatin1());
    const int zero = bytes.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? bytes : bytes.left(zero));
}
