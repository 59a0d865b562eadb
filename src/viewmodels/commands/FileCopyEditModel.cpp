#include "FileCopyEditModel.h"

#include "FileDialogSettings.h"
#include "TransientDialog.h"

#include <QFileDialog>

FileCopyEditModel::FileCopyEditModel(CommandsCollectionViewModel* collection)
    : CommandEditModel(UserCommandNamespace::FileCopy, collection)
    , filePath(createSecondField(&FileCopyEditModel::ValidateFilePath))
{
    connect(filePath, &ValidatableText::changed_Text, this, &FileCopyEditModel::ReloadPreview, Qt::DirectConnection);
}

FileCopyEditModel::FileCopyEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection)
    : CommandEditModel(row, collection)
    , filePath(createSecondField(&FileCopyEditModel::ValidateFilePath))
{
    connect(filePath, &ValidatableText::changed_Text, this, &FileCopyEditModel::ReloadPreview, Qt::DirectConnection);
    ReloadPreview(filePath->get_Text());
}

FileCopyEditModel::~FileCopyEditModel() = default;

bool FileCopyEditModel::validate()
{
    return validateWith(filePath);
}

void FileCopyEditModel::copyTo(UserCommandViewModel* row)
{
    copyWith(row, filePath);
}

void FileCopyEditModel::ValidateFilePath(ValidationArgs* args)
{
    if (args->Text.trimmed().isEmpty())
        args->Error = tr("Путь к файлу не может быть пустым");
}

void FileCopyEditModel::ReloadPreview(const QString& path)
{
    QString content;
    QString error;
    if (!path.isEmpty())
        content = reader.ReadFile(path, &error);
    isError = !error.isEmpty();
    previewText = isError ? error : content;
    emit changed_IsError(isError);
    emit changed_PreviewText(previewText);
}

void FileCopyEditModel::selectFile()
{
    FileDialogSettings settings;
    const QString last = settings.LastFilePath;
    QFileDialog dialog(nullptr, tr("Выбрать файл"), last, tr("Text files (*.txt *.odt)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (TransientDialog::exec(dialog) != QDialog::Accepted)
        return;
    const QString chosen = dialog.selectedFiles().value(0);
    if (chosen.isEmpty())
        return;
    filePath->SetText(chosen);
    if (chosen != last) {
        settings.LastFilePath = chosen;
        settings.sync();
    }
}
