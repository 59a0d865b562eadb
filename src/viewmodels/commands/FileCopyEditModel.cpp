#include "FileCopyEditModel.h"

#include "BackgroundRunner.h"
#include "CompositeFileReader.h"
#include "FileDialogSettings.h"
#include "TransientDialog.h"

#include <QFileDialog>

#include <utility>

FileCopyEditModel::FileCopyEditModel(CommandsCollectionViewModel* collection)
    : CommandEditModel(UserCommandNamespace::FileCopy, collection)
    , filePath(createSecondField(&FileCopyEditModel::ValidateFilePath))
    , previewReader(new BackgroundRunner(QStringLiteral("DocumentPreview"), this))
{
    connect(filePath, &ValidatableText::changed_Text, this, &FileCopyEditModel::ReloadPreview, Qt::DirectConnection);
}

FileCopyEditModel::FileCopyEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection)
    : CommandEditModel(row, collection)
    , filePath(createSecondField(&FileCopyEditModel::ValidateFilePath))
    , previewReader(new BackgroundRunner(QStringLiteral("DocumentPreview"), this))
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
    const quint64 read = ++previewReads;
    showPreview(QString(), QString());
    if (path.isEmpty())
        return;
    const CancellationConditionPtr cancellation = previewReader->cancellation();
    using Preview = std::pair<QString, QString>;
    previewReader->run<Preview>(
        [path, cancellation](const CancellationCondition&) {
            CompositeFileReader reader;
            reader.setCancellation(cancellation);
            QString error;
            QString content = reader.ReadFile(path, &error);
            return Preview(content, error);
        },
        [this, read](const Preview& preview) {
            if (read == previewReads)
                showPreview(preview.first, preview.second);
        });
}

void FileCopyEditModel::showPreview(const QString& content, const QString& error)
{
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
