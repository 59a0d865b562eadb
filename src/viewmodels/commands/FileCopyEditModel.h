#pragma once

#include "CommandEditModel.h"

class BackgroundRunner;

// A command that types the text of a document: the phrase and the document,
// chosen in a file dialog, with a preview of the text it would type (or why
// it cannot be read), read in a thread of its own. GUI thread only.
class FileCopyEditModel : public CommandEditModel
{
    Q_OBJECT
    Q_PROPERTY(QObject* FilePath READ get_FilePath NOTIFY changed_FilePath)
    Q_PROPERTY(QString PreviewText READ get_PreviewText NOTIFY changed_PreviewText)
    Q_PROPERTY(bool IsError READ get_IsError NOTIFY changed_IsError)

public:
    explicit FileCopyEditModel(CommandsCollectionViewModel* collection);
    FileCopyEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection);
    ~FileCopyEditModel() override;

    QObject* get_FilePath() const { return filePath; }
    ValidatableText* filePathField() const { return filePath; }
    QString get_PreviewText() const { return previewText; }
    bool get_IsError() const { return isError; }

    bool validate() override;

    // Asks for the document; a cancelled dialog changes nothing.
    Q_INVOKABLE void selectFile();
    // Empties the preview, then shows the document's text or error once read.
    void ReloadPreview(const QString& path);

signals:
    void changed_FilePath(ValidatableText* filePath);
    void changed_PreviewText(QString previewText);
    void changed_IsError(bool isError);

protected:
    void copyTo(UserCommandViewModel* row) override;

private:
    static void ValidateFilePath(ValidationArgs* args);
    void showPreview(const QString& content, const QString& error);

    ValidatableText* filePath;
    QString previewText;
    bool isError = false;
    BackgroundRunner* previewReader;
    // Counts the reads asked for: only the last one is shown.
    quint64 previewReads = 0;
};
