#pragma once

#include <QString>

// What one OpenDocument text element contributes around its content.
class BaseElementReader
{
public:
    virtual ~BaseElementReader() = default;

    virtual QString GetPrefixText() const { return QString(); }
    virtual QString GetPostfixText() const { return QString(); }
};
