#include "AsrManager.h"
#include "ClientConnectionSettings.h"
#include "ClientInfoSettings.h"
#include "FakeHttpServer.h"
#include "FeedbackSettings.h"
#include "FeedbackViewModel.h"
#include "ProfileFile.h"
#include "PulseAudioManager.h"
#include "PulseModule.h"
#include "PulseTestServer.h"
#include "QuestionAnswer.h"
#include "RecordingDeviceManager.h"
#include "TestHome.h"
#include "ThemeChooseViewModel.h"
#include "ThemeInfoViewModel.h"
#include "UserInfo.h"
#include "ValidatableInt32.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSemaphore>
#include <QtTest>

#include <memory>

namespace {

// 127 characters: sent as its first 124 and "...".
const QString LongMicrophone = QStringLiteral("USB_Audio_Device_") + QString(110, QLatin1Char('x'));
const QByteArray Themes = R"({"Error":null,"Data":[{"Id":"t1","ThemeId":"th1","Name":"Терапия","Version":"3"},
                                                    {"Id":"t2","Name":"Хирургия","Version":"1"}]})";
const QString Report = QStringLiteral("Пациентке рекомендован **амброксол** по 30 мг");

void storeDraft(const QString& text, const QString& themeId, const QString& themeName)
{
    FeedbackSettings draft;
    draft.FeedbackText = text;
    draft.Id = themeId;
    draft.ThemeId = themeId;
    draft.ThemeVersion = QStringLiteral("2");
    draft.ThemeName = themeName;
    draft.Email = QStringLiteral("anna.ivanova@gp12.example.ru");
    draft.sync();
}

QString storedText()
{
    return FeedbackSettings().FeedbackText;
}

} // namespace

// The feedback form against a loopback HTTP server that lists the themes and
// takes the claim, with a microphone of the private sound server.
class TestFeedbackViewModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void validators_data();
    void validators();
    void sending_data();
    void sending();
    void sendingLeavesTheWindowResponsive();
    void draftThemeIsSelectedAgain_data();
    void draftThemeIsSelectedAgain();
    void closing_data();
    void closing();
    void fullNameSource_data();
    void fullNameSource();
    void errorsOnceTouchedOrSent();

private:
    // A form loaded from a stored draft, consent given.
    void loadForm(const QString& text);

    std::unique_ptr<PulseModule> microphone;
    std::unique_ptr<PulseAudioManager> audio;
    std::unique_ptr<FakeHttpServer> http;
    std::unique_ptr<AsrManager> asr;
    std::unique_ptr<FeedbackViewModel> model;
    FakeHttpResponse claimReply;
    QSemaphore claimGate;
    bool gated = false;
};

void TestFeedbackViewModel::initTestCase()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    qputenv("USER", "dictator");
    QVERIFY2(PulseTestServer::isRunning(), "needs the sound server of scripts/headless-services.sh");
    microphone = std::make_unique<PulseModule>(QStringLiteral("module-null-source"),
                                               QStringList{QStringLiteral("source_name=long_mic"),
                                                           QStringLiteral("description=") + LongMicrophone});
    QVERIFY(microphone->isLoaded());
    audio = std::make_unique<PulseAudioManager>();
    audio->Start();
    RecordingDeviceManager* recording = audio->RecordingManager();
    const auto indexOfLong = [recording] {
        const ExtAudioDeviceInfoList devices = recording->DeviceList();
        for (int i = 0; i < devices.size(); ++i) {
            if (devices.at(i).deviceName() == QLatin1String("long_mic"))
                return i;
        }
        return -1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(indexOfLong() >= 0, TestHome::scaled(10000));
    recording->set_SelectedIndex(indexOfLong());
    recording->set_Gain(73);
    QTRY_COMPARE_WITH_TIMEOUT(recording->Gain(), 73, TestHome::scaled(5000));
}

void TestFeedbackViewModel::cleanupTestCase()
{
    audio.reset();
    microphone.reset();
}

void TestFeedbackViewModel::init()
{
    FakeHttpServer::bypassSystemProxy();
    for (const QString& file : {ProfileFile::organisationFile(), ProfileFile::userFile()})
        QFile::remove(file);
    QSettings(TestHome::settingsFile(), QSettings::IniFormat).remove(QStringLiteral("Feedback"));
    claimReply = FakeHttpResponse::json(R"({"Error":null,"Data":null})");
    gated = false;
    http = std::make_unique<FakeHttpServer>();
    http->setHandler([this](const FakeHttpRequest& request) {
        if (request.path() != "/api/Claim")
            return FakeHttpResponse::json(Themes);
        if (gated)
            claimGate.tryAcquire(1, 10000);
        return claimReply;
    });
    ClientConnectionSettings server;
    server.Ip = FakeHttpServer::host();
    server.RestPort = int(http->port());
    server.UseTls = false;
    server.sync();
    asr = std::make_unique<AsrManager>(nullptr);
    // As the connection does before the window can be opened.
    asr->get_Themes(true);
    model = std::make_unique<FeedbackViewModel>(asr.get(), audio->RecordingManager());
}

