#include "Exception.h"
#include "SignalRecorder.h"
#include "ValidatableInt32.h"

#include <QtTest>

#include <stdexcept>

namespace {
// Trims; rejects texts with an "x", or everything while strict; throws for "throw" and "crash".
struct Rules
{
    bool strict = false;
    int calls = 0;
    void operator()(ValidationArgs* args)
    {
        ++calls;
        if (args->Text == QLatin1String("throw"))
            throw Exception("boom");
        if (args->Text == QLatin1String("crash"))
            throw std::runtime_error("not ours");
        args->Text = args->Text.trimmed();
        if (strict || args->Text.contains(QLatin1Char('x')))
            args->Error = QStringLiteral("bad");
    }
};
} // namespace

// The edit fields tell the view about text and verdict in a fixed order (error,
// validity, text); views and pages rely on it.
class TestValidatableFields : public QObject
{
    Q_OBJECT

private slots:
    void editsEmitInOrder_data();
    void editsEmitInOrder();
    void foreignExceptions();
    void integerConversion_data();
    void integerConversion();
    void intValue_data();
    void intValue();
};

void TestValidatableFields::editsEmitInOrder_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("strict");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("signalsEmitted");

    const QStringList invalid{"changed_Error(bad)", "changed_IsValid(false)"};
    const QStringList valid{"changed_Error()", "changed_IsValid(true)"};
    QTest::newRow("same text, same verdict") << "ok" << false << "set" << "ok" << QStringList();
    QTest::newRow("invalid edit") << "ok" << false << "set" << "xx" << invalid + QStringList{"changed_Text(xx)"};
    QTest::newRow("correction") << "xx" << false << "set" << "ok" << valid + QStringList{"changed_Text(ok)"};
    QTest::newRow("same text, new verdict") << "ok" << true << "set" << "ok" << invalid;
    QTest::newRow("rewritten to the stored text") << "ok" << false << "set" << " ok " << QStringList();
    QTest::newRow("program exception is the error")
        << "ok" << false << "set" << "throw"
        << QStringList{"changed_Error(boom)", "changed_IsValid(false)", "changed_Text(throw)"};
    // Stored texts come from settings: no validation, the old error goes, the text is always announced.
    QTest::newRow("stored over an error") << "xx" << false << "store" << "xz" << valid + QStringList{"changed_Text(xz)"};
    QTest::newRow("stored, same text") << "ok" << false << "store" << "ok" << QStringList{"changed_Text(ok)"};
    QTest::newRow("check, owner now rejects") << "ok" << true << "check" << "ok"
                                              << invalid + QStringList{"validateFailed()"};
}

void TestValidatableFields::editsEmitInOrder()
{
    QFETCH(QString, before);
    QFETCH(bool, strict);
    QFETCH(QString, action);
    QFETCH(QString, text);

    ValidatableText field;
    Rules rules;
    field.setTextValidator([&rules](ValidationArgs* args) { rules(args); });
    field.set_Text(before);
    rules.strict = strict;
    const int calls = rules.calls;
    SignalRecorder recorder(&field);
    if (action == QLatin1String("set"))
        field.set_Text(text);
    else if (action == QLatin1String("store"))
        field.SetText(text);
    else
        QCOMPARE(field.CheckAndSetFocus(), !strict);
    QTEST(recorder.take(), "signalsEmitted");
    QCOMPARE(rules.calls == calls, action == QLatin1String("store"));
    QCOMPARE(field.get_Text(), text.trimmed());
    QCOMPARE(field.get_IsValid(), field.get_Error().isEmpty());
}

void TestValidatableFields::foreignExceptions()
{
    ValidatableText field;
    field.setTextValidator([](ValidationArgs* args) { Rules()(args); });
    field.set_Text(QStringLiteral("ok"));

    // From QML the setter must not throw; from a page's Validate it reaches applyCommand.
    QTest::ignoreMessage(QtWarningMsg, "Error in ValidatableText::set_Text: not ours");
    field.set_Text(QStringLiteral("crash"));
    QCOMPARE(field.get_Text(), QStringLiteral("ok"));
    field.SetText(QStringLiteral("crash"));
    QVERIFY_EXCEPTION_THROWN(field.CheckAndSetFocus(), std::runtime_error);
}

void TestValidatableFields::integerConversion_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("error");

    QTest::newRow("rejected by the value validator") << "own" << "65536" << "range";
    QTest::newRow("not a number, own message") << "own" << "80a" << "own";
    QTest::newRow("value validator throws, own message") << "own" << "13" << "own";
    QTest::newRow("beyond 32 bits") << "" << "4294967296" << "Cannot convert";
}

void TestValidatableFields::integerConversion()
{
    QFETCH(QString, message);
    QFETCH(QString, typed);

    ValidatableValue<int> field(nullptr, message);
    field.setValueValidator([](ValidationArgs* args, const int& value) {
        if (value == 13)
            throw Exception("unlucky");
        if (value > 65535)
            args->Error = QStringLiteral("range");
    });
    field.set_Text(typed);
    QTEST(field.get_Error(), "error");
    QCOMPARE(field.get_Text(), typed);
}

void TestValidatableFields::intValue_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("written");
    QTest::addColumn<QStringList>("signalsEmitted");

    QTest::newRow("other value") << "12" << 13 << QStringList{"changed_Text(13)", "changed_Value(13)"};
    QTest::newRow("over a non-number")
        << "abc" << 0 << QStringList{"changed_Error()", "changed_IsValid(true)", "changed_Text(0)", "changed_Value(0)"};
}

void TestValidatableFields::intValue()
{
    QFETCH(QString, before);
    QFETCH(int, written);

    ValidatableInt32 field;
    field.set_Text(before);
    if (field.get_Error() == QLatin1String("Cannot convert")) {
        // QML reads the property: no exception may reach it.
        QTest::ignoreMessage(QtWarningMsg, "Error in ValidatableInt32::get_IntValue: Cannot convert");
        QCOMPARE(field.property("IntValue"), QVariant(0));
    }
    SignalRecorder recorder(&field);
    QVERIFY(field.setProperty("IntValue", written));
    QTEST(recorder.take(), "signalsEmitted");
    QCOMPARE(field.get_IntValue(), written);
}

QTEST_GUILESS_MAIN(TestValidatableFields)
#include "TestValidatableFields.moc"
