#pragma once

#include "PatternEditModel.h"

// An auto-replace rule: the phrase and the text that replaces it (at most 128
// characters, may be empty). GUI thread only.
class TextReplaceEditModel : public PatternEditModel
{
    Q_OBJECT
    Q_PROPERTY(QObject* Text READ get_Text NOTIFY changed_Text)

public:
    static constexpr int MaxTextLength = 128;

    TextReplaceEditModel(UserCommandType type, CommandsCollectionViewModel* collection);
    TextReplaceEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection);
    ~TextReplaceEditModel() override;

    QObject* get_Text() const { return text; }
    ValidatableText* textField() const { return text; }

    bool validate() override;

signals:
    void changed_Text(ValidatableText* text);

protected:
    void copyTo(UserCommandViewModel* row) override;

private:
    void ValidateText(ValidationArgs* args) const;

    ValidatableText* text;
};