void TestFeedbackViewModel::cleanup()
{
    claimGate.release(10);
    model.reset();
    asr.reset();
    http.reset();
    claimGate.acquire(claimGate.available());
}

void TestFeedbackViewModel::loadForm(const QString& text)
{
    storeDraft(text, QString(), QString());
    QSettings user(ProfileFile::userFile(), QSettings::IniFormat);
    user.setValue(QStringLiteral("UserInfo/UserName"), QStringLiteral("Иванова Анна Сергеевна"));
    user.sync();
    QSettings organisation(ProfileFile::organisationFile(), QSettings::IniFormat);
    organisation.setValue(QStringLiteral("Organisation/RegionCode"), 77);
    organisation.setValue(QStringLiteral("Organisation/OrganisationFullName"), QStringLiteral("ГБУЗ «ГП № 12»"));
    organisation.setValue(QStringLiteral("Organisation/OrganisationPSRN"), QStringLiteral("1027700000012"));
    organisation.setValue(QStringLiteral("Organisation/OrganisationOid"), QStringLiteral("1.2.643.5.1.13"));
    organisation.setValue(QStringLiteral("Organisation/Room"), QStringLiteral("12б"));
    organisation.sync();
    model->onLoad();
}

void TestFeedbackViewModel::validators_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");

    const QString badEmail = QStringLiteral(
        "Проверьте, что вы ввели правильный адрес электронной почты. Убедитесь, что есть символ @ и точка");
    QTest::newRow("text: 2000 characters") << "text" << QString(2000, QChar(0x0416)) << "";
    QTest::newRow("text: 2001 characters") << "text" << QString(2001, QChar(0x0416))
                                           << "Отзыв не может превышать 2000 символов";
    QTest::newRow("text: empty") << "text" << "" << "Отзыв не может быть пустым";
    QTest::newRow("e-mail: hyphen, en dash, underscore") << "email" << "a-b–c_d@mail-server.ru" << "";
    QTest::newRow("e-mail: no dot in the domain") << "email" << "anna@localhost" << badEmail;
    QTest::newRow("microphone: blanks simplified") << "microphone" << "  USB \t Mic\n" << "USB Mic";
}

void TestFeedbackViewModel::validators()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    ValidationArgs args{text, QString()};
    if (field == QLatin1String("text"))
        FeedbackViewModel::ValidateFeedbackText(&args);
    else if (field == QLatin1String("email"))
        FeedbackViewModel::ValidateEmail(&args);
    QTEST(field == QLatin1String("microphone") ? FeedbackViewModel::microphoneDisplayName(text) : args.Error, "result");
}

void TestFeedbackViewModel::sending_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("draft");
    QTest::addColumn<bool>("consent");
    QTest::addColumn<bool>("started");
    QTest::addColumn<QString>("notification");

    const QString failed = QStringLiteral("Не удалось отправить отзыв");
    QTest::newRow("accepted: the draft goes") << "ok" << Report << true << true << "Ваш отзыв был успешно отправлен!";
    QTest::newRow("refused by the server: the draft stays") << "error" << Report << true << true << failed;
    QTest::newRow("server gone: the draft stays") << "gone" << Report << true << true << failed;
    QTest::newRow("no consent: nothing sent") << "ok" << Report << false << false << "";
    QTest::newRow("stored draft too long: nothing sent") << "ok" << QString(2001, QChar(0x0416)) << true << false
                                                         << "";
}

