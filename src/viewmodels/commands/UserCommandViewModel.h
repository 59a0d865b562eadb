#pragma once

#include "UserCommand.h"
#include "UserCommandType.h"

#include <QObject>
#include <QString>

// One command as a row of the command editor. QML only reads it; the edit
// models write the phrase and the text. GUI thread only.
class UserCommandViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Pattern READ get_Pattern NOTIFY changed_Pattern)
    Q_PROPERTY(QString Text READ get_Text NOTIFY changed_Text)
    Q_PROPERTY(UserCommandType Type READ get_Type NOTIFY changed_Type)
    Q_PROPERTY(QString Id READ get_Id NOTIFY changed_Id)
    Q_PROPERTY(bool IsSystem READ get_IsSystem NOTIFY changed_IsSystem)
    Q_PROPERTY(QString Theme READ get_Theme NOTIFY changed_Theme)

public:
    // A new command of the theme, with a fresh id.
    UserCommandViewModel(UserCommandType type, const QString& theme, QObject* parent);
    UserCommandViewModel(const UserCommand& command, const QString& theme, QObject* parent);
    ~UserCommandViewModel() override;

    QString get_Pattern() const { return pattern; }
    QString get_Text() const { return text; }
    UserCommandType get_Type() const { return type; }
    QString get_Id() const { return id; }
    bool get_IsSystem() const { return isSystem; }
    QString get_Theme() const { return theme; }

    void set_Pattern(const QString& value);
    void set_Text(const QString& value);

    UserCommand get_UserCommand() const;

    // The server's dash and quote markers as the characters they stand for.
    static QString ConvertSpecialText(QString text);

signals:
    void changed_Pattern(QString pattern);
    void changed_Text(QString text);
    void changed_Type(UserCommandType type);
    void changed_Id(QString id);
    void changed_IsSystem(bool isSystem);
    void changed_Theme(QString theme);

private:
    QString pattern;
    QString text;
    UserCommandType type;
    QString id;
    bool isSystem = false;
    QString theme;
    // Not shown, but a rule loaded as punctuation is saved as one.
    bool isPunctuation = false;
};
