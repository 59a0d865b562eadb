#pragma once

#include "ClientClaim.h"
#include "UserNotification.h"
#include "ValidatableText.h"

#include <QFutureWatcher>
#include <QObject>
#include <QRegularExpression>
#include <QString>

class AsrManager;
class RecordingDeviceManager;
class ThemeChooseViewModel;

// The feedback form: a badly recognised word or phrase reported to the server
// as a claim, with the theme, the user's name and e-mail and the profile. An
// unsent report stays as a draft in the "Feedback" settings group. The model
// lives in the GUI thread; the claim is sent from a pool thread, so the window
// stays responsive for the request's time limit.
class FeedbackViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QObject* ThemeChooseViewModel READ get_ThemeChooseViewModel NOTIFY changed_ThemeChooseViewModel)
    Q_PROPERTY(ValidatableText* FeedbackText READ get_FeedbackText WRITE set_FeedbackText NOTIFY changed_FeedbackText)
    Q_PROPERTY(ValidatableText* Email READ get_Email WRITE set_Email NOTIFY changed_Email)
    Q_PROPERTY(ValidatableText* FullName READ get_FullName WRITE set_FullName NOTIFY changed_FullName)
    Q_PROPERTY(QString RegionCode READ get_RegionCode WRITE set_RegionCode NOTIFY changed_RegionCode)
    Q_PROPERTY(QString OrganisationFullName READ get_OrganisationFullName WRITE set_OrganisationFullName
                   NOTIFY changed_OrganisationFullName)
    Q_PROPERTY(QString OrganisationFullOgrn READ get_OrganisationFullOgrn WRITE set_OrganisationFullOgrn
                   NOTIFY changed_OrganisationFullOgrn)
    Q_PROPERTY(QString OrganisationFullOid READ get_OrganisationFullOid WRITE set_OrganisationFullOid
                   NOTIFY changed_OrganisationFullOid)
    Q_PROPERTY(QString Room READ get_Room WRITE set_Room NOTIFY changed_Room)
    Q_PROPERTY(bool UserConsentRequested READ get_UserConsentRequested WRITE set_UserConsentRequested
                   NOTIFY changed_UserConsentRequested)
    Q_PROPERTY(bool IsCloseConfirmed READ get_IsCloseConfirmed WRITE set_IsCloseConfirmed NOTIFY changed_IsCloseConfirmed)
    Q_PROPERTY(bool UserConsentVisible READ get_UserConsentVisible WRITE set_UserConsentVisible
                   NOTIFY changed_UserConsentVisible)
    Q_PROPERTY(QString Tooltip READ get_Tooltip WRITE set_Tooltip NOTIFY changed_Tooltip)
    Q_PROPERTY(QString TooltipUserConsent READ get_TooltipUserConsent WRITE set_TooltipUserConsent
                   NOTIFY changed_TooltipUserConsent)
    Q_PROPERTY(bool SendEnabled READ get_SendEnabled NOTIFY changed_SendEnabled)