void TestFeedbackViewModel::sending()
{
    QFETCH(QString, server);
    QFETCH(QString, draft);
    QFETCH(bool, consent);
    QFETCH(bool, started);

    if (server == QLatin1String("error"))
        claimReply = FakeHttpResponse::json(R"({"Error":{"Text":"Ошибка сервера","DebugText":"db"},"Data":null})");
    loadForm(draft);
    model->set_UserConsentRequested(consent);
    // A stored draft is not checked before the user sends it.
    QCOMPARE(model->get_SendEnabled(), consent);
    if (server == QLatin1String("gone"))
        http->close();
    if (server != QLatin1String("ok"))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(".")));

    QSignalSpy notified(model.get(), &FeedbackViewModel::notifyUser);
    QCOMPARE(model->applyCommand(), started);
    if (!started) {
        QVERIFY(!model->get_SendEnabled());
        QCOMPARE(notified.count(), 0);
        QCOMPARE(http->requestCount(), 1); // the theme list only
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(notified.count(), 1, TestHome::scaled(15000));
    QTEST(notified.at(0).at(0).value<UserNotification>().title(), "notification");
    const bool accepted = server == QLatin1String("ok");
    QCOMPARE(storedText(), accepted ? QString() : draft);
    QCOMPARE(QString(FeedbackSettings().ThemeName), accepted ? QString() : QStringLiteral("Терапия"));
    QCOMPARE(QString(FeedbackSettings().FullName), QStringLiteral("Иванова Анна Сергеевна"));
    QVERIFY(model->get_SendEnabled());
    if (server == QLatin1String("gone"))
        return;

    const FakeHttpRequest posted = http->requests().constLast();
    QCOMPARE(posted.method + ' ' + posted.target, QByteArray("POST /api/Claim"));
    const QJsonObject claim = QJsonDocument::fromJson(posted.body).object();
    const QJsonObject expected{
        {"ThemeName", "Терапия"},
        {"ThemeVersion", "3"},
        {"Email", "anna.ivanova@gp12.example.ru"},
        {"RegionCode", "77"},
        {"OrganisationFullName", "ГБУЗ «ГП № 12»"},
        {"OrganisationPsrn", "1027700000012"},
        {"OrganisationOid", "1.2.643.5.1.13"},
        {"Room", "12б"},
        {"OperatingSystem", UserInfo::instance()->environment()},
        {"ClientId", ClientInfoSettings().getOrCreateDesktopId()},
        {"HostName", UserInfo::instance()->hostName()},
        {"Account", "dictator"},
        {"UserName", "Иванова Анна Сергеевна"},
        {"Description", Report},
        {"MicrophoneInfo",
         QJsonObject{{"MicHwId", "long_mic"}, {"MicDisplayName", LongMicrophone.left(124) + "..."}, {"MicLevel", 73}}},
    };
    QCOMPARE(claim, expected);
}

void TestFeedbackViewModel::sendingLeavesTheWindowResponsive()
{
    loadForm(Report);
    gated = true;
    QSignalSpy notified(model.get(), &FeedbackViewModel::notifyUser);
    QVERIFY(model->applyCommand());
    // The server holds the claim until this thread lets it go: a blocking send would never get here.
    QVERIFY(model->isSending());
    QVERIFY(!model->get_SendEnabled());
    QVERIFY(!model->applyCommand());

    // Reopened meanwhile, edited and kept: that draft is not the one sent.
    model->onLoad();
    QCOMPARE(model->get_FeedbackText()->get_Text(), Report);
    const QString edited = Report + QStringLiteral(" EDITED");
    model->get_FeedbackText()->set_Text(edited);
    answerQuestion(QMessageBox::Yes);
    QVERIFY(model->cancelCommand());

    claimGate.release();
    QTRY_COMPARE_WITH_TIMEOUT(notified.count(), 1, TestHome::scaled(5000));
    QCOMPARE(notified.at(0).at(0).value<UserNotification>().title(),
             QStringLiteral("Ваш отзыв был успешно отправлен!"));
    QCOMPARE(http->requestCount(), 2);
    QVERIFY(model->get_SendEnabled());
    QCOMPARE(storedText(), edited);
}

void TestFeedbackViewModel::draftThemeIsSelectedAgain_data()
{
    QTest::addColumn<QString>("themeId");
    QTest::addColumn<bool>("listComesLate");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("selected");

    for (const bool late : {false, true}) {
        const char* when = late ? ", list late" : "";
        QTest::addRow("still offered%s", when) << "t2" << late << QStringList{"Терапия", "Хирургия"} << "Хирургия";
        QTest::addRow("no longer offered: an extra last entry%s", when)
            << "t9" << late << QStringList{"Терапия", "Хирургия", "Неврология"} << "Неврология";
        QTest::addRow("no draft theme: the chooser's own%s", when)
            << "" << late << QStringList{"Терапия", "Хирургия"} << "Терапия";
    }
}

void TestFeedbackViewModel::draftThemeIsSelectedAgain()
{
    QFETCH(QString, themeId);
    QFETCH(bool, listComesLate);

    storeDraft(Report, themeId, QStringLiteral("Неврология"));
    if (listComesLate) {
        model.reset();
        asr = std::make_unique<AsrManager>(nullptr);
        model = std::make_unique<FeedbackViewModel>(asr.get(), audio->RecordingManager());
    }
    ThemeChooseViewModel* chooser = model->themeChooser();
    QSignalSpy refilled(chooser, &ThemeChooseViewModel::choicesRefilled);
    model->onLoad();
    if (listComesLate)
        QVERIFY(refilled.wait(TestHome::scaled(5000)));
    QStringList names;
    for (int i = 0; i < chooser->choices()->count(); ++i)
        names << chooser->choices()->itemAt(i)->get_Name();
    QTEST(names, "listed");
    QVERIFY(chooser->get_SelectedTheme());
    QTEST(chooser->get_SelectedTheme()->get_Name(), "selected");
    QVERIFY(chooser->selectedIndexField()->get_IsValid());
}

