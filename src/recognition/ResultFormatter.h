#pragma once

#include <QString>

class ResultPart;

// Turns recognised tokens into typed prose: drops the blanks punctuation
// forbids, capitalises after sentence ends, renders the dash and quote markers,
// leaves out other control characters.
// Final results carry the state to the next one so that they join; partial
// results are formatted from the state without changing it.
class ResultFormatter
{
public:
    QString formatText(const QString& text, bool isFinal);
    // A new dictation: no leading blank, not even before a dash or quote;
    // a capital when asked for.
    void reset(bool capitalizeFirst);

    bool capitalizeNext = true;
    bool spaceAllowedAfterLast = false;
    bool spaceBeforeQuote = true;
    bool spaceBeforeDash = true;
};
