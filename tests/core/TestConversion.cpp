#include "ConveterException.h"
#include "Enum.h"
#include "Exception.h"
#include "SslCertificateVerification.h"
#include "TypeConverter.h"

#include <QtTest>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(std::function<void()>)

class TestConversion : public QObject
{
    Q_OBJECT

private slots:
    void rejected_data();
    void rejected();
    void raiseAndCloneKeepDynamicType();
    void sslEnumTable();
};

void TestConversion::rejected_data()
{
    QTest::addColumn<std::function<void()>>("convert");
    const auto toInt = [](const char* text) { return [=] { TypeConverter<int>().ConvertFromString(text); }; };
    const auto toSsl = [](const char* name) {
        return [=] { Enum<SslCertificateVerification>::FromInvariantString(QString::fromLatin1(name)); };
    };
    QTest::newRow("int: trailing letter") << std::function<void()>(toInt("4x"));
    QTest::newRow("int: beyond 32 bits") << std::function<void()>(toInt("4294967296"));
    QTest::newRow("int: hex") << std::function<void()>(toInt("0x10"));
    QTest::newRow("enum: other case") << std::function<void()>(toSsl("strict"));
    QTest::newRow("enum: padded") << std::function<void()>(toSsl(" Strict"));
    QTest::newRow("enum: unknown value") << std::function<void()>([] {
        Enum<SslCertificateVerification>::ToString(static_cast<SslCertificateVerification>(7));
    });
}

void TestConversion::rejected()
{
    QFETCH(std::function<void()>, convert);
    try {
        convert();
        QFAIL("no exception");
    } catch (const ConveterException& e) {
        QCOMPARE(QByteArray(e.what()), QByteArray("Cannot convert"));
    }
}

void TestConversion::raiseAndCloneKeepDynamicType()
{
    QCOMPARE(TypeConverter<int>().ConvertFromString(QStringLiteral("-7")), -7);
    QCOMPARE(QString::fromUtf8(Exception(QStringLiteral("Не удалось")).what()), QStringLiteral("Не удалось"));

    const ConveterException conversion = ConveterException::create<int, QString>();
    const Exception& base = conversion;
    QVERIFY_EXCEPTION_THROWN(base.raise(), ConveterException);
    std::unique_ptr<Exception> copy(base.clone());
    QVERIFY(dynamic_cast<ConveterException*>(copy.get()) != nullptr);
    std::unique_ptr<Exception> plain(Exception("x").clone());
    QVERIFY(dynamic_cast<ConveterException*>(plain.get()) == nullptr);
}

void TestConversion::sslEnumTable()
{
    QCOMPARE(Enum<SslCertificateVerification>::FromInvariantString(QStringLiteral("Insecure")), Insecure);
    // Ordered by value although the table lists Insecure first.
    QList<int> order;
    for (const auto& entry : Enum<SslCertificateVerification>::Values)
        order << entry.second->value();
    QCOMPARE(order, (QList<int>{0, 1}));
    EnumElementBase* strict = Enum<SslCertificateVerification>::Values.begin()->second;
    QCOMPARE(strict->property("InvariantName").toString(), QStringLiteral("Strict"));
    QCOMPARE(strict->property("Value").toInt(), 0);
}

QTEST_GUILESS_MAIN(TestConversion)
#include "TestConversion.moc"
