// Recognised text through auto-replace and the formatter, as dictation types it.
// Input lines: "=phrase=text" adds an auto-replace rule to the shipped ones,
// "!" / "?" start a dictation with / without a capital, "~text" is a partial
// result, any other line a final result.
#include "FuzzEnvironment.h"

#include "AutoReplaceManager.h"
#include "ResultFormatter.h"
#include "ResultPart.h"
#include "UserCommandFiles.h"

#include <QCoreApplication>
#include <QDir>

#include <memory>

using FuzzEnvironment::fail;

namespace {
QList<UserCommand> systemRules;

struct State
{
    bool capitalizeNext, spaceAllowedAfterLast, spaceBeforeQuote, spaceBeforeDash;
    explicit State(const ResultFormatter& f)
        : capitalizeNext(f.capitalizeNext)
        , spaceAllowedAfterLast(f.spaceAllowedAfterLast)
        , spaceBeforeQuote(f.spaceBeforeQuote)
        , spaceBeforeDash(f.spaceBeforeDash)
    {
    }
    bool operator==(const State& o) const
    {
        return capitalizeNext == o.capitalizeNext && spaceAllowedAfterLast == o.spaceAllowedAfterLast
            && spaceBeforeQuote == o.spaceBeforeQuote && spaceBeforeDash == o.spaceBeforeDash;
    }
};

bool hasMarker(const QString& text)
{
    for (const QChar c : text) {
        if (c == QChar(ResultPart::DashMarker) || c == QChar(ResultPart::OpenQuoteMarker)
            || c == QChar(ResultPart::CloseQuoteMarker))
            return true;
    }
    return false;
}
} // namespace

void FuzzEnvironment::setUp()
{
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(UserCommandFiles::SystemRulesFileName);
    systemRules = UserCommandFiles::Load(path, nullptr, true);
    if (systemRules.isEmpty())
        fail(QStringLiteral("no system rules at ") + path);
}

extern "C" int LLVMFuzzerTestOneInput(const char* data, size_t size)
{
    if (size > 64 * 1024)
        return -1;
    const QStringList lines = FuzzEnvironment::lines(data, size);

    QList<UserCommand> rules;
    int longestRuleText = 0;
    bool inputWellFormed = true;
    for (const QString& line : lines) {
        inputWellFormed = inputWellFormed && FuzzEnvironment::wellFormed(line);
        if (!line.startsWith(QLatin1Char('=')))
            continue;
        const int split = line.indexOf(QLatin1Char('='), 1);
        UserCommand rule(UserCommandNamespace::Text);
        rule.Pattern = line.mid(1, split < 0 ? -1 : split - 1);
        rule.Text = split < 0 ? QString() : line.mid(split + 1);
        longestRuleText = std::max(longestRuleText, int(rule.Text.size()));
        rules.append(rule);
    }
    for (const UserCommand& rule : systemRules)
        longestRuleText = std::max(longestRuleText, int(rule.Text.size()));

    // Compiling the rules is the slow part: keep them while the rule lines stay the same.
    static std::unique_ptr<AutoReplaceManager> compiled;
    static QStringList compiledFrom;
    QStringList ruleLines;
    for (const UserCommand& rule : rules)
        ruleLines << rule.Pattern + QLatin1Char('=') + rule.Text;
    if (!compiled || ruleLines != compiledFrom) {
        compiled = std::make_unique<AutoReplaceManager>();
        compiled->AppendCommands(QString(), systemRules);
        compiled->AppendCommands(QString(), rules);
        compiledFrom = ruleLines;
    }
    AutoReplaceManager& replacer = *compiled;

    ResultFormatter formatter;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char('=')))
            continue;
        if (line == QLatin1String("!") || line == QLatin1String("?")) {
            formatter.reset(line == QLatin1String("!"));
            continue;
        }
        const bool isFinal = !line.startsWith(QLatin1Char('~'));
        const QString text = isFinal ? line : line.mid(1);

        const QString replaced = replacer.ProcessText(text);
        // Each replaced phrase takes at least one character of the text.
        if (replaced.size() > text.size() * (1 + longestRuleText))
            fail(QStringLiteral("auto-replace grew %1 characters to %2").arg(text.size()).arg(replaced.size()));

        const State before(formatter);
        const QString typed = formatter.formatText(replaced, isFinal);
        if (!isFinal && !(State(formatter) == before))
            fail(QStringLiteral("a partial result changed the formatter's state"));
        // A marker becomes at most two characters, a capital at most three.
        if (typed.size() > 3 * replaced.size() + 1)
            fail(QStringLiteral("formatting grew %1 characters to %2").arg(replaced.size()).arg(typed.size()));
        if (hasMarker(typed))
            fail(QStringLiteral("a marker character was typed"));
        if (inputWellFormed && !FuzzEnvironment::wellFormed(typed))
            fail(QStringLiteral("a lone surrogate was typed"));
        if (!isFinal && formatter.formatText(replaced, false) != typed)
            fail(QStringLiteral("the same partial result formatted twice differs"));
    }
    return 0;
}
