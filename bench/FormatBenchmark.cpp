// Auto-replaces and formats 10,000 recognition results of 200 characters with
// 500 rules, the work done for every result before it is typed, and prints the
// time per result. Needs no display.

#include "AutoReplaceManager.h"
#include "ResultFormatter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

namespace {
constexpr int ruleCount = 500;
constexpr int resultCount = 10000;
constexpr int resultLength = 200;

const QStringList clinicalWords = QStringLiteral(
    "пациент жалобы боль грудной клетке одышка слабость давление пульс сатурация назначено анализ крови "
    "контроль часа диагноз стенокардия класс рекомендовано ограничить нагрузку осмотр завтра температура "
    "кашель хрипы живот мягкий безболезненный печень селезёнка отёки стул диурез сознание ясное кожные "
    "покровы обычной окраски тоны сердца ритмичные дыхание везикулярное язык влажный лимфоузлы")
                                      .split(QLatin1Char(' '));

QString randomWords(QRandomGenerator& random, const QStringList& words, int count)
{
    QStringList picked;
    for (int i = 0; i < count; ++i)
        picked << words.at(random.bounded(words.size()));
    return picked.join(QLatin1Char(' '));
}

// Made-up words of Cyrillic syllables, so the phrases are many and distinct.
QStringList syllableWords(QRandomGenerator& random, int count)
{
    const QStringList syllables = QStringLiteral("ка ро ми ну ле та зо вы пе ди гу со ба ры жи фо ще ля").split(' ');
    QStringList words;
    while (words.size() < count) {
        QString word;
        for (int n = 2 + random.bounded(3); n > 0; --n)
            word += syllables.at(random.bounded(syllables.size()));
        words << word;
    }
    return words;
}

QList<UserCommand> makeRules(QRandomGenerator& random, const QStringList& words)
{
    QList<UserCommand> rules;
    for (int i = 0; i < ruleCount; ++i) {
        UserCommand rule(UserCommandNamespace::Text);
        rule.Pattern = randomWords(random, words, 1 + random.bounded(3));
        rule.Text = QStringLiteral("замена %1").arg(i);
        rules << rule;
    }
    return rules;
}

// Dictated text of the given words with some punctuation, and `phrases` rule phrases mixed in.
QStringList makeResults(QRandomGenerator& random, const QStringList& words, const QList<UserCommand>& rules, int phrases)
{
    const QStringList punctuation{QStringLiteral(","), QStringLiteral("."), QStringLiteral("?"), QStringLiteral("\u0001")};
    QStringList results;
    for (int i = 0; i < resultCount; ++i) {
        QStringList parts;
        int length = 0;
        int placed = 0;
        while (length < resultLength) {
            QString part = placed < phrases && random.bounded(4) == 0 ? rules.at(random.bounded(rules.size())).Pattern
                                                                      : randomWords(random, words, 1);
            placed += part.contains(QLatin1Char(' ')) || !words.contains(part) ? 1 : 0;
            if (random.bounded(6) == 0)
                part += QLatin1Char(' ') + punctuation.at(random.bounded(punctuation.size()));
            length += part.size() + 1;
            parts << part;
        }
        results << parts.join(QLatin1Char(' ')).left(resultLength);
    }
    return results;
}

struct Figures
{
    double perResultMs;
    double formatOnlyMs;
    qint64 compileMs;
};

Figures run(const QList<UserCommand>& rules, const QStringList& results)
{
    AutoReplaceManager autoReplace;
    QElapsedTimer timer;
    timer.start();
    autoReplace.AppendCommands(QString(), rules);
    const qint64 compileMs = timer.elapsed();

    ResultFormatter formatter;
    qint64 characters = 0;
    timer.restart();
    for (const QString& result : results)
        characters += formatter.formatText(autoReplace.ProcessText(result), true).size();
    const qint64 totalNs = timer.nsecsElapsed();

    timer.restart();
    for (const QString& result : results)
        characters += formatter.formatText(result, true).size();
    const qint64 formatNs = timer.nsecsElapsed();
    Q_UNUSED(characters)
    return Figures{totalNs / 1e6 / results.size(), formatNs / 1e6 / results.size(), compileMs};
}
} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    out << ruleCount << " rules, " << resultCount << " results of " << resultLength << " characters\n";

    QRandomGenerator random(20240611);
    // Every word of the text starts some rule: most rules must be run over every result.
    const QList<UserCommand> denseRules = makeRules(random, clinicalWords);
    const Figures dense = run(denseRules, makeResults(random, clinicalWords, denseRules, 0));
    // Distinct phrases; each result holds a couple of them among ordinary words.
    const QList<UserCommand> typicalRules = makeRules(random, syllableWords(random, 400));
    const Figures typical = run(typicalRules, makeResults(random, clinicalWords, typicalRules, 2));

    for (const auto& row : {qMakePair(QStringLiteral("dense"), dense), qMakePair(QStringLiteral("typical"), typical)}) {
        out << row.first << ": auto-replace and format " << QString::number(row.second.perResultMs, 'f', 4)
            << " ms per result (format alone " << QString::number(row.second.formatOnlyMs, 'f', 4)
            << " ms; rules compiled in " << row.second.compileMs << " ms)\n";
    }
    return 0;
}
