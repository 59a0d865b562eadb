#include "ResultFormatter.h"
#include "ResultIterator.h"

#include <QtTest>

namespace {
const QString dash = QStringLiteral("\u0001");
const QString openQuote = QStringLiteral("\u0002");
const QString closeQuote = QStringLiteral("\u0003");
const QString pilcrow = QStringLiteral("\u00b6");
// Rows of result sequences mark a partial result with this prefix.
const QString partialTag = QStringLiteral("partial:");
} // namespace

class TestResultFormatter : public QObject
{
    Q_OBJECT

private slots:
    void tokens_data();
    void tokens();
    void singleFinalResult_data();
    void singleFinalResult();
    void resultSequences_data();
    void resultSequences();
    void resetStartsWithoutBlank();
};

void TestResultFormatter::tokens_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("parts");

    QTest::newRow("words and blanks") << QStringLiteral("ab  c,d") << QStringList{"ab", "  ", "c,d"};
    QTest::newRow("markers stand alone") << (QStringLiteral("a") + openQuote + closeQuote + QStringLiteral(" b"))
                                         << QStringList{"a", openQuote, closeQuote, " ", "b"};
    QTest::newRow("unicode blanks form one run") << QStringLiteral("a\u00a0\u2003\tb")
                                                 << QStringList{"a", "\u00a0\u2003\t", "b"};
    QTest::newRow("empty") << QString() << QStringList();
}

void TestResultFormatter::tokens()
{
    QFETCH(QString, text);
    QFETCH(QStringList, parts);

    ResultIterator iterator(text);
    QStringList seen;
    while (iterator.MoveNext() && !iterator.isEnded())
        seen << text.mid(iterator.current().start, iterator.current().length);
    QCOMPARE(seen, parts);
    QVERIFY(iterator.isEnded());
    QCOMPARE(iterator.current().length, 0);
    QVERIFY(!iterator.MoveNext());
}

void TestResultFormatter::singleFinalResult_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("comma and question") << QStringLiteral("привет , как дела ?") << QStringLiteral("Привет, как дела?");
    QTest::newRow("capital after full stop") << QStringLiteral("да . нет") << QStringLiteral("Да. Нет");
    QTest::newRow("capital after ! and ?") << QStringLiteral("правда ? да ! ок") << QStringLiteral("Правда? Да! Ок");
    QTest::newRow("attached full stop ends no sentence") << QStringLiteral("т.е. так") << QStringLiteral("Т.е. так");
    QTest::newRow("quote markers") << (QStringLiteral("он сказал") + openQuote + QStringLiteral("стоп") + closeQuote
                                       + QStringLiteral(" и ушёл"))
                                   << QStringLiteral("Он сказал \"стоп\" и ушёл");
    QTest::newRow("blank before a marker is dropped")
        << (QStringLiteral("слово ") + openQuote + QStringLiteral("цитата") + closeQuote)
        << QStringLiteral("Слово\"цитата\"");
    QTest::newRow("quote after full stop keeps lower case")
        << (QStringLiteral("да .") + openQuote + QStringLiteral("нет") + closeQuote)
        << QStringLiteral("Да. \"нет\"");
    QTest::newRow("hyphen glues") << QStringLiteral("а - б") << QStringLiteral("А-б");
    QTest::newRow("dash marker") << (QStringLiteral("раз") + dash + QStringLiteral(" два"))
                                 << QStringLiteral("Раз - два");
    QTest::newRow("dash marker after opening parenthesis")
        << (QStringLiteral("(") + dash + QStringLiteral(" два")) << QStringLiteral("(- два");
    QTest::newRow("pilcrow alone") << (QStringLiteral("конец ") + pilcrow + QStringLiteral(" начало"))
                                   << (QStringLiteral("Конец") + pilcrow + QStringLiteral("Начало"));
    QTest::newRow("parentheses") << QStringLiteral("текст ( скобка ) ещё") << QStringLiteral("Текст (скобка) ещё");
    QTest::newRow("slash") << QStringLiteral("и / или") << QStringLiteral("И/или");
    QTest::newRow("leading blanks of a first result") << QStringLiteral("  слово") << QStringLiteral("Слово");
    QTest::newRow("trailing blank stays") << QStringLiteral("слово ") << QStringLiteral("Слово ");
    QTest::newRow("trailing blank after hyphen goes") << QStringLiteral("слово - ") << QStringLiteral("Слово-");
    QTest::newRow("digits") << QStringLiteral("5 мг") << QStringLiteral("5 мг");
    QTest::newRow("line feed is a blank run") << QStringLiteral("а\nб") << QStringLiteral("А\nб");
    QTest::newRow("empty") << QString() << QString();
}

