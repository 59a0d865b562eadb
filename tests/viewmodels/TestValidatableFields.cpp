#include "Exception.h"
#include "SignalRecorder.h"
#include "ValidatableInt32.h"

#include <QtTest>

#include <stdexcept>

namespace {
// Rejects texts with an "x", or everything while strict; throws for "throw"; trims blanks.
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

void attach(ValidatableText& field, Rules& rules)
{
    field.setTextValidator([&rules](ValidationArgs* args) { rules(args); });
}
} // namespace

// The edit fields tell the view about text and verdict in a fixed order; views
// and pages rely on it (error before validity before text).
class TestValidatableFields : public QObject
{
    Q_OBJECT

private slots:
    void setTextEmitsInOrder_data();
    void setTextEmitsInOrder();
    void setTextSkipsValidation_data();
    void setTextSkipsValidation();
    void checkAndSetFocus_data();
    void checkAndSetFocus();
    void foreignExceptions();
    void integerConversion_data();
    void integerConversion();
    void intValueWrites_data();
    void intValueWrites();
    void intValueOfNonNumber();
};

void TestValidatableFields::setTextEmitsInOrder_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("strict");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("signalsEmitted");
    QTest::addColumn<QString>("text");

    QTest::newRow("same text, same verdict") << "ok" << false << "ok" << QStringList() << "ok";
    QTest::newRow("valid edit") << "ok" << false << "ok2" << QStringList{"changed_Text(ok2)"} << "ok2";
    QTest::newRow("invalid edit") << "ok" << false << "xx"
                                  << QStringList{"changed_Error(bad)", "changed_IsValid(false)", "changed_Text(xx)"}
                                  << "xx";
    QTest::newRow("correction") << "xx" << false << "ok"
                                << QStringList{"changed_Error()", "changed_IsValid(true)", "changed_Text(ok)"} << "ok";
    QTest::newRow("invalid to invalid") << "xx" << false << "xy" << QStringList{"changed_Text(xy)"} << "xy";
    QTest::newRow("same text, new verdict") << "ok" << true << "ok"
                                            << QStringList{"changed_Error(bad)", "changed_IsValid(false)"} << "ok";
    QTest::newRow("rewritten to the stored text") << "ok" << false << "  ok " << QStringList() << "ok";
    QTest::newRow("program exception is the error")
        << "ok" << false << "throw"
        << QStringList{"changed_Error(boom)", "changed_IsValid(false)", "changed_Text(throw)"} << "throw";
}

void TestValidatableFields::setTextEmitsInOrder()
{
    QFETCH(QString, before);
    QFETCH(bool, strict);
    QFETCH(QString, typed);
    QFETCH(QStringList, signalsEmitted);
    QFETCH(QString, text);

    ValidatableText field;
    QVERIFY(field.get_IsValid());
    Rules rules;
    attach(field, rules);
    field.set_Text(before);
    rules.strict = strict;
    SignalRecorder recorder(&field);
    field.set_Text(typed);
    QCOMPARE(recorder.take(), signalsEmitted);
    QCOMPARE(field.get_Text(), text);
    QCOMPARE(field.get_IsValid(), field.get_Error().isEmpty());
    QVERIFY(!field.get_IsFocused());
}

void TestValidatableFields::setTextSkipsValidation_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("signalsEmitted");

    QTest::newRow("error shown") << "xx" << "xz"
                                 << QStringList{"changed_Error()", "changed_IsValid(true)", "changed_Text(xz)"};
    QTest::newRow("no error, same text") << "ok" << "ok" << QStringList{"changed_Text(ok)"};
}

void TestValidatableFields::setTextSkipsValidation()
{
    QFETCH(QString, before);
    QFETCH(QString, stored);
    QFETCH(QStringList, signalsEmitted);

    ValidatableText field;
    Rules rules;
    attach(field, rules);
    field.set_Text(before);
    const int calls = rules.calls;
    SignalRecorder recorder(&field);
    field.SetText(stored);
    QCOMPARE(recorder.take(), signalsEmitted);
    QCOMPARE(rules.calls, calls);
    QVERIFY(field.get_IsValid());
}

