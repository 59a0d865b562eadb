#pragma once

#include <QSet>
#include <QString>

// One token of a recognition result and the blanks and capitals it allows
// around it, judged from its first and last character only.
class ResultPart
{
public:
    // Start 0, length 0; blanks allowed on both sides, no quote or dash blank.
    ResultPart();
    ResultPart(const QString& text, int start, int length);

    int start = 0;
    int length = 0;
    bool isSpace = false;
    bool isEndOfSentence = false;
    // A blank may stand before this part.
    bool spaceBefore = true;
    // A blank may follow this part.
    bool spaceAfter = true;
    // An opening quote or a dash marker right after this part takes a blank.
    bool spaceBeforeQuote = false;
    bool spaceBeforeDash = false;

    static const ResultPart Empty;
    static const QSet<QChar> NoSpaceBeforeSymbols;
    static const QSet<QChar> NoSpaceAfterSymbols;
    static const QSet<QChar> EndOfSentenceSymbols;

    // Markers the server puts into its text instead of typographic characters.
    static constexpr char16_t DashMarker = 0x0001;
    static constexpr char16_t OpenQuoteMarker = 0x0002;
    static constexpr char16_t CloseQuoteMarker = 0x0003;
    static constexpr char16_t Pilcrow = 0x00b6;
};
