#include "ResultFormatter.h"

#include <QtTest>

class TestResultFormatter : public QObject
{
    Q_OBJECT

private slots:
    void format_data();
    void format();
};

void TestResultFormatter::format_data()
{
    // Results in the order received, a partial one marked "~", "|" a new dictation;
    // U+0001 is the dash, U+0002/U+0003 the quotes.
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QStringList>("expected");

    const QString dash = QStringLiteral("\u0001");
    const QString open = QStringLiteral("\u0002");
    const QString close = QStringLiteral("\u0003");
    auto one = [](const QString& result, const QString& expected) {
        QTest::newRow(qPrintable(expected.isEmpty() ? QStringLiteral("empty") : expected)) << QStringList{result} << QStringList{expected};
    };
    one("привет , как дела ?", "Привет, как дела?");
    one("да . нет ! ок ? так", "Да. Нет! Ок? Так");
    one("т.е. так", "Т.е. так");
    one("он сказал" + open + "стоп" + close + " и ушёл", "Он сказал \"стоп\" и ушёл");
    one("слово " + open + "цитата" + close, "Слово\"цитата\"");
    one("да ." + open + "нет" + close, "Да. \"нет\"");
    one("а - б", "А-б");
    one("раз" + dash + " два", "Раз - два");
    one("(" + dash + " два", "(- два");
    one("конец ¶ начало", "Конец¶Начало");
    one("текст ( скобка ) и / или", "Текст (скобка) и/или");
    one("  слово", "Слово");
    one("слово - ", "Слово-");
    one("а\nб", "А\nб");
    one("", "");
    QTest::newRow("next sentence") << QStringList{"да .", "и ещё"} << QStringList{"Да.", " И ещё"};
    QTest::newRow("continued sentence") << QStringList{"да", "нет"} << QStringList{"Да", " нет"};
    QTest::newRow("no blank after hyphen") << QStringList{"да -", "нет"} << QStringList{"Да-", "нет"};
    QTest::newRow("no blank before punctuation") << QStringList{"да", ", нет"} << QStringList{"Да", ", нет"};
    QTest::newRow("partial leaves the state alone")
        << QStringList{"да .", "~и", "~и", "и ещё"} << QStringList{"Да.", "И", "И", " И ещё"};
    QTest::newRow("partial gets no leading blank") << QStringList{"да", "~нет"} << QStringList{"Да", "нет"};
    QTest::newRow("empty final clears the blank") << QStringList{"слово", "", "ещё"} << QStringList{"Слово", " ", "ещё"};
    QTest::newRow("leading blanks kept") << QStringList{"слово", "  ещё"} << QStringList{"Слово", "  ещё"};
    QTest::newRow("quote opens the next result") << QStringList{"он сказал", open + "да" + close}
                                                 << QStringList{"Он сказал", " \"да\""};
    QTest::newRow("dash after a full stop") << QStringList{"так .", dash + " нет"} << QStringList{"Так.", " - нет"};
    QTest::newRow("dash opens a dictation") << QStringList{"|", dash + " нет"} << QStringList{"- нет"};
    QTest::newRow("quote opens a dictation after another")
        << QStringList{"так .", "|", open + "да" + close} << QStringList{"Так.", "\"да\""};
    QTest::newRow("pilcrow ends a result") << QStringList{"конец ¶", "начало"} << QStringList{"Конец¶", "Начало"};
    // No control character but the markers, tab and the line ends gets through;
    // those taken for blanks stay blanks.
    QTest::newRow("editing keys left out")
        << QStringList{QStringLiteral("\u0008\u0008привет\u007f , как\u001b дела \u009b?\u0000")}
        << QStringList{"Привет, как дела?"};
    QTest::newRow("blank controls") << QStringList{QStringLiteral("да\u000bнет\u0085ок")} << QStringList{"Да нет ок"};
    QTest::newRow("tab and carriage return are blanks") << QStringList{"а\tб\rв\t,\tг"} << QStringList{"А\tб\rв,\tг"};
}

void TestResultFormatter::format()
{
    QFETCH(QStringList, results);
    ResultFormatter formatter;
    QStringList formatted;
    for (const QString& result : results) {
        if (result == QLatin1String("|")) {
            formatter.reset(true);
            continue;
        }
        const bool partial = result.startsWith(QLatin1Char('~'));
        formatted << formatter.formatText(partial ? result.mid(1) : result, !partial);
    }
    QTEST(formatted, "expected");
}

QTEST_APPLESS_MAIN(TestResultFormatter)
#include "TestResultFormatter.moc"
