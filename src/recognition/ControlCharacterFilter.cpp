#include "ControlCharacterFilter.h"

#include "ResultPart.h"

namespace {
bool isKept(char16_t c)
{
    return c == ResultPart::DashMarker || c == ResultPart::OpenQuoteMarker || c == ResultPart::CloseQuoteMarker
        || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}
} // namespace

QString ControlCharacterFilter::filter(const QString& text, int* count)
{
    int found = 0;
    QString kept;
    for (int i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (!isControl(c) || isKept(c)) {
            if (found > 0)
                kept += text.at(i);
            continue;
        }
        if (found++ == 0)
            kept = text.left(i);
        if (c == 0x0b || c == 0x0c || c == 0x85)
            kept += QLatin1Char(' ');
    }
    if (count)
        *count = found;
    return found > 0 ? kept : text;
}
