#pragma once

#include "UserCommandEditModel.h"
#include "ValidatableText.h"

// The spoken phrase of a command, with the auto-replace rules for it: not
// empty and no other row of the theme with the same phrase. GUI thread only.
class PatternEditModel : public UserCommandEditModel
{
    Q_OBJECT
    Q_PROPERTY(QObject* Pattern READ get_Pattern NOTIFY changed_Pattern)

public:
    PatternEditModel(UserCommandType type, CommandsCollectionViewModel* collection);
    PatternEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection);
    ~PatternEditModel() override;

    QObject* get_Pattern() const { return pattern; }
    ValidatableText* patternField() const { return pattern; }

    bool validate() override;

    // The phrase as it is stored: trimmed, inner white space one blank.
    static QString StoredPattern(const QString& text);

signals:
    void changed_Pattern(ValidatableText* pattern);

protected:
    void copyTo(UserCommandViewModel* row) override;
    virtual void ValidatePattern(ValidationArgs* args);
    // Another row of the theme, of any type, has the phrase as it would be stored.
    bool isDuplicate(const QString& text) const;

    // The action's field, holding the edited row's text.
    ValidatableText* createSecondField(ValidatableText::TextValidator validator);
    // The phrase first; the second field only when the phrase passes.
    bool validateWith(ValidatableText* second);
    void copyWith(UserCommandViewModel* row, ValidatableText* second);

private:
    ValidatableText* pattern;
};
