#include "AutoReplaceManager.h"

#include "ASRSettings.h"
#include "AsrManager.h"
#include "Exception.h"
#include "UserCommandsManager.h"

#include <QMutexLocker>
#include <QRegularExpressionMatchIterator>
#include <QtDebug>

#include <algorithm>

AutoReplaceManager::AutoReplaceManager(QObject* parent)
    : QObject(parent)
{
}

AutoReplaceManager::~AutoReplaceManager() = default;

QRegularExpression AutoReplaceManager::CreateRegexp(const QString& pattern)
{
    QStringList words;
    for (const QString& word : pattern.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words.append(QRegularExpression::escape(word));
    const QString joined = words.join(QStringLiteral("[.,!:;?\\-\\s]+"));
    QRegularExpression regexp(QStringLiteral("(\\W|^|\\G)(?<Z>") + joined + QStringLiteral(")(\\W|$)"),
                              QRegularExpression::CaseInsensitiveOption
                                  | QRegularExpression::UseUnicodePropertiesOption);
    regexp.optimize();
    return regexp;
}

bool AutoReplaceManager::compile(const Info& info)
{
    const QString normalized = UserCommand::NormalizePattern(info.pattern);
    const QStringList words = normalized.toCaseFolded().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // A phrase of blanks only would match between any two words.
    if (words.isEmpty()) {
        qWarning() << "Auto-replace rule without a phrase skipped";
        return false;
    }
    const QRegularExpression regexp = CreateRegexp(normalized);
    if (!regexp.isValid()) {
        // The phrase is the user's: its size is enough to tell rules apart.
        qInfo().noquote() << QStringLiteral("Error while create regexp: a phrase of %1 characters").arg(info.pattern.size());
        return false;
    }
    compiledRules.insert(info, Rule{regexp, words, int(regexp.namedCaptureGroups().indexOf(QStringLiteral("Z")))});
    return true;
}

quint64 AutoReplaceManager::startKey(const QChar* text, int length)
{
    return length == 1 ? (quint64(1) << 32) | text[0].unicode() : (quint64(text[0].unicode()) << 16) | text[1].unicode();
}

void AutoReplaceManager::publishRules()
{
    auto published = std::make_shared<Matcher>();
    published->rules.reserve(compiledRules.size());
    for (auto rule = compiledRules.cbegin(); rule != compiledRules.cend(); ++rule) {
        const QString& first = rule.value().words.first();
        published->byStart.insert(startKey(first.constData(), std::min(2, int(first.size()))), published->rules.size());
        published->rules.append(Matcher::Compiled{rule.key(), rule.value()});
    }
    matcher = published;
}

void AutoReplaceManager::AppendCommands(const QString& themeId, const QList<UserCommand>& commands)
{
    const bool usePunctuation = ASRSettings().UsePunctuation;
    QMutexLocker locker(&mutex);
    for (const UserCommand& command : commands) {
        if (command.Type != UserCommandNamespace::Text)
            continue;
        // The server puts in the punctuation itself then.
        if (usePunctuation && command.IsPunctuation)
            continue;
        const Info info{command.Pattern, command.Text};
        rulesByTheme.insert(themeId, info);
        compiledRules.remove(info);
        compile(info);
    }
    publishRules();
}

QList<AutoReplaceManager::Entry> AutoReplaceManager::Process(const QString& text)
{
    std::shared_ptr<const Matcher> rules;
    {
        QMutexLocker locker(&mutex);
        rules = matcher;
    }
    if (!rules)
        return QList<Entry>();

    // Running every rule over every text is the slow part. A phrase can only
    // begin at the start or after a character that is no letter or digit, so
    // find the rules whose phrase begins at such a place, and the first place.
    const QString folded = text.toCaseFolded();
    QVector<int> firstPlace(rules->rules.size(), -1);
    if (folded.size() == text.size()) {
        for (int position = 0; position < folded.size(); ++position) {
            if (position > 0 && text.at(position - 1).isLetterOrNumber())
                continue;
            for (int keyLength = 1; keyLength <= 2 && position + keyLength <= folded.size(); ++keyLength) {
                const quint64 key = startKey(folded.constData() + position, keyLength);
                for (auto found = rules->byStart.constFind(key); found != rules->byStart.constEnd() && found.key() == key;
                     ++found) {
                    const int index = found.value();
                    if (firstPlace[index] < 0
                        && QStringView(folded).mid(position).startsWith(rules->rules[index].rule.words.first()))
                        firstPlace[index] = position;
                }
            }
        }
    } else {
        firstPlace.fill(0);
    }

    QList<Entry> entries;
    for (int index = 0; index < rules->rules.size(); ++index) {
        const int position = firstPlace[index];
        if (position < 0)
            continue;
        const Matcher::Compiled& compiled = rules->rules[index];
        const QStringList& words = compiled.rule.words;
        if (!std::all_of(words.cbegin() + 1, words.cend(), [&folded](const QString& word) { return folded.contains(word); }))
            continue;
        // Starting on the character ahead of the phrase is safe only when the
        // phrase cannot itself begin on such a character.
        const int offset = position > 0 && words.first().at(0).isLetterOrNumber() ? position - 1 : 0;
        QRegularExpressionMatchIterator matches = compiled.rule.regexp.globalMatch(text, offset);
        while (matches.hasNext()) {
            const QRegularExpressionMatch match = matches.next();
            entries.append(Entry{compiled.info.pattern, compiled.info.text, match.capturedStart(compiled.rule.phraseGroup),
                                 match.capturedLength(compiled.rule.phraseGroup)});
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.start < b.start; });
    return entries;
}

QList<AutoReplaceManager::Entry> AutoReplaceManager::GetTextAndCommands(const QList<Entry>& entries)
{
    QList<Entry> kept;
    int end = 0;
    for (const Entry& entry : entries) {
        if (entry.start < end)
            continue;
        kept.append(entry);
        end = entry.start + entry.length;
    }
    return kept;
}

QString AutoReplaceManager::ProcessText(QString text)
{
    const QList<Entry> entries = GetTextAndCommands(Process(text));
    for (auto entry = entries.crbegin(); entry != entries.crend(); ++entry)
        text.replace(entry->start, entry->length, entry->text);
    return text;
}

void AutoReplaceManager::clearRules()
{
    QMutexLocker locker(&mutex);
    rulesByTheme.clear();
    compiledRules.clear();
    publishRules();
    currentThemeId.clear();
}

void AutoReplaceManager::set_Managers(AsrManager* asr, UserCommandsManager* userCommands)
{
    {
        QMutexLocker locker(&mutex);
        if (managersSet)
            throw Exception(QStringLiteral("AutoReplaceManager: Managers already set"));
        managersSet = true;
        asrManager = asr;
        userCommandsManager = userCommands;
    }
    if (userCommands)
        connect(userCommands, &UserCommandsManager::CommandsChanged, this, &AutoReplaceManager::RefreshAllTextCommands);
    if (asr)
        connect(asr, &AsrManager::selectedThemeChanged, this, &AutoReplaceManager::asrThemeChanged);
    RefreshAllTextCommands();
}

void AutoReplaceManager::OnRecognitionSettingsChanged()
{
    if (asrManager)
        asrManager->stopRecognition();
    RefreshAllTextCommands();
}

void AutoReplaceManager::RefreshAllTextCommands()
{
    // Results wait on the mutex meanwhile, so none sees a half-built rule set.
    QMutexLocker locker(&mutex);
    clearRules();
    AppendThemeCommands(QString());
    asrThemeChanged();
}

void AutoReplaceManager::AppendThemeCommands(const QString& themeId)
{
    if (userCommandsManager)
        AppendCommands(themeId, userCommandsManager->get_ThemeCommands(themeId));
}

void AutoReplaceManager::asrThemeChanged()
{
    QMutexLocker locker(&mutex);
    if (!currentThemeId.isEmpty()) {
        // values() lists the latest rule first: the common rule that was in force.
        const QList<Info> common = rulesByTheme.values(QString());
        for (const Info& themeRule : rulesByTheme.values(currentThemeId)) {
            compiledRules.remove(themeRule);
            const auto restored = std::find(common.cbegin(), common.cend(), themeRule);
            if (restored != common.cend())
                compile(*restored);
        }
        rulesByTheme.remove(currentThemeId);
        currentThemeId.clear();
    }
    if (asrManager) {
        const ClientThemeInfo selected = asrManager->getSelectedTheme();
        if (!selected.id().isEmpty()) {
            currentThemeId = selected.themeId();
            AppendThemeCommands(currentThemeId);
        }
    }
    publishRules();
}
