#include "ElementInfo.h"
#include "FormMetadata.h"

#include <QtTest>

#include <QJsonDocument>

namespace {
QJsonObject object(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

// What a record with nothing set writes.
QJsonObject emptyForm()
{
    return object(R"({"ThemeId": "", "Key": "", "Childs": [], "CustomCommands": [], "FormCommands": [],
                      "FormSettings": {}, "Name": "", "CultureCode": "", "IsDeleted": false, "Mode": 0})");
}

QJsonObject with(QJsonObject base, const QJsonObject& changes)
{
    for (auto it = changes.begin(); it != changes.end(); ++it)
        base.insert(it.key(), it.value());
    return base;
}
} // namespace

// The form description an MIS form hands over, as read from and written to JSON.
class TestFormMetadata : public QObject
{
    Q_OBJECT

private slots:
    void readAndWriteBack_data();
    void readAndWriteBack();
    void settingsTextIsWrittenAsAnObject_data();
    void settingsTextIsWrittenAsAnObject();
    void cloneCopiesEveryField();
    void elementKey_data();
    void elementKey();
};

void TestFormMetadata::readAndWriteBack_data()
{
    QTest::addColumn<QJsonObject>("input");
    QTest::addColumn<QString>("formSettings");
    QTest::addColumn<QJsonObject>("written");

    const QJsonObject full = object(R"({"ThemeId": "t1", "Key": "exam", "Childs": [{"Key": "complaints"}],
        "CustomCommands": [{"Id": "c"}], "FormCommands": ["next"], "FormSettings": {"Lang": "ru", "Depth": [1, 2]},
        "Name": "Осмотр", "CultureCode": "ru-RU", "IsDeleted": true, "Mode": 1})");
    QTest::newRow("every field") << full << QStringLiteral(R"({"Depth":[1,2],"Lang":"ru"})") << full;
    QTest::newRow("nothing") << QJsonObject() << QStringLiteral("{}") << emptyForm();
    QTest::newRow("key and settings only")
        << object(R"({"Key": "exam", "FormSettings": {"Scale": 2}})") << QStringLiteral(R"({"Scale":2})")
        << with(emptyForm(), object(R"({"Key": "exam", "FormSettings": {"Scale": 2}})"));
    // A value of another type reads as if the key were absent.
    QTest::newRow("wrong types")
        << object(R"({"ThemeId": 7, "Key": ["exam"], "Childs": {"Key": "a"}, "CustomCommands": "x",
                      "FormCommands": 3, "FormSettings": [1], "Name": null, "CultureCode": true,
                      "IsDeleted": 1, "Mode": "2"})")
        << QStringLiteral("{}") << emptyForm();
    QTest::newRow("mode not a whole number") << object(R"({"Mode": 2.5})") << QStringLiteral("{}") << emptyForm();
    QTest::newRow("mode beyond int") << object(R"({"Mode": 1e12})") << QStringLiteral("{}") << emptyForm();
    QTest::newRow("settings as text") << object(R"({"FormSettings": "{\"Scale\": 2}"})") << QStringLiteral("{}")
                                      << emptyForm();
}

void TestFormMetadata::readAndWriteBack()
{
    QFETCH(QJsonObject, input);
    QFETCH(QString, formSettings);
    QFETCH(QJsonObject, written);

    const FormMetadata form(input);
    QCOMPARE(form.formSettings(), formSettings);
    QCOMPARE(form.toJson(), written);
    // What was written reads back the same.
    QCOMPARE(FormMetadata(form.toJson()).toJson(), written);
}

void TestFormMetadata::settingsTextIsWrittenAsAnObject_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QJsonObject>("written");

    QTest::newRow("object") << QStringLiteral(R"({"Scale": 2, "Lang": "ru"})") << object(R"({"Lang": "ru", "Scale": 2})");
    QTest::newRow("not JSON") << QStringLiteral("{Scale: 2") << QJsonObject();
    QTest::newRow("array") << QStringLiteral("[1, 2]") << QJsonObject();
    QTest::newRow("number") << QStringLiteral("2") << QJsonObject();
    QTest::newRow("empty") << QString() << QJsonObject();
}

void TestFormMetadata::settingsTextIsWrittenAsAnObject()
{
    QFETCH(QString, text);
    QFETCH(QJsonObject, written);

    FormMetadata form;
    form.setFormSettings(text);
    QCOMPARE(form.toJson().value(QStringLiteral("FormSettings")), QJsonValue(written));
    QCOMPARE(form.toJson().size(), emptyForm().size());
}

void TestFormMetadata::cloneCopiesEveryField()
{
    const FormMetadata source(object(R"({"ThemeId": "t1", "Key": "exam", "Childs": [{"Key": "a"}],
        "CustomCommands": [1], "FormCommands": [2], "FormSettings": {"Scale": 2}, "Name": "Осмотр",
        "CultureCode": "ru-RU", "IsDeleted": true, "Mode": 1})"));
    FormMetadata copy(object(R"({"Key": "other", "Mode": 5, "IsDeleted": false, "Childs": [3, 4]})"));
    copy.Clone(source);
    QCOMPARE(copy.toJson(), source.toJson());
    QCOMPARE(copy.formSettings(), source.formSettings());
}

void TestFormMetadata::elementKey_data()
{
    QTest::addColumn<QJsonObject>("input");
    QTest::addColumn<QString>("key");

    QTest::newRow("key") << object(R"({"Key": "complaints", "Other": 1})") << QStringLiteral("complaints");
    QTest::newRow("missing") << QJsonObject() << QString();
    QTest::newRow("not a string") << object(R"({"Key": 12})") << QString();
}

void TestFormMetadata::elementKey()
{
    QFETCH(QJsonObject, input);
    QFETCH(QString, key);

    const ElementInfo element(input);
    QCOMPARE(element.key(), key);
    QCOMPARE(element.toJson(), (QJsonObject{{QStringLiteral("Key"), key}}));
}

QTEST_GUILESS_MAIN(TestFormMetadata)
#include "TestFormMetadata.moc"
