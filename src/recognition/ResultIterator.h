#pragma once

#include "ResultPart.h"

#include <QString>

// Splits a recognition result into parts: runs of blanks, runs of other
// characters, and each marker on its own. After the last part it yields
// ResultPart::Empty once.
class ResultIterator
{
public:
    enum CharType { Whitespace = 0, Marker = 1, Other = 2 };

    explicit ResultIterator(const QString& text);

    static int GetCharType(QChar c);

    // False once the closing empty part was handed out.
    bool MoveNext();
    const ResultPart& current() const { return part; }
    bool isEnded() const { return ended; }

private:
    QString text;
    int position = 0;
    bool ended = false;
    ResultPart part;
};
