#pragma once

#include "CommandEditModel.h"

// A command that starts a program: the phrase and the program's path. A file
// URL (from a file dialog) is stored as the local path it names. GUI thread only.
class ProcessExecuteEditModel : public CommandEditModel
{
    Q_OBJECT
    Q_PROPERTY(QObject* Text READ get_Text NOTIFY changed_Text)

public:
    ProcessExecuteEditModel(UserCommandType type, CommandsCollectionViewModel* collection);
    ProcessExecuteEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection);
    ~ProcessExecuteEditModel() override;

    QObject* get_Text() const { return text; }
    ValidatableText* textField() const { return text; }

    bool validate() override;

signals:
    void changed_Text(ValidatableText* text);

protected:
    void copyTo(UserCommandViewModel* row) override;

private:
    static void ValidateText(ValidationArgs* args);

    ValidatableText* text;
};
