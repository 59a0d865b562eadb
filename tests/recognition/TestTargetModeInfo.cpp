#include "LaunchSettings.h"
#include "TargetModeInfo.h"
#include "TestHome.h"

#include <QtTest>

#include <QThread>

#include <atomic>

namespace {
void setVoiceActivation(bool enabled)
{
    LaunchSettings settings;
    settings.VoiceActivationEnabled = enabled;
    settings.sync();
}

ClientThemeInfo theme(const QString& id)
{
    ClientThemeInfo info;
    info.setId(id);
    info.setName(id + QStringLiteral(" name"));
    return info;
}

FormMetadata formWithTheme(const QString& themeId)
{
    FormMetadata form;
    form.setKey(QStringLiteral("form"));
    form.setThemeId(themeId);
    return form;
}
} // namespace

class TestTargetModeInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void idleModeComesFromSettings_data();
    void idleModeComesFromSettings();
    void backupAndReset();
    void elementOnlyInFormModes();
    void formUpdatesOnlyInFormModes();
    void findTargetTheme_data();
    void findTargetTheme();
    void copiesSurviveConcurrentChanges();
};

void TestTargetModeInfo::initTestCase()
{
    TestHome::useApplicationIdentity();
}

void TestTargetModeInfo::init()
{
    TestHome::wipe();
}

void TestTargetModeInfo::idleModeComesFromSettings_data()
{
    QTest::addColumn<bool>("voiceActivation");
    QTest::addColumn<int>("recorded");
    QTest::addColumn<int>("expected");
    QTest::newRow("nothing recorded, VA off") << false << -1 << int(RecognitionModeNamespace::Off);
    QTest::newRow("nothing recorded, VA on") << true << -1 << int(RecognitionModeNamespace::VoiceActivation);
    QTest::newRow("recorded Off, VA on") << true << 0 << int(RecognitionModeNamespace::VoiceActivation);
    QTest::newRow("recorded VA, VA off") << false << 1 << int(RecognitionModeNamespace::Off);
    QTest::newRow("recorded Text") << true << 2 << int(RecognitionModeNamespace::Text);
    QTest::newRow("recorded wizard form") << false << 4 << int(RecognitionModeNamespace::TemplatedWizardForm);
}

void TestTargetModeInfo::idleModeComesFromSettings()
{
    QFETCH(bool, voiceActivation);
    QFETCH(int, recorded);
    setVoiceActivation(voiceActivation);

    TargetModeInfo target;
    if (recorded >= 0) {
        const RecognitionMode mode = RecognitionMode(recorded);
        target.BackupTargetMode(&mode, nullptr, nullptr, QString());
    }
    QTEST(int(target.getTargetMode()), "expected");
    // The fallback is stored.
    QTEST(int(target.mode().value_or(RecognitionMode(-1))), "expected");
}

void TestTargetModeInfo::backupAndReset()
{
    TargetModeInfo target;
    const RecognitionMode text = RecognitionModeNamespace::Text;
    target.UpdateTargetHandles(42);
    target.BackupTargetMode(&text, nullptr, nullptr, QStringLiteral("theme"));
    unsigned long window = 7;
    QVERIFY(!target.GetTargetHandles(&window));
    QCOMPARE(window, 0ul);
    QVERIFY(!target.isEmpty());
    QCOMPARE(target.themeId(), QStringLiteral("theme"));

    target.UpdateTargetHandles(42);
    QVERIFY(target.GetTargetHandles(&window));
    QCOMPARE(window, 42ul);

    target.ResetTargetMode();
    QVERIFY(target.isEmpty());
    QVERIFY(!target.mode().has_value());
    QVERIFY(target.themeId().isEmpty());
    QCOMPARE(target.getWindowHandle(), 0ul);
    QCOMPARE(target.getTargetMode(), RecognitionModeNamespace::Off);
}

void TestTargetModeInfo::elementOnlyInFormModes()
{
    TargetModeInfo target;
    const QString element = QStringLiteral("field-1");
    const RecognitionMode text = RecognitionModeNamespace::Text;
    target.BackupTargetMode(&text, nullptr, nullptr, QString());
    target.BackupTargetElement(&element);
    QVERIFY(!target.formElement().has_value());

    const RecognitionMode form = RecognitionModeNamespace::TemplatedForm;
    target.BackupTargetMode(&form, nullptr, nullptr, QString());
    target.BackupTargetElement(&element);
    QCOMPARE(target.formElement().value_or(QString()), element);

    std::optional<FormMetadata> gotForm;
    std::optional<QString> gotElement;
    QCOMPARE(target.getTargetModeInfo(&gotForm, &gotElement), RecognitionModeNamespace::TemplatedForm);
    QVERIFY(!gotForm.has_value());
    QCOMPARE(gotElement.value_or(QString()), element);
}

