#pragma once

#include "BaseFileReader.h"
#include "OpenDocumentElementReaderFactory.h"

class QIODevice;

// Reads the text of an OpenDocument text file: the external unzip program
// extracts content.xml into a temporary folder, whose text elements are walked.
// Blocks the calling thread while unzip runs.
class OpenFileReader : public BaseFileReader
{
    Q_OBJECT

public:
    static constexpr int DefaultUnzipTimeoutMs = 30000;
    // Far deeper than any document an office program writes.
    static constexpr int MaxDepth = 512;

    explicit OpenFileReader(QObject* parent = nullptr);
    ~OpenFileReader() override;

    QString ReadFile(QString path, QString* error) override;

    // Extracts only content.xml; false with the reason in *reason when it is not there afterwards.
    bool UnzipFile(const QString& archive, const QString& folder, QString* reason) const;
    // The text of content.xml in one pass; empty with the reason in *reason
    // for bad XML, nesting deeper than MaxDepth or, as TextTooLong(), a text over MaxTextLength.
    QString ReadText(QIODevice* content, QString* reason) const;

    void setUnzipTimeout(int milliseconds) { unzipTimeoutMs = milliseconds; }

private:
    QString readContent(const QString& path, QString* reason) const;

    OpenDocumentElementReaderFactory factory;
    int unzipTimeoutMs = DefaultUnzipTimeoutMs;
};
