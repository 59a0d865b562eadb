#include "FeedbackViewModel.h"

#include "AppVariables.h"
#include "ClientInfoSettings.h"
#include "ClientThemeInfo.h"
#include "FeedbackSettings.h"
#include "ProfileFile.h"
#include "PropertyChange.h"
#include "RecordingDeviceManager.h"
#include "RestAccessPoint.h"
#include "StatisticsSettings.h"
#include "StatisticsViewModel.h"
#include "ThemeChooseViewModel.h"
#include "ThemeInfoViewModel.h"
#include "TransientDialog.h"
#include "UserInfo.h"
#include "ValidatableInt32.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJsonObject>
#include <QMessageBox>
#include <QtConcurrent>

#include <exception>

const QRegularExpression FeedbackViewModel::emailPattern(QStringLiteral(
    "^[A-Za-z\\d][A-Za-z-–_\\.\\d]{1,62}[A-Za-z\\d]\\@[A-Za-z\\d][A-Za-z-–_\\.\\d]{1,172}[A-Za-z\\d]\\.[A-Za-z]{2,15}$"));

namespace {
QString build(const char* key)
{
    return AppVariables::sm_stdVars.get(QStringLiteral("build"), QString::fromLatin1(key));
}

// Runs one QML call; an exception is logged and the call reports failure.
template<typename Call>
bool guarded(const char* method, Call call)
{
    try {
        return call();
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("Error in FeedbackViewModel::%1: %2")
                                    .arg(QLatin1String(method), QString::fromUtf8(e.what()));
    } catch (...) {
        qWarning().noquote() << QStringLiteral("Error in FeedbackViewModel::%1: unknown exception").arg(QLatin1String(method));
    }
    return false;
}
} // namespace

FeedbackViewModel::FeedbackViewModel(AsrManager* asrManager, RecordingDeviceManager* recordingManager, QObject* parent)
    : QObject(parent)
    , recordingManager(recordingManager)
    , themeChoose(new ThemeChooseViewModel(this))
    , feedbackText(new ValidatableText(this))
    , email(new ValidatableText(this))
    , fullName(new ValidatableText(this))
    , tooltip(QStringLiteral("Сообщите, если слово распознается неверно:\n\n"
                             "- Проверьте, что используется подходящий словарь.\n"
                             "- Напишите правильный вариант предложения, в котором возникает ошибка при распознавании.\n"
                             "- Нераспознанное слово заключите в двойные **звёздочки**\n"
                             "- После ударной гласной вставьте кавы”чку или апостро’ф.\n"
                             "- Нажмите «Отправить».\n"
                             "- Сообщите вашему системному администратору, что передали обратную связь в %1. %2")
                  .arg(build("ShortAppName"), build("ThemeUpdateText")))
    , tooltipUserConsent(
          QStringLiteral("Для отправки обратной связи вы должны согласиться на обработку персональных данных"))
{
    themeChoose->set_AsrManager(asrManager);
    feedbackText->setTextValidator(&FeedbackViewModel::ValidateFeedbackText);
    email->setTextValidator(&FeedbackViewModel::ValidateEmail);
    fullName->setTextValidator(&StatisticsViewModel::ValidateUserFullName);
    for (ValidatableText* field :
         std::initializer_list<ValidatableText*>{feedbackText, email, fullName, themeChoose->selectedIndexField()})
        connect(field, &ValidatableText::changed_IsValid, this, &FeedbackViewModel::isValidChanged);
    connect(&sending, &QFutureWatcher<bool>::finished, this, &FeedbackViewModel::onSendFinished);
    connect(themeChoose, &ThemeChooseViewModel::choicesRefilled, this, &FeedbackViewModel::onThemesRefilled);
    // A claim on its way ends before the program does (at most the request's time limit).
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { sending.waitForFinished(); });
}

FeedbackViewModel::~FeedbackViewModel()
{
    sending.waitForFinished();
}

QObject* FeedbackViewModel::get_ThemeChooseViewModel() const
{
    return themeChoose;
}

bool FeedbackViewModel::get_SendEnabled() const
{
    return feedbackText->get_IsValid() && themeChoose->selectedIndexField()->get_IsValid() && email->get_IsValid()
        && fullName->get_IsValid() && userConsentRequested && !sending.isRunning();
}

bool FeedbackViewModel::isValid()
{
    isValidChanged();
    return get_SendEnabled();
}

