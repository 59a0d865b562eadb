#include "ProcessExecuteEditModel.h"

#include <QUrl>

ProcessExecuteEditModel::ProcessExecuteEditModel(UserCommandType type, CommandsCollectionViewModel* collection)
    : CommandEditModel(type, collection)
    , text(createSecondField(&ProcessExecuteEditModel::ValidateText))
{
}

ProcessExecuteEditModel::ProcessExecuteEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection)
    : CommandEditModel(row, collection)
    , text(createSecondField(&ProcessExecuteEditModel::ValidateText))
{
}

ProcessExecuteEditModel::~ProcessExecuteEditModel() = default;

bool ProcessExecuteEditModel::validate()
{
    return validateWith(text);
}

void ProcessExecuteEditModel::copyTo(UserCommandViewModel* row)
{
    copyWith(row, text);
}

void ProcessExecuteEditModel::ValidateText(ValidationArgs* args)
{
    // Only what the file dialog hands over is a URL: a typed path stays as typed, "?" and "#" included.
    if (args->Text.startsWith(QLatin1String("file:"))) {
        const QUrl url(args->Text, QUrl::TolerantMode);
        if (url.isLocalFile())
            args->Text = url.toLocalFile();
    }
    if (args->Text.trimmed().isEmpty())
        args->Error = tr("Адрес программы не должен быть пустым");
}