void TestResultFormatter::singleFinalResult()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    ResultFormatter formatter;
    QCOMPARE(formatter.formatText(text, true), expected);
}

void TestResultFormatter::resultSequences_data()
{
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("next sentence") << QStringList{"да .", "и ещё"} << QStringList{"Да.", " И ещё"};
    QTest::newRow("continued sentence") << QStringList{"да", "нет"} << QStringList{"Да", " нет"};
    QTest::newRow("no blank after hyphen") << QStringList{"да -", "нет"} << QStringList{"Да-", "нет"};
    QTest::newRow("no blank before punctuation") << QStringList{"да", ", нет"} << QStringList{"Да", ", нет"};
    QTest::newRow("partial leaves the state alone")
        << QStringList{"да .", partialTag + "и", partialTag + "и", "и ещё"}
        << QStringList{"Да.", "И", "И", " И ещё"};
    QTest::newRow("partial gets no leading blank") << QStringList{"да", partialTag + "нет"} << QStringList{"Да", "нет"};
    QTest::newRow("empty final clears the blank") << QStringList{"слово", "", "ещё"} << QStringList{"Слово", " ", "ещё"};
    QTest::newRow("empty partial") << QStringList{"слово", partialTag} << QStringList{"Слово", ""};
    QTest::newRow("leading blanks kept where allowed")
        << QStringList{"слово", "  ещё"} << QStringList{"Слово", "  ещё"};
    QTest::newRow("leading blanks dropped after hyphen")
        << QStringList{"слово -", "  ещё"} << QStringList{"Слово-", "ещё"};
    QTest::newRow("quote marker opens the next result")
        << QStringList{"он сказал", openQuote + "да" + closeQuote} << QStringList{"Он сказал", " \"да\""};
    QTest::newRow("dash marker after a full stop result")
        << QStringList{"так .", dash + " нет"} << QStringList{"Так.", " - нет"};
    QTest::newRow("pilcrow ends a result") << QStringList{"конец " + pilcrow, "начало"}
                                           << QStringList{"Конец" + pilcrow, "Начало"};
}

void TestResultFormatter::resultSequences()
{
    QFETCH(QStringList, results);
    QFETCH(QStringList, expected);

    ResultFormatter formatter;
    QStringList formatted;
    for (const QString& result : results) {
        const bool partial = result.startsWith(partialTag);
        formatted << formatter.formatText(partial ? result.mid(partialTag.size()) : result, !partial);
    }
    QCOMPARE(formatted, expected);
}

void TestResultFormatter::resetStartsWithoutBlank()
{
    ResultFormatter formatter;
    QCOMPARE(formatter.formatText(QStringLiteral("да ."), true), QStringLiteral("Да."));
    formatter.reset(false);
    QCOMPARE(formatter.formatText(QStringLiteral("нет"), true), QStringLiteral("нет"));
    formatter.reset(true);
    QCOMPARE(formatter.formatText(QStringLiteral("нет"), true), QStringLiteral("Нет"));
}

QTEST_APPLESS_MAIN(TestResultFormatter)
#include "TestResultFormatter.moc"