void TestFeedbackViewModel::closing_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("draft");
    QTest::addColumn<bool>("identityKept");

    const QString edited = Report + QStringLiteral(" два раза в день");
    QTest::newRow("unchanged: no question") << Report << int(QMessageBox::NoButton) << true << Report << true;
    QTest::newRow("changed, Yes: kept as the draft") << edited << int(QMessageBox::Yes) << true << edited << true;
    QTest::newRow("changed, No: the old draft stays") << edited << int(QMessageBox::No) << true << Report << false;
    QTest::newRow("changed, Cancel: stays open") << edited << int(QMessageBox::Cancel) << false << Report << false;
}

// The name and e-mail go with the draft: kept where the form is kept, never
// where the user said "Нет" (a cleared name must not wipe the stored one).
void TestFeedbackViewModel::closing()
{
    QFETCH(QString, typed);
    QFETCH(int, answer);
    QFETCH(bool, identityKept);

    const QString storedName = QStringLiteral("Петров Пётр Ильич");
    {
        FeedbackSettings draft;
        draft.FullName = storedName;
        draft.sync();
    }
    loadForm(Report);
    model->get_FeedbackText()->set_Text(typed);
    model->get_Email()->set_Text(QStringLiteral("a.petrova@example.ru"));
    model->get_FullName()->set_Text(QString());
    if (answer != QMessageBox::NoButton)
        answerQuestion(QMessageBox::StandardButton(answer));
    QTEST(model->cancelCommand(), "closes");
    QTEST(storedText(), "draft");
    QCOMPARE(QString(FeedbackSettings().Email), identityKept ? "a.petrova@example.ru" : "anna.ivanova@gp12.example.ru");
    QCOMPARE(QString(FeedbackSettings().FullName), identityKept ? QString() : storedName);
}

void TestFeedbackViewModel::fullNameSource_data()
{
    QTest::addColumn<QString>("profileName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("stored");

    const QString profile = QStringLiteral("Иванова Анна Сергеевна");
    const QString feedback = QStringLiteral("Петров Пётр Ильич");
    QTest::newRow("the profile's name") << profile << "-" << profile << profile;
    // No reference lists, so no profile window: the name typed here last time.
    QTest::newRow("a profile without a name: the stored one") << "" << "-" << feedback << feedback;
    QTest::newRow("cleared by the user") << "" << "" << feedback << "";
}

void TestFeedbackViewModel::fullNameSource()
{
    QFETCH(QString, profileName);
    QFETCH(QString, typed);

    storeDraft(Report, QString(), QString());
    {
        FeedbackSettings draft;
        draft.FullName = QStringLiteral("Петров Пётр Ильич");
        draft.sync();
        ProfileFile user(ProfileFile::userFile());
        user.setValue(QStringLiteral("UserInfo/UserName"), profileName);
    }
    model->onLoad();
    QTEST(model->get_FullName()->get_Text(), "shown");
    if (typed != QLatin1String("-"))
        model->get_FullName()->set_Text(typed);
    QVERIFY(model->cancelCommand());
    QTEST(QString(FeedbackSettings().FullName), "stored");
}

void TestFeedbackViewModel::errorsOnceTouchedOrSent()
{
    storeDraft(QString(), QString(), QString());
    {
        FeedbackSettings draft;
        draft.Email = QStringLiteral("anna@localhost");
        draft.sync();
    }
    model->onLoad();
    const QList<ValidatableText*> fields{model->get_FeedbackText(), model->get_Email(), model->get_FullName()};
    const auto errors = [&fields] {
        QStringList shown;
        for (const ValidatableText* field : fields)
            shown << (field->get_Error().isEmpty() ? QStringLiteral("-") : QStringLiteral("error"));
        return shown;
    };
    // Opened on an empty text, a bad stored address and no name: nothing red yet.
    QCOMPARE(errors(), (QStringList{"-", "-", "-"}));

    model->get_Email()->set_Text(QStringLiteral("anna@localhost."));
    QCOMPARE(errors(), (QStringList{"-", "error", "-"}));
    QVERIFY(!model->applyCommand());
    QCOMPARE(errors(), (QStringList{"error", "error", "error"}));
    QVERIFY(!model->get_SendEnabled());

    // Reopened: the form starts clean again.
    model->onLoad();
    QCOMPARE(errors(), (QStringList{"-", "-", "-"}));
}

QTEST_MAIN(TestFeedbackViewModel)
#include "TestFeedbackViewModel.moc"
