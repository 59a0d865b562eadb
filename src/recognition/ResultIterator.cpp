#include "ResultIterator.h"

ResultIterator::ResultIterator(const QString& text)
    : text(text)
{
}

int ResultIterator::GetCharType(QChar c)
{
    const ushort code = c.unicode();
    if (code >= ResultPart::DashMarker && code <= ResultPart::CloseQuoteMarker)
        return Marker;
    return c.isSpace() ? Whitespace : Other;
}

bool ResultIterator::MoveNext()
{
    if (position >= text.size()) {
        if (ended)
            return false;
        part = ResultPart::Empty;
        ended = true;
        return true;
    }
    const int type = GetCharType(text.at(position));
    int end = position + 1;
    if (type != Marker) {
        while (end < text.size() && GetCharType(text.at(end)) == type)
            ++end;
    }
    part = ResultPart(text, position, end - position);
    position = end;
    return true;
}
