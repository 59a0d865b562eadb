#pragma once

#include "UserCommand.h"

#include <QList>
#include <QMultiHash>
#include <QMap>
#include <QMultiMap>
#include <QObject>
#include <QRecursiveMutex>
#include <QRegularExpression>
#include <QString>
#include <QVector>

#include <memory>

class AsrManager;
class UserCommandsManager;

// Rewrites recognised text with the user's auto-replace rules: the Text
// commands common to all themes and those of the selected theme, each
// replacing its spoken phrase wherever it stands as whole words. Rebuilt when
// the commands, the selected theme or the recognition settings change; results
// are matched against a snapshot, so rebuilds and results never wait on each
// other. Lives in the GUI thread; ProcessText may be called from any thread.
class AutoReplaceManager : public QObject
{
    Q_OBJECT

public:
    struct Info
    {
        QString pattern;
        QString text;
        // The compiled rules hold one rule per distinct pattern text.
        bool operator<(const Info& other) const { return pattern < other.pattern; }
        bool operator==(const Info& other) const { return pattern == other.pattern; }
    };

    struct Entry
    {
        QString pattern;
        QString text;
        int start = 0;
        int length = 0;
    };

    explicit AutoReplaceManager(QObject* parent = nullptr);
    ~AutoReplaceManager() override;

    // Once only; a second call raises Exception.
    void set_Managers(AsrManager* asrManager, UserCommandsManager* userCommandsManager);

    QString ProcessText(QString text);

    static QRegularExpression CreateRegexp(const QString& pattern);
    void AppendThemeCommands(const QString& themeId);
    // Adds the Text commands of a list under the theme; a later pattern replaces an earlier one.
    void AppendCommands(const QString& themeId, const QList<UserCommand>& commands);
    QList<Entry> Process(const QString& text);
    static QList<Entry> GetTextAndCommands(const QList<Entry>& entries);

public slots:
    void OnRecognitionSettingsChanged();

private slots:
    void RefreshAllTextCommands();
    void asrThemeChanged();

private:
    struct Rule
    {
        QRegularExpression regexp;
        // Case-folded words of the phrase: a text that lacks one cannot match.
        QStringList words;
        int phraseGroup = 0;
    };

    // What results are matched against: a frozen copy of the compiled rules in
    // pattern order, with the rules indexed by how their phrase begins.
    struct Matcher
    {
        struct Compiled
        {
            Info info;
            Rule rule;
        };
        QVector<Compiled> rules;
        QMultiHash<quint64, int> byStart;
    };

    void clearRules();
    bool compile(const Info& info);
    void publishRules();
    static quint64 startKey(const QChar* text, int length);

    QRecursiveMutex mutex;
    QString currentThemeId;
    bool managersSet = false;
    AsrManager* asrManager = nullptr;
    UserCommandsManager* userCommandsManager = nullptr;
    QMultiMap<QString, Info> rulesByTheme;
    QMap<Info, Rule> compiledRules;
    std::shared_ptr<const Matcher> matcher;
};
