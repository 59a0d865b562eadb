#include "ElementInfo.h"
#include "FormMetadata.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>

namespace {
QJsonObject parse(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}
} // namespace

class TestFormMetadata : public QObject
{
    Q_OBJECT

private slots:
    void readsOnlyTheKeyAndSettings();
    void illTypedValuesReadAsAbsent_data();
    void illTypedValuesReadAsAbsent();
    void badSettingsTextWritesEmptyObject();
    void cloneCopiesEveryField();
    void elementRoundTrip();
};

void TestFormMetadata::readsOnlyTheKeyAndSettings()
{
    const FormMetadata form(parse(R"({"Key":"f1","FormSettings":{"Size":12}})"));
    QCOMPARE(form.key(), QStringLiteral("f1"));
    QCOMPARE(form.formSettings(), QStringLiteral(R"({"Size":12})"));

    const QJsonObject written = form.toJson();
    QCOMPARE(written.value("FormSettings").toObject(), parse(R"({"Size":12})"));
    const QStringList keys{"ThemeId", "Key", "Childs", "CustomCommands", "FormCommands", "FormSettings",
                           "Name", "CultureCode", "IsDeleted", "Mode"};
    QCOMPARE(written.keys().size(), keys.size());
    for (const QString& key : keys)
        QVERIFY2(written.contains(key), qPrintable(key));
    QCOMPARE(written.value("ThemeId"), QJsonValue(QString()));
    QCOMPARE(written.value("Childs"), QJsonValue(QJsonArray()));
    QCOMPARE(written.value("IsDeleted"), QJsonValue(false));
    QCOMPARE(written.value("Mode"), QJsonValue(0));
}

void TestFormMetadata::illTypedValuesReadAsAbsent_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("isDeleted");
    QTest::addColumn<QString>("formSettings");
    QTest::addColumn<QString>("name");

    QTest::newRow("mode as text") << QByteArray(R"({"Mode":"3"})") << 0 << false << "{}" << "";
    QTest::newRow("fractional mode") << QByteArray(R"({"Mode":2.5})") << 0 << false << "{}" << "";
    QTest::newRow("deleted as number") << QByteArray(R"({"IsDeleted":1})") << 0 << false << "{}" << "";
    QTest::newRow("settings as array") << QByteArray(R"({"FormSettings":[1]})") << 0 << false << "{}" << "";
    QTest::newRow("name as number") << QByteArray(R"({"Name":7})") << 0 << false << "{}" << "";
    QTest::newRow("well typed") << QByteArray(R"({"Mode":4,"IsDeleted":true,"Name":"n"})") << 4 << true << "{}"
                                << "n";
}

void TestFormMetadata::illTypedValuesReadAsAbsent()
{
    QFETCH(QByteArray, json);
    const FormMetadata form(QJsonDocument::fromJson(json).object());
    QTEST(form.mode(), "mode");
    QTEST(form.isDeleted(), "isDeleted");
    QTEST(form.formSettings(), "formSettings");
    QTEST(form.name(), "name");
}

void TestFormMetadata::badSettingsTextWritesEmptyObject()
{
    FormMetadata form;
    form.setFormSettings(QStringLiteral("{not json"));
    QCOMPARE(form.toJson().value("FormSettings"), QJsonValue(QJsonObject()));
    form.setFormSettings(QStringLiteral("[1,2]"));
    QCOMPARE(form.toJson().value("FormSettings"), QJsonValue(QJsonObject()));
}

void TestFormMetadata::cloneCopiesEveryField()
{
    const FormMetadata source(parse(R"({"ThemeId":"t","Key":"k","Childs":[{"Key":"c"}],"CustomCommands":[1],
        "FormCommands":[2],"FormSettings":{"a":1},"Name":"n","CultureCode":"ru-RU","IsDeleted":true,"Mode":3})"));
    FormMetadata copy;
    copy.Clone(source);
    QCOMPARE(copy.toJson(), source.toJson());
    QCOMPARE(copy.cultureCode(), QStringLiteral("ru-RU"));
    QCOMPARE(copy.mode(), 3);
}

void TestFormMetadata::elementRoundTrip()
{
    QCOMPARE(ElementInfo(parse(R"({"Key":"e1"})")).toJson(), parse(R"({"Key":"e1"})"));
    QCOMPARE(ElementInfo(parse(R"({"Key":5})")).key(), QString());
}

QTEST_APPLESS_MAIN(TestFormMetadata)
#include "TestFormMetadata.moc"
