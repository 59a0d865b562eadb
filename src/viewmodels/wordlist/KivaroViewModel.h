#pragma once

#include "UserNotification.h"
#include "ValidatableText.h"

#include <QObject>
#include <QRegularExpression>
#include <QString>

class AsrManager;
class LocalKivaroManager;

// The word-list window's model: the user's words as free text (Russian words
// between blanks, line ends, full stops and commas), saved and sent through
// the word-list manager. GUI thread only.
class KivaroViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(ValidatableText* KivaroWords READ get_KivaroWords WRITE set_KivaroWords NOTIFY changed_KivaroWords)
    Q_PROPERTY(bool IsCloseConfirmed READ get_IsCloseConfirmed WRITE set_IsCloseConfirmed NOTIFY changed_IsCloseConfirmed)
    Q_PROPERTY(QString Tooltip READ get_Tooltip WRITE set_Tooltip NOTIFY changed_Tooltip)
    Q_PROPERTY(bool CanSave READ get_CanSave NOTIFY changed_CanSave)

public:
    KivaroViewModel(AsrManager* asrManager, LocalKivaroManager* kivaroManager, QObject* parent = nullptr);
    ~KivaroViewModel() override;

    ValidatableText* get_KivaroWords() const { return kivaroWords; }
    bool get_IsCloseConfirmed() const { return isCloseConfirmed; }
    QString get_Tooltip() const { return tooltip; }
    bool get_CanSave() const { return kivaroWords->get_Error().isEmpty(); }

    Q_INVOKABLE void onLoad();
    // True when the words were stored and sent; the user is told either way.
    Q_INVOKABLE bool applyCommand();
    // True when the window may close: nothing unsaved, or the user lets it go.
    Q_INVOKABLE bool cancelCommand();

    static void ValidateKivaroWords(ValidationArgs* args);
    static QStringList SplitWords(const QString& text);

public slots:
    void set_KivaroWords(ValidatableText* words);
    void set_IsCloseConfirmed(bool confirmed);
    void set_Tooltip(QString text);

signals:
    void changed_KivaroWords(ValidatableText* words);
    void changed_IsCloseConfirmed(bool confirmed);
    void changed_Tooltip(QString text);
    void changed_CanSave(bool enabled);
    void notifyUser(UserNotification notification);

private slots:
    void isValidChanged(bool isValid);

private:
    bool saveWords();

    static const QRegularExpression m_validationRegEx;

    AsrManager* asrManager;
    LocalKivaroManager* kivaroManager;
    ValidatableText* kivaroWords;
    bool isCloseConfirmed = false;
    QString tooltip;
    QString loadedText;
};
