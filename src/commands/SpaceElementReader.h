#pragma once

#include "BaseElementReader.h"

// One blank per space element; its repeat count is not read.
class SpaceElementReader : public BaseElementReader
{
public:
    QString GetPostfixText() const override { return QStringLiteral(" "); }
};