void FeedbackViewModel::isValidChanged(bool)
{
    emit changed_SendEnabled(get_SendEnabled());
}

void FeedbackViewModel::ValidateFeedbackText(ValidationArgs* args)
{
    if (args->Text.isEmpty())
        args->Error = QStringLiteral("Отзыв не может быть пустым");
    else if (args->Text.size() > MaxFeedbackLength)
        args->Error = QStringLiteral("Отзыв не может превышать %1 символов").arg(MaxFeedbackLength);
}

void FeedbackViewModel::ValidateEmail(ValidationArgs* args)
{
    if (!emailPattern.match(args->Text).hasMatch())
        args->Error = QStringLiteral(
            "Проверьте, что вы ввели правильный адрес электронной почты. Убедитесь, что есть символ @ и точка");
}

QString FeedbackViewModel::microphoneDisplayName(const QString& description)
{
    const QString name = description.simplified();
    return name.size() > 126 ? name.left(124) + QStringLiteral("...") : name;
}

void FeedbackViewModel::onLoad()
{
    guarded("onLoad", [this] {
        load();
        return true;
    });
}

bool FeedbackViewModel::applyCommand()
{
    return guarded("applyCommand", [this] { return apply(); });
}

bool FeedbackViewModel::cancelCommand()
{
    // A failure must not trap the user in the window.
    bool mayClose = true;
    guarded("cancelCommand", [this, &mayClose] { return mayClose = cancel(); });
    return mayClose;
}

void FeedbackViewModel::load()
{
    // Offline the list stays empty and the chooser says why; a list on its way fills it in.
    themeChoose->Load();
    themeChoose->Validate();
    set_UserConsentVisible(build("UserConsent").toLower() == QLatin1String("true"));
    // Errors show once the user edits a field or sends: not over a form just opened.
    loadDraftAndProfile();
    isValidChanged();
}

void FeedbackViewModel::loadDraftAndProfile()
{
    const ProfileFile organisation(ProfileFile::organisationFile());
    const auto read = [](const ProfileFile& file, const char* key) { return file.text(QLatin1String(key)); };
    set_RegionCode(read(organisation, "Organisation/RegionCode"));
    set_OrganisationFullName(read(organisation, "Organisation/OrganisationFullName"));
    set_OrganisationFullOgrn(read(organisation, "Organisation/OrganisationPSRN"));
    set_OrganisationFullOid(read(organisation, "Organisation/OrganisationOid"));
    set_Room(read(organisation, "Organisation/Room"));

    FeedbackSettings draft;
    email->SetText(draft.Email);
    set_UserConsentRequested(draft.ConsentRequested);
    // Without the reference lists there is no profile window, so no name in it.
    QString name;
    if (StatisticsSettings().FillOrganisationUserInfo)
        name = read(ProfileFile(ProfileFile::userFile()), "UserInfo/UserName");
    if (name.isEmpty())
        name = draft.FullName;
    loadedFullName = name;
    fullName->SetText(name);
    feedbackText->SetText(draft.FeedbackText);
    const QString themeId = draft.ThemeId;
    if (!themeId.isEmpty())
        selectDraftTheme(draft.Id, themeId, draft.ThemeVersion, draft.ThemeName);
}

void FeedbackViewModel::selectDraftTheme(const QString& id, const QString& themeId, const QString& version,
                                         const QString& name)
{
    CollectionModel<ThemeInfoViewModel>* choices = themeChoose->choices();
    for (int i = 0; i < choices->count(); ++i) {
        if (choices->itemAt(i)->get_Id() == id) {
            themeChoose->selectedIndexField()->set_IntValue(i);
            return;
        }
    }
    // A theme the server no longer offers is still the one the report is about.
    const ClientThemeInfo theme(QJsonObject{{QStringLiteral("Id"), id},
                                            {QStringLiteral("ThemeId"), themeId},
                                            {QStringLiteral("Version"), version},
                                            {QStringLiteral("Name"), name}});
    choices->append(new ThemeInfoViewModel(theme, choices));
    themeChoose->selectedIndexField()->set_IntValue(choices->count() - 1);
}

