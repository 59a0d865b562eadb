#include "ASRSettings.h"
#include "AutoReplaceManager.h"
#include "TestHome.h"
#include "UserCommandFixtures.h"

#include <QtTest>

Q_DECLARE_METATYPE(UserCommand)

namespace {
UserCommand rule(const QString& pattern, const QString& text, bool isPunctuation = false)
{
    UserCommand command = UserCommandFixtures::text(pattern, text);
    command.IsPunctuation = isPunctuation;
    return command;
}
} // namespace

class TestAutoReplace : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void wholeWordMatching_data();
    void wholeWordMatching();
    void matchOrder_data();
    void matchOrder();
    void laterRuleWins();
    void onlyTextCommandsApply();
    void punctuationRulesGiveWayToServerPunctuation();
    void blankPatternIsSkipped();
    void shortcutsFindEveryMatch();
};

void TestAutoReplace::initTestCase()
{
    TestHome::wipe();
    TestHome::useApplicationIdentity();
}

void TestAutoReplace::init()
{
    ASRSettings settings;
    settings.UsePunctuation = false;
    settings.sync();
}

void TestAutoReplace::wholeWordMatching_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString line = QStringLiteral("новая строка");
    QTest::newRow("plain") << line << "¶" << "раз новая строка два" << "раз ¶ два";
    QTest::newRow("any case") << line << "¶" << "Новая СТРОКА" << "¶";
    QTest::newRow("punctuation between words") << line << "¶" << "Новая, строка." << "¶.";
    QTest::newRow("words glued") << line << "¶" << "новаястрока" << "новаястрока";
    QTest::newRow("inside a longer word") << line << "¶" << "обновая строка" << "обновая строка";
    QTest::newRow("prefix of a word") << "кот" << "кошка" << "котёнок кот" << "котёнок кошка";
    QTest::newRow("stored pattern is normalised") << "  Точка " << "." << "конец точка" << "конец .";
    QTest::newRow("two occurrences one blank apart") << "точка" << "." << "точка точка" << ". .";
    QTest::newRow("replacement kept as written") << "мг" << "mg" << "5 МГ" << "5 mg";
    QTest::newRow("pattern characters are literal") << "c++" << "cpp" << "c++ cxx" << "cpp cxx";
    QTest::newRow("no match") << "точка" << "." << "запятая" << "запятая";
    QTest::newRow("phrase of non-letters") << "--" << "=" << "a---x" << "a---x";
}

void TestAutoReplace::wholeWordMatching()
{
    QFETCH(QString, pattern);
    QFETCH(QString, replacement);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    AutoReplaceManager manager;
    manager.AppendCommands(QString(), {rule(pattern, replacement)});
    QCOMPARE(manager.ProcessText(text), expected);
}

void TestAutoReplace::matchOrder_data()
{
    QTest::addColumn<QList<UserCommand>>("rules");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("earlier start wins an overlap")
        << QList<UserCommand>{rule("я б", "1"), rule("б в", "2")} << "я б в" << "1 в";
    QTest::newRow("shorter pattern wins at equal starts")
        << QList<UserCommand>{rule("точка с запятой", ";"), rule("точка", ".")} << "точка с запятой" << ". с запятой";
    QTest::newRow("several rules") << QList<UserCommand>{rule("запятая", ","), rule("точка", ".")}
                                   << "раз запятая два точка" << "раз , два .";
}

void TestAutoReplace::matchOrder()
{
    QFETCH(QList<UserCommand>, rules);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    AutoReplaceManager manager;
    manager.AppendCommands(QString(), rules);
    QCOMPARE(manager.ProcessText(text), expected);
}

void TestAutoReplace::laterRuleWins()
{
    AutoReplaceManager manager;
    manager.AppendCommands(QString(), {rule("икс", "1"), rule("икс", "2")});
    QCOMPARE(manager.ProcessText("икс"), QStringLiteral("2"));
    manager.AppendCommands(QStringLiteral("theme"), {rule("икс", "3")});
    QCOMPARE(manager.ProcessText("икс"), QStringLiteral("3"));
}

void TestAutoReplace::onlyTextCommandsApply()
{
    UserCommand key(UserCommandNamespace::Key);
    key.Pattern = QStringLiteral("сохранить");
    key.Text = QStringLiteral("Ctrl+s");
    AutoReplaceManager manager;
    manager.AppendCommands(QString(), {key});
    QCOMPARE(manager.ProcessText("сохранить"), QStringLiteral("сохранить"));
}

void TestAutoReplace::punctuationRulesGiveWayToServerPunctuation()
{
    const QList<UserCommand> rules{rule("точка", ".", true), rule("новая строка", "¶")};
    {
        AutoReplaceManager manager;
        manager.AppendCommands(QString(), rules);
        QCOMPARE(manager.ProcessText("да точка новая строка"), QStringLiteral("да . ¶"));
    }
    ASRSettings settings;
    settings.UsePunctuation = true;
    settings.sync();
    AutoReplaceManager manager;
    manager.AppendCommands(QString(), rules);
    QCOMPARE(manager.ProcessText("да точка новая строка"), QStringLiteral("да точка ¶"));
}

void TestAutoReplace::blankPatternIsSkipped()
{
    AutoReplaceManager manager;
    manager.AppendCommands(QString(), {rule("   ", "X"), rule(QString(), "Y")});
    QCOMPARE(manager.ProcessText("раз два"), QStringLiteral("раз два"));
    QVERIFY(manager.Process("раз два").isEmpty());
}

void TestAutoReplace::shortcutsFindEveryMatch()
{
    // Rules are skipped or started late when the text cannot hold them: compare
    // with every rule run over the whole text.
    const QStringList words{"ёж", "Ёлка", "а", "ab", "AB", "новая", "строка", "кот", "котёнок", "İi", "ΣΑΣ", "σας", "x", "--", "-", "+7", "_a"};
    const QStringList separators{" ", ", ", " - ", ".", "", "\u00a0", "!"};
    QRandomGenerator random(7);
    auto pick = [&random](const QStringList& list) { return list.at(random.bounded(list.size())); };

    QList<UserCommand> rules;
    for (int i = 0; i < 40; ++i) {
        QString pattern = pick(words);
        for (int n = random.bounded(3); n > 0; --n)
            pattern += " " + pick(words);
        rules << rule(pattern, QString::number(i));
    }
    AutoReplaceManager manager;
    manager.AppendCommands(QString(), rules);
    QMap<QString, QRegularExpression> reference;
    for (const UserCommand& command : rules)
        reference.insert(command.Pattern, AutoReplaceManager::CreateRegexp(UserCommand::NormalizePattern(command.Pattern)));

    for (int round = 0; round < 300; ++round) {
        QString text;
        for (int n = random.bounded(12); n >= 0; --n)
            text += pick(words) + pick(separators);
        QStringList expected;
        for (auto regexp = reference.cbegin(); regexp != reference.cend(); ++regexp) {
            auto matches = regexp.value().globalMatch(text);
            while (matches.hasNext()) {
                const auto match = matches.next();
                expected << QStringLiteral("%1@%2+%3").arg(regexp.key()).arg(match.capturedStart("Z")).arg(match.capturedLength("Z"));
            }
        }
        QStringList found;
        for (const AutoReplaceManager::Entry& entry : manager.Process(text))
            found << QStringLiteral("%1@%2+%3").arg(entry.pattern).arg(entry.start).arg(entry.length);
        expected.sort();
        found.sort();
        QCOMPARE(found, expected);
    }
}

QTEST_GUILESS_MAIN(TestAutoReplace)
#include "TestAutoReplace.moc"
