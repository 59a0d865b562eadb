#pragma once

#include "BaseElementReader.h"

class TabElementReader : public BaseElementReader
{
public:
    QString GetPostfixText() const override { return QStringLiteral("\t"); }
};
