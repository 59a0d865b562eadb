#pragma once

#include "BaseElementReader.h"

// Paragraphs, headings and line breaks end a line.
class ParagraphElementReader : public BaseElementReader
{
public:
    QString GetPostfixText() const override { return QStringLiteral("\r\n"); }
};