void TestValidatableFields::checkAndSetFocus_data()
{
    QTest::addColumn<bool>("strict");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<QStringList>("signalsEmitted");

    QTest::newRow("still valid") << false << true << QStringList();
    QTest::newRow("owner now rejects")
        << true << false << QStringList{"changed_Error(bad)", "changed_IsValid(false)", "validateFailed()"};
}

void TestValidatableFields::checkAndSetFocus()
{
    QFETCH(bool, strict);
    QFETCH(bool, passes);
    QFETCH(QStringList, signalsEmitted);

    ValidatableText field;
    Rules rules;
    attach(field, rules);
    field.SetText(QStringLiteral("ok"));
    rules.strict = strict;
    SignalRecorder recorder(&field);
    QCOMPARE(field.CheckAndSetFocus(), passes);
    QCOMPARE(recorder.take(), signalsEmitted);
}

void TestValidatableFields::foreignExceptions()
{
    ValidatableText field;
    Rules rules;
    attach(field, rules);
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

    const QString port = QStringLiteral("Порт должен быть в диапазоне от 1 до 65535");
    QTest::newRow("0") << port << "0" << port;
    QTest::newRow("1") << port << "1" << "";
    QTest::newRow("65535") << port << "65535" << "";
    QTest::newRow("65536") << port << "65536" << port;
    QTest::newRow("-1") << port << "-1" << port;
    QTest::newRow("not a number") << port << "80a" << port;
    QTest::newRow("empty") << port << "" << port;
    QTest::newRow("converter's message") << "" << "eighty" << "Cannot convert";
    QTest::newRow("beyond 32 bits") << "" << "4294967296" << "Cannot convert";
    QTest::newRow("value validator throws") << port << "13" << port;
}

void TestValidatableFields::integerConversion()
{
    QFETCH(QString, message);
    QFETCH(QString, typed);
    QFETCH(QString, error);

    ValidatableValue<int> field(nullptr, message);
    field.setValueValidator([](ValidationArgs* args, const int& value) {
        if (value == 13)
            throw Exception("unlucky");
        if (value < 1 || value > 65535)
            args->Error = QStringLiteral("Порт должен быть в диапазоне от 1 до 65535");
    });
    field.set_Text(typed);
    QCOMPARE(field.get_Error(), error);
    QCOMPARE(field.get_Text(), typed);
}

void TestValidatableFields::intValueWrites_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("written");
    QTest::addColumn<QStringList>("signalsEmitted");

    QTest::newRow("same value") << "12" << 12 << QStringList();
    QTest::newRow("other value") << "12" << 13 << QStringList{"changed_Text(13)", "changed_Value(13)"};
    QTest::newRow("over a non-number") << "abc" << 0
                                       << QStringList{"changed_Error()", "changed_IsValid(true)", "changed_Text(0)",
                                                      "changed_Value(0)"};
}

void TestValidatableFields::intValueWrites()
{
    QFETCH(QString, before);
    QFETCH(int, written);
    QFETCH(QStringList, signalsEmitted);

    ValidatableInt32 field;
    Rules rules;
    attach(field, rules);
    field.set_Text(before);
    const int calls = rules.calls;
    SignalRecorder recorder(&field);
    QVERIFY(field.setProperty("IntValue", written));
    QCOMPARE(recorder.take(), signalsEmitted);
    QCOMPARE(rules.calls, calls);
    QCOMPARE(field.get_IntValue(), written);
}

void TestValidatableFields::intValueOfNonNumber()
{
    ValidatableInt32 field;
    field.set_Text(QStringLiteral("abc"));
    QCOMPARE(field.get_Error(), QStringLiteral("Cannot convert"));
    QTest::ignoreMessage(QtWarningMsg, "Error in ValidatableInt32::get_IntValue: Cannot convert");
    QCOMPARE(field.property("IntValue"), QVariant(0));
}

QTEST_GUILESS_MAIN(TestValidatableFields)
#include "TestValidatableFields.moc"