void FeedbackViewModel::onThemesRefilled(const QString& previousId)
{
    guarded("onThemesRefilled", [this, &previousId] {
        // The draft's theme stays chosen when the arriving list no longer offers it.
        FeedbackSettings draft;
        const ThemeInfoViewModel* selected = themeChoose->get_SelectedTheme();
        if (!previousId.isEmpty() && previousId == QString(draft.Id) && (!selected || selected->get_Id() != previousId))
            selectDraftTheme(draft.Id, draft.ThemeId, draft.ThemeVersion, draft.ThemeName);
        themeChoose->Validate();
        isValidChanged();
        return true;
    });
}

bool FeedbackViewModel::apply()
{
    if (sending.isRunning())
        return false;
    storeIdentity();
    if (!themeChoose->get_SelectedTheme()) {
        saveDraft();
        notify(QStringLiteral("Не удалось отправить отзыв"),
               QStringLiteral("Не выбран словарь. Дождитесь подключения к серверу, выберите словарь и отправьте отзыв "
                              "снова."),
               NotificationTypeCritical);
        return false;
    }
    // Every field again, so that each shows its error: an invalid claim is never
    // sent. Bottom up, so that the focus ends in the first invalid one.
    bool valid = true;
    for (ValidatableText* field : {feedbackText, email, fullName})
        valid = field->CheckAndSetFocus() && valid;
    valid = themeChoose->Validate() && valid;
    if (!valid || !userConsentRequested)
        return false;

    // Kept until the server has it: a failure or a crash loses nothing.
    saveDraft();
    sentDraft = {feedbackText->get_Text(), themeChoose->get_SelectedTheme()->get_Id()};
    ClientClaim claim = buildClaim();
    sending.setFuture(QtConcurrent::run([claim]() mutable {
        // The identity look-ups may be slow: here, not in the GUI thread.
        const UserInfo* user = UserInfo::instance();
        claim.setOperatingSystem(user->environment());
        claim.setHostName(user->hostName());
        RestAccessPoint server;
        return server.sendClaim(claim);
    }));
    isValidChanged();
    return true;
}

ClientClaim FeedbackViewModel::buildClaim() const
{
    const ThemeInfoViewModel* theme = themeChoose->get_SelectedTheme();
    ClientClaim claim;
    claim.setThemeName(theme->get_Name());
    claim.setThemeVersion(theme->get_Version());
    claim.setEmail(email->get_Text());
    claim.setRegionCode(regionCode);
    claim.setOrganisationFullName(organisationFullName);
    claim.setOrganisationFullOgrn(organisationFullOgrn);
    claim.setOrganisationFullOid(organisationFullOid);
    claim.setRoom(room);
    claim.setClientId(ClientInfoSettings().getOrCreateDesktopId());
    claim.setAccount(AppVariables::sm_stdVars.get(QStringLiteral("env"), QStringLiteral("USER")));
    claim.setUserName(fullName->get_Text());
    claim.setDescription(feedbackText->get_Text());
    MicrophoneInfo microphone;
    if (recordingManager) {
        microphone.setMicHwId(recordingManager->CurrentDevice().deviceName());
        microphone.setMicDisplayName(microphoneDisplayName(recordingManager->CurrentDevice().description()));
        microphone.setMicLevel(recordingManager->Gain());
    }
    claim.setMicrophoneInfo(microphone);
    return claim;
}

void FeedbackViewModel::onSendFinished()
{
    bool sent = false;
    try {
        sent = sending.result();
    } catch (...) {
        qWarning() << "Error in FeedbackViewModel::onSendFinished: the claim could not be sent";
    }
    if (sent) {
        clearSentDraft();
        notify(QStringLiteral("Ваш отзыв был успешно отправлен!"),
               QStringLiteral("Мы постараемся улучшить качество работы программы на основе вашего отзыва!\nСпасибо за "
                              "то, что вы с нами!"),
               NotificationTypeInformation);
    } else {
        notify(QStringLiteral("Не удалось отправить отзыв"),
               QStringLiteral("К сожалению, что-то пошло не так. Попробуйте снова через некоторое время или обратитесь "
                              "к системному администратору."),
               NotificationTypeCritical);
    }
    isValidChanged();
}