public:
    static constexpr int MaxFeedbackLength = 2000;

    FeedbackViewModel(AsrManager* asrManager, RecordingDeviceManager* recordingManager, QObject* parent = nullptr);
    ~FeedbackViewModel() override;

    QObject* get_ThemeChooseViewModel() const;
    ValidatableText* get_FeedbackText() const { return feedbackText; }
    ValidatableText* get_Email() const { return email; }
    ValidatableText* get_FullName() const { return fullName; }
    QString get_RegionCode() const { return regionCode; }
    QString get_OrganisationFullName() const { return organisationFullName; }
    QString get_OrganisationFullOgrn() const { return organisationFullOgrn; }
    QString get_OrganisationFullOid() const { return organisationFullOid; }
    QString get_Room() const { return room; }
    bool get_UserConsentRequested() const { return userConsentRequested; }
    bool get_IsCloseConfirmed() const { return isCloseConfirmed; }
    bool get_UserConsentVisible() const { return userConsentVisible; }
    QString get_Tooltip() const { return tooltip; }
    QString get_TooltipUserConsent() const { return tooltipUserConsent; }
    // Every field valid, consent given, and no claim on its way.
    bool get_SendEnabled() const;

    ThemeChooseViewModel* themeChooser() const { return themeChoose; }
    // Whether a claim is on its way.
    bool isSending() const { return sending.isRunning(); }

    static void ValidateFeedbackText(ValidationArgs* args);
    static void ValidateEmail(ValidationArgs* args);

    // A description as the claim carries it: blanks simplified, at most 126 characters.
    static QString microphoneDisplayName(const QString& description);

    Q_INVOKABLE void onLoad();
    // Starts sending a valid form; false, sending nothing, otherwise.
    Q_INVOKABLE bool applyCommand();
    // Whether the window may close; asks about keeping a changed text as the draft.
    Q_INVOKABLE bool cancelCommand();
    Q_INVOKABLE bool isValid();

public slots:
    void set_FeedbackText(ValidatableText* value);
    void set_Email(ValidatableText* value);
    void set_FullName(ValidatableText* value);
    void set_RegionCode(QString value);
    void set_OrganisationFullName(QString value);
    void set_OrganisationFullOgrn(QString value);
    void set_OrganisationFullOid(QString value);
    void set_Room(QString value);
    void set_UserConsentRequested(bool value);
    void set_IsCloseConfirmed(bool value);
    void set_UserConsentVisible(bool value);
    void set_Tooltip(QString value);
    void set_TooltipUserConsent(QString value);

signals:
    void changed_ThemeChooseViewModel(QObject* chooser);
    void changed_FeedbackText(ValidatableText* field);
    void changed_Email(ValidatableText* field);
    void changed_FullName(ValidatableText* field);
    void changed_RegionCode(QString value);
    void changed_OrganisationFullName(QString value);
    void changed_OrganisationFullOgrn(QString value);
    void changed_OrganisationFullOid(QString value);
    void changed_Room(QString value);
    void changed_UserConsentRequested(bool value);
    void changed_IsCloseConfirmed(bool value);
    void changed_UserConsentVisible(bool value);
    void changed_Tooltip(QString value);
    void changed_TooltipUserConsent(QString value);
    void changed_SendEnabled(bool enabled);
    void notifyUser(UserNotification userNotification);

private slots:
    void isValidChanged(bool isValid = true);
    void onSendFinished();

private:
    void load();
    bool apply();
    bool cancel();
    void loadDraftAndProfile();
    void selectDraftTheme(const QString& id, const QString& themeId, const QString& version, const QString& name);
    void onThemesRefilled(const QString& previousId);
    void storeIdentity();
    void saveDraft();
    void clearSentDraft();
    ClientClaim buildClaim() const;
    void notify(const QString& title, const QString& message, NotificationType type);
    // The question on closing with a changed text: Yes, No or Cancel.
    int askToKeepDraft();

    static const QRegularExpression emailPattern;

    // The report on its way: only that draft is cleared once the server has it.
    struct SentDraft
    {
        QString text;
        QString themeId;
    };

    RecordingDeviceManager* recordingManager;
    ThemeChooseViewModel* themeChoose;
    ValidatableText* feedbackText;
    ValidatableText* email;
    ValidatableText* fullName;
    QString regionCode;
    QString organisationFullName;
    QString organisationFullOgrn;
    QString organisationFullOid;
    QString room;
    bool userConsentRequested = false;
    bool isCloseConfirmed = false;
    QString tooltip;
    QString tooltipUserConsent;
    bool userConsentVisible = false;
    QFutureWatcher<bool> sending;
    SentDraft sentDraft;
    // The name shown at loading: an empty field the user did not clear never
    // replaces a stored name.
    QString loadedFullName;
};
