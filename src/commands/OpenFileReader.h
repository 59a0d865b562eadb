#pragma once

#include "BaseFileReader.h"
#include "CancellationCondition.h"
#include "OpenDocumentElementReaderFactory.h"

#include <QDeadlineTimer>

class QIODevice;

// Reads the text of an OpenDocument text file: the external unzip program
// streams content.xml through a pipe, and its text elements are walked as the
// bytes arrive. Nothing is unpacked to disk; what unzip may hand over, the
// text and the time are all capped. Blocks the calling thread while it reads;
// a cancellation ends the read and unzip within a blink.
class OpenFileReader : public BaseFileReader
{
    Q_OBJECT

public:
    static constexpr int DefaultUnzipTimeoutMs = 5000;
    // Far deeper than any document an office program writes.
    static constexpr int MaxDepth = 512;
    // content.xml of a document within the text limit stays well below this,
    // however much markup it carries; a bigger one is a packed bomb.
    static constexpr qint64 DefaultMaxContentBytes = 16 * 1024 * 1024;

    enum Failure { NoFailure, NotFound, NotAFile, NoUnzip, NotADocument, Encrypted,
                   ContentTooLarge, TooLong, TooDeep, TimedOut, ReadFailed, Canceled };

    explicit OpenFileReader(QObject* parent = nullptr);
    ~OpenFileReader() override;

    QString ReadFile(QString path, QString* error) override;

    // The text of a whole content.xml; empty with the user's reason in *reason
    // for bad XML, nesting deeper than MaxDepth, more bytes than the content
    // limit or, as TextTooLong(), a text over MaxTextLength.
    QString ReadText(QIODevice* content, QString* reason) const;
    // What the user is told, in Russian.
    static QString FailureText(Failure failure);

    void setUnzipTimeout(int milliseconds) { unzipTimeoutMs = milliseconds; }
    void setMaxContentBytes(qint64 bytes) { maxContentBytes = bytes; }
    void setCancellation(CancellationConditionPtr condition) { cancellation = std::move(condition); }

private:
    Failure readContent(const QString& path, QString* text, QString* detail) const;
    // Reads what arrives until the end of the stream, a failure or the deadline.
    Failure readText(QIODevice* content, const QDeadlineTimer& deadline, QString* text, QString* detail) const;

    OpenDocumentElementReaderFactory factory;
    int unzipTimeoutMs = DefaultUnzipTimeoutMs;
    qint64 maxContentBytes = DefaultMaxContentBytes;
    CancellationConditionPtr cancellation;
};
