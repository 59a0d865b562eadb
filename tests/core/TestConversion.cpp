#include "ConveterException.h"
#include "Enum.h"
#include "Exception.h"
#include "SslCertificateVerification.h"
#include "TypeConverter.h"

#include <QtTest>

#include <memory>

class TestConversion : public QObject
{
    Q_OBJECT

private slots:
    void intConversion_data();
    void intConversion();
    void raiseAndCloneKeepDynamicType();
    void sslEnumTable();
    void sslEnumRejectsUnknownNames_data();
    void sslEnumRejectsUnknownNames();
};

void TestConversion::intConversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << "42" << true << 42;
    QTest::newRow("negative") << "-7" << true << -7;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("trailing letter") << "4x" << false << 0;
    QTest::newRow("beyond 32 bits") << "4294967296" << false << 0;
    QTest::newRow("hex is not decimal") << "0x10" << false << 0;
}

void TestConversion::intConversion()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, expected);
    TypeConverter<int> converter;
    if (valid) {
        QCOMPARE(converter.ConvertFromString(text), expected);
        return;
    }
    try {
        converter.ConvertFromString(text);
        QFAIL("no exception");
    } catch (const ConveterException& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Cannot convert"));
    }
}

void TestConversion::raiseAndCloneKeepDynamicType()
{
    QCOMPARE(TypeConverter<int>().ConvertToString(-7), QStringLiteral("-7"));
    const Exception utf8(QStringLiteral("Не удалось"));
    QCOMPARE(QString::fromUtf8(utf8.what()), QStringLiteral("Не удалось"));

    const ConveterException conversion = ConveterException::create<int, QString>();
    const Exception& base = conversion;
    bool caughtAsConversion = false;
    try {
        base.raise();
    } catch (const ConveterException&) {
        caughtAsConversion = true;
    } catch (const Exception&) {
    }
    QVERIFY(caughtAsConversion);

    std::unique_ptr<Exception> copy(base.clone());
    QVERIFY(dynamic_cast<ConveterException*>(copy.get()) != nullptr);
    QCOMPARE(QByteArray(copy->what()), QByteArray("Cannot convert"));

    std::unique_ptr<Exception> plain(Exception("x").clone());
    QVERIFY(dynamic_cast<ConveterException*>(plain.get()) == nullptr);
}

void TestConversion::sslEnumTable()
{
    QCOMPARE(Enum<SslCertificateVerification>::FromInvariantString(QStringLiteral("Strict")), Strict);
    QCOMPARE(Enum<SslCertificateVerification>::FromInvariantString(QStringLiteral("Insecure")), Insecure);
    QCOMPARE(Enum<SslCertificateVerification>::ToString(Insecure), QStringLiteral("Insecure"));

    // Ordered by value although the table lists Insecure first.
    QList<int> order;
    for (const auto& entry : Enum<SslCertificateVerification>::Values)
        order << entry.second->value();
    QCOMPARE(order, (QList<int>{0, 1}));
    EnumElementBase* strict = Enum<SslCertificateVerification>::Values.begin()->second;
    QCOMPARE(strict->property("InvariantName").toString(), QStringLiteral("Strict"));
    QCOMPARE(strict->property("Name").toString(), QStringLiteral("Strict"));
    QCOMPARE(strict->property("Value").toInt(), 0);

    QVERIFY_EXCEPTION_THROWN(Enum<SslCertificateVerification>::ToString(static_cast<SslCertificateVerification>(7)),
                             ConveterException);
}

void TestConversion::sslEnumRejectsUnknownNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("other case") << "strict";
    QTest::newRow("empty") << "";
    QTest::newRow("padded") << " Strict";
}

void TestConversion::sslEnumRejectsUnknownNames()
{
    QFETCH(QString, name);
    try {
        Enum<SslCertificateVerification>::FromInvariantString(name);
        QFAIL("no exception");
    } catch (const ConveterException& e) {
        QCOMPARE(QByteArray(e.what()), QByteArray("Cannot convert"));
    }
}

QTEST_GUILESS_MAIN(TestConversion)
#include "TestConversion.moc"