bool FeedbackViewModel::cancel()
{
    if (feedbackText->get_Text() == QString(FeedbackSettings().FeedbackText)) {
        storeIdentity();
        return true;
    }
    // "Нет" keeps nothing of the form: a name cleared or an address typed
    // then must not replace the stored ones.
    switch (askToKeepDraft()) {
    case QMessageBox::Yes:
        storeIdentity();
        saveDraft();
        return true;
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

int FeedbackViewModel::askToKeepDraft()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Обратная связь"),
                    QStringLiteral("Сохранить как черновик? Сохранённый черновик будет автоматически "
                                   "восстановлен при следующем открытии окна обратной связи."),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    return TransientDialog::exec(box);
}

void FeedbackViewModel::storeIdentity()
{
    FeedbackSettings draft;
    if (!fullName->get_Text().isEmpty() || !loadedFullName.isEmpty())
        draft.FullName = fullName->get_Text();
    draft.Email = email->get_Text();
    draft.ConsentRequested = userConsentRequested;
    draft.sync();
}

void FeedbackViewModel::saveDraft()
{
    FeedbackSettings draft;
    if (const ThemeInfoViewModel* theme = themeChoose->get_SelectedTheme()) {
        draft.Id = theme->get_Id();
        draft.ThemeId = theme->get_ThemeId();
        draft.ThemeVersion = theme->get_Version();
        draft.ThemeName = theme->get_Name();
    }
    draft.FeedbackText = feedbackText->get_Text();
    draft.sync();
}

void FeedbackViewModel::clearSentDraft()
{
    FeedbackSettings draft;
    // Reopened and kept with other text meanwhile: that is a new draft.
    if (QString(draft.FeedbackText) != sentDraft.text || QString(draft.Id) != sentDraft.themeId)
        return;
    draft.FeedbackText = QString();
    draft.Id = QString();
    draft.ThemeId = QString();
    draft.ThemeVersion = QString();
    draft.ThemeName = QString();
    draft.sync();
}

void FeedbackViewModel::notify(const QString& title, const QString& message, NotificationType type)
{
    UserNotification notification;
    notification.setForce(true);
    notification.setAction(NotificationActionShow);
    notification.setTitle(title);
    notification.setMessage(message);
    notification.setType(type);
    emit notifyUser(notification);
}

void FeedbackViewModel::set_FeedbackText(ValidatableText* value)
{
    changeProperty(this, feedbackText, value, &FeedbackViewModel::changed_FeedbackText);
}

void FeedbackViewModel::set_Email(ValidatableText* value)
{
    changeProperty(this, email, value, &FeedbackViewModel::changed_Email);
}

void FeedbackViewModel::set_FullName(ValidatableText* value)
{
    changeProperty(this, fullName, value, &FeedbackViewModel::changed_FullName);
}

void FeedbackViewModel::set_RegionCode(QString value)
{
    changeProperty(this, regionCode, value, &FeedbackViewModel::changed_RegionCode);
}

void FeedbackViewModel::set_OrganisationFullName(QString value)
{
    changeProperty(this, organisationFullName, value, &FeedbackViewModel::changed_OrganisationFullName);
}

void FeedbackViewModel::set_OrganisationFullOgrn(QString value)
{
    changeProperty(this, organisationFullOgrn, value, &FeedbackViewModel::changed_OrganisationFullOgrn);
}

void FeedbackViewModel::set_OrganisationFullOid(QString value)
{
    changeProperty(this, organisationFullOid, value, &FeedbackViewModel::changed_OrganisationFullOid);
}

void FeedbackViewModel::set_Room(QString value)
{
    changeProperty(this, room, value, &FeedbackViewModel::changed_Room);
}

void FeedbackViewModel::set_UserConsentRequested(bool value)
{
    changeProperty(this, userConsentRequested, value, &FeedbackViewModel::changed_UserConsentRequested);
    isValidChanged();
}

void FeedbackViewModel::set_IsCloseConfirmed(bool value)
{
    changeProperty(this, isCloseConfirmed, value, &FeedbackViewModel::changed_IsCloseConfirmed);
}

void FeedbackViewModel::set_UserConsentVisible(bool value)
{
    changeProperty(this, userConsentVisible, value, &FeedbackViewModel::changed_UserConsentVisible);
}

void FeedbackViewModel::set_Tooltip(QString value)
{
    changeProperty(this, tooltip, value, &FeedbackViewModel::changed_Tooltip);
}

void FeedbackViewModel::set_TooltipUserConsent(QString value)
{
    changeProperty(this, tooltipUserConsent, value, &FeedbackViewModel::changed_TooltipUserConsent);
}