void TestTargetModeInfo::formUpdatesOnlyInFormModes()
{
    TargetModeInfo target;
    const FormMetadata form = formWithTheme(QStringLiteral("a"));
    const RecognitionMode text = RecognitionModeNamespace::Text;
    target.BackupTargetMode(&text, &form, nullptr, QString());
    target.UpdateTargetTheme(QStringLiteral("b"));
    QCOMPARE(target.themeId(), QStringLiteral("b"));
    QCOMPARE(target.form()->themeId(), QStringLiteral("a"));

    const RecognitionMode wizard = RecognitionModeNamespace::TemplatedWizardForm;
    target.BackupTargetMode(&wizard, &form, nullptr, QString());
    target.UpdateTargetTheme(QStringLiteral("c"));
    target.UpdateTargetCommandSet(QJsonArray{1, 2});
    target.UpdateTargetFormSettings(QJsonObject{{"x", true}});
    QCOMPARE(target.form()->themeId(), QStringLiteral("c"));
    QCOMPARE(target.form()->formCommands(), (QJsonArray{1, 2}));
    QCOMPARE(target.form()->formSettings(), QStringLiteral(R"({"x":true})"));
    // The stored form is a copy: the caller's record is untouched.
    QCOMPARE(form.themeId(), QStringLiteral("a"));
}

void TestTargetModeInfo::findTargetTheme_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("targetTheme");
    QTest::addColumn<QString>("formTheme");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("found");

    QTest::newRow("idle ignores the theme") << 0 << "t2" << "" << true << "";
    QTest::newRow("text, no theme") << 2 << "" << "" << true << "";
    QTest::newRow("text, listed theme") << 2 << "t2" << "" << true << "t2";
    QTest::newRow("text, unknown theme") << 2 << "zz" << "" << false << "";
    QTest::newRow("form theme wins") << 3 << "t1" << "t2" << true << "t2";
    QTest::newRow("form without theme uses target's") << 4 << "t1" << "" << true << "t1";
    QTest::newRow("form theme unknown") << 3 << "t1" << "zz" << false << "";
}

void TestTargetModeInfo::findTargetTheme()
{
    QFETCH(int, mode);
    QFETCH(QString, targetTheme);
    QFETCH(QString, formTheme);
    QFETCH(QString, found);

    TargetModeInfo target;
    const RecognitionMode recorded = RecognitionMode(mode);
    const FormMetadata form = formWithTheme(formTheme);
    target.BackupTargetMode(&recorded, &form, nullptr, targetTheme);

    std::optional<ClientThemeInfo> result;
    QTEST(target.FindTargetTheme({theme("t1"), theme("t2")}, &result), "answer");
    QCOMPARE(result.has_value(), !found.isEmpty());
    if (result)
        QCOMPARE(result->id(), found);
}

// The driver's thread reads the target for every audio buffer while the GUI
// and form threads replace it; the copies handed out must stay whole.
void TestTargetModeInfo::copiesSurviveConcurrentChanges()
{
    TargetModeInfo target;
    std::atomic<bool> stop{false};
    QThread* writer = QThread::create([&] {
        const RecognitionMode wizard = RecognitionModeNamespace::TemplatedWizardForm;
        int i = 0;
        while (!stop.load()) {
            const FormMetadata form = formWithTheme(QString::number(i));
            const QString element = QStringLiteral("e%1").arg(i);
            target.BackupTargetMode(&wizard, &form, &element, QString());
            target.ResetTargetMode();
            ++i;
        }
    });
    writer->start();
    int seenForms = 0;
    for (int i = 0; i < 5000; ++i) {
        std::optional<FormMetadata> form;
        std::optional<QString> element;
        target.getTargetModeInfo(&form, &element);
        if (form) {
            ++seenForms;
            QCOMPARE(form->key(), QStringLiteral("form"));
            QVERIFY(element.has_value());
            QCOMPARE(*element, QStringLiteral("e") + form->themeId());
        }
    }
    stop.store(true);
    writer->wait();
    delete writer;
    Q_UNUSED(seenForms)
}

QTEST_GUILESS_MAIN(TestTargetModeInfo)
#include "TestTargetModeInfo.moc"
