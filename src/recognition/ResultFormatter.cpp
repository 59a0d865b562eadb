#include "ResultFormatter.h"

#include "ControlCharacterFilter.h"
#include "ResultIterator.h"

#include <QDebug>

namespace {
void appendCapitalised(QString& out, const QString& text, const ResultPart& part)
{
    int head = 1;
    if (part.length > 1 && text.at(part.start).isHighSurrogate() && text.at(part.start + 1).isLowSurrogate())
        head = 2;
    out += text.mid(part.start, head).toUpper();
    out += QStringView(text).mid(part.start + head, part.length - head);
}
} // namespace

void ResultFormatter::reset(bool capitalizeFirst)
{
    capitalizeNext = capitalizeFirst;
    spaceAllowedAfterLast = false;
    // A dash or quote opening a dictation is typed where the user put the cursor.
    spaceBeforeQuote = false;
    spaceBeforeDash = false;
}

QString ResultFormatter::formatText(const QString& source, bool isFinal)
{
    int controls = 0;
    const QString text = ControlCharacterFilter::filter(source, &controls);
    // Only the count: the text is the patient's.
    if (isFinal && controls > 0)
        qInfo().noquote() << QStringLiteral("Recognised text: %1 control characters left out").arg(controls);
    QString out;
    out.reserve(text.size() + 8);
    ResultIterator parts(text);
    parts.MoveNext();
    ResultPart part = parts.current();

    bool capitalise = capitalizeNext;
    bool prevSpaceAfter = spaceAllowedAfterLast;
    bool quoteBlank = spaceBeforeQuote;
    bool dashBlank = spaceBeforeDash;

    if (isFinal && spaceAllowedAfterLast && part.spaceBefore) {
        out += QLatin1Char(' ');
        quoteBlank = false;
        dashBlank = false;
        prevSpaceAfter = false;
    }

    bool isReal = !parts.isEnded();
    while (isReal) {
        parts.MoveNext();
        const ResultPart& next = parts.current();
        const QChar first = text.at(part.start);
        if (part.isSpace) {
            if (prevSpaceAfter && next.spaceBefore)
                out += QStringView(text).mid(part.start, part.length);
        } else {
            if (first == QChar(ResultPart::OpenQuoteMarker))
                out += quoteBlank ? QLatin1String(" \"") : QLatin1String("\"");
            else if (first == QChar(ResultPart::CloseQuoteMarker))
                out += QLatin1Char('"');
            else if (first == QChar(ResultPart::DashMarker))
                out += dashBlank ? QLatin1String(" -") : QLatin1String("-");
            else if (capitalise)
                appendCapitalised(out, text, part);
            else
                out += QStringView(text).mid(part.start, part.length);
            capitalise = part.isEndOfSentence;
        }
        prevSpaceAfter = part.spaceAfter;
        quoteBlank = part.spaceBeforeQuote;
        dashBlank = part.spaceBeforeDash;

        isReal = !parts.isEnded();
        part = next;
    }

    if (isFinal) {
        capitalizeNext = capitalise;
        spaceAllowedAfterLast = prevSpaceAfter;
        spaceBeforeQuote = quoteBlank;
        spaceBeforeDash = dashBlank;
    }
    return out;
}
