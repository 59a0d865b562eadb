#pragma once

#include "Setting.h"

// A text setting stored as the Base64 encoding of its UTF-8 bytes.
class Base64Setting : public Setting<QString>
{
public:
    // The default is given in plain text and held in its encoded form.
    Base64Setting(Settings* owner, const QString& key, const QString& plainDefault);
    ~Base64Setting() override;

    Base64Setting& operator=(const QString& newValue) override;
    QVariant value() const override;

    static QString encode(const QString& text);
    static QString decode(const QString& encoded);
};
