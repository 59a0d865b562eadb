#include "ResultPart.h"

namespace {
QChar charAt(const QString& text, int index)
{
    return index >= 0 && index < text.size() ? text.at(index) : QChar(0);
}

bool isOneOf(QChar c, std::initializer_list<QChar::Category> categories)
{
    const QChar::Category category = c.category();
    for (QChar::Category one : categories) {
        if (category == one)
            return true;
    }
    return false;
}
} // namespace

const ResultPart ResultPart::Empty;

const QSet<QChar> ResultPart::NoSpaceBeforeSymbols{
    QLatin1Char('-'), QLatin1Char('\n'), QChar(Pilcrow), QChar(CloseQuoteMarker), QChar(DashMarker),
    QChar(OpenQuoteMarker)};
const QSet<QChar> ResultPart::NoSpaceAfterSymbols{
    QLatin1Char('-'), QLatin1Char('\\'), QLatin1Char('/'), QLatin1Char('\n'), QChar(Pilcrow), QChar(OpenQuoteMarker)};
const QSet<QChar> ResultPart::EndOfSentenceSymbols{
    QLatin1Char('.'), QLatin1Char('!'), QLatin1Char('?'), QLatin1Char('\n'), QChar(Pilcrow)};

ResultPart::ResultPart() = default;

ResultPart::ResultPart(const QString& text, int start, int length)
    : start(start)
    , length(length)
{
    const QChar first = charAt(text, start);
    const QChar last = charAt(text, start + length - 1);
    if (first.isSpace()) {
        isSpace = true;
        spaceBefore = false;
        spaceAfter = false;
        return;
    }
    spaceBefore = !isOneOf(first, {QChar::Separator_Space, QChar::Punctuation_Connector, QChar::Punctuation_Close,
                                   QChar::Punctuation_FinalQuote, QChar::Punctuation_Other})
        && !NoSpaceBeforeSymbols.contains(first);
    spaceAfter = !isOneOf(last, {QChar::Separator_Space, QChar::Punctuation_Open, QChar::Punctuation_InitialQuote})
        && !NoSpaceAfterSymbols.contains(last);
    isEndOfSentence = length == 1 && EndOfSentenceSymbols.contains(first);
    spaceBeforeQuote = !isOneOf(last, {QChar::Separator_Space, QChar::Punctuation_Open}) && last != QChar(Pilcrow);
    spaceBeforeDash = spaceBeforeQuote;
}
