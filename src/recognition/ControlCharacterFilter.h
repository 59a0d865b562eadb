#pragma once

#include <QString>

// Recognised text holds no control characters but the formatter's dash and
// quote markers, tab and the line ends: any other would be typed as an
// editing key (BackSpace, Delete, Escape) into the document. Those the
// formatter takes for blanks (vertical tab, form feed, next line) become one.
// A plain function holder, used in any thread.
class ControlCharacterFilter
{
public:
    // The text without them; *count (when given) gets how many there were.
    static QString filter(const QString& text, int* count = nullptr);
};
