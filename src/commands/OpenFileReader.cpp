#include "OpenFileReader.h"

#include "AppVariables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtDebug>
#include <QtEndian>

#include <exception>
#include <vector>

namespace {
const QString ContentFile = QStringLiteral("content.xml");
constexpr qint64 ChunkBytes = 64 * 1024;

// The next piece of the stream; empty at its end or, with *stopped set, at the
// deadline or a cancellation.
QByteArray nextChunk(QIODevice* device, const QDeadlineTimer& deadline, const CancellationCondition* cancellation,
                     OpenFileReader::Failure* stopped)
{
    auto* process = qobject_cast<QProcess*>(device);
    while (device->bytesAvailable() == 0) {
        if (cancellation && cancellation->isCanceled()) {
            *stopped = OpenFileReader::Canceled;
            return QByteArray();
        }
        if (deadline.hasExpired()) {
            *stopped = OpenFileReader::TimedOut;
            return QByteArray();
        }
        const int wait = int(CancellationCondition::waitSlice(deadline, cancellation));
        if (device->waitForReadyRead(wait))
            continue;
        if (!process || process->state() == QProcess::NotRunning)
            return device->read(ChunkBytes);
        // Its output is closed but it has not ended yet, or the slice is over.
        process->waitForFinished(wait);
    }
    return device->read(ChunkBytes);
}

// Whether the archive's central directory marks the member as encrypted.
// unzip alone cannot tell: the empty password passes its one-byte check in
// about one archive of 256, and the member then reads as damaged data.
bool isEncryptedMember(const QString& archivePath, const QString& member)
{
    constexpr qint64 endRecordBytes = 22;
    constexpr qint64 maxCommentBytes = 0xFFFF;
    constexpr qint64 maxDirectoryBytes = 4 * 1024 * 1024;
    QFile archive(archivePath);
    if (!archive.open(QIODevice::ReadOnly) || archive.size() < endRecordBytes)
        return false;
    const qint64 tailBytes = qMin(archive.size(), endRecordBytes + maxCommentBytes);
    if (!archive.seek(archive.size() - tailBytes))
        return false;
    const QByteArray tail = archive.read(tailBytes);
    const int end = tail.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0 || tail.size() - end < endRecordBytes)
        return false;
    const auto* record = reinterpret_cast<const uchar*>(tail.constData() + end);
    const qint64 directoryBytes = qFromLittleEndian<quint32>(record + 12);
    const qint64 directoryOffset = qFromLittleEndian<quint32>(record + 16);
    if (directoryBytes > maxDirectoryBytes || !archive.seek(directoryOffset))
        return false;
    const QByteArray directory = archive.read(directoryBytes);
    const QByteArray name = member.toUtf8();
    constexpr int entryBytes = 46;
    for (int at = 0; directory.size() - at >= entryBytes;) {
        const auto* entry = reinterpret_cast<const uchar*>(directory.constData() + at);
        if (qFromLittleEndian<quint32>(entry) != 0x02014b50)
            return false;
        const int nameBytes = qFromLittleEndian<quint16>(entry + 28);
        const int next = at + entryBytes + nameBytes + qFromLittleEndian<quint16>(entry + 30)
                         + qFromLittleEndian<quint16>(entry + 32);
        if (next > directory.size())
            return false;
        if (directory.mid(at + entryBytes, nameBytes) == name)
            return qFromLittleEndian<quint16>(entry + 8) & 1;
        at = next;
    }
    return false;
}

// unzip's exit codes of archives it cannot use: not a zip file, damaged, content.xml missing.
bool isNotADocument(int unzipExitCode)
{
    return unzipExitCode == 2 || unzipExitCode == 3 || unzipExitCode == 9 || unzipExitCode == 11;
}
} // namespace

OpenFileReader::OpenFileReader(QObject* parent)
    : BaseFileReader(parent)
{
}

OpenFileReader::~OpenFileReader() = default;

QString OpenFileReader::FailureText(Failure failure)
{
    switch (failure) {
    case NoFailure:
        return QString();
    case NotFound:
        return QStringLiteral("Файла не существует");
    case NotAFile:
        return QStringLiteral("Не удалось открыть файл");
    case NoUnzip:
        return QStringLiteral("Не найдена программа unzip, без которой документы .odt не читаются");
    case NotADocument:
        return QStringLiteral("Файл повреждён или не является документом .odt");
    case Encrypted:
        return QStringLiteral("Документ защищён паролем");
    case ContentTooLarge:
        return QStringLiteral("Документ слишком большой: в распакованном виде он больше %1 МБ")
            .arg(DefaultMaxContentBytes / (1024 * 1024));
    case TooLong:
        return TextTooLong();
    case TooDeep:
        return QStringLiteral("Документ устроен слишком сложно: вложенность больше %1 уровней").arg(MaxDepth);
    case TimedOut:
        return QStringLiteral("Документ не удалось прочитать за отведённое время");
    case Canceled:
        return QStringLiteral("Чтение документа прервано");
    case ReadFailed:
        break;
    }
    return QStringLiteral("Произошла ошибка при чтении из файла");
}

QString OpenFileReader::ReadFile(QString path, QString* error)
{
    try {
        QString text;
        QString detail;
        const Failure failure = readContent(path, &text, &detail);
        if (failure == NoFailure)
            return text;
        // The path is the command's text and stays out of the log.
        qWarning().noquote() << "OpenFileReader:" << FailureText(failure) << (detail.isEmpty() ? QString() : "- " + detail);
        *error = FailureText(failure);
    } catch (const std::exception& e) {
        qWarning().noquote() << "OpenFileReader:" << e.what();
        *error = FailureText(ReadFailed);
    } catch (...) {
        *error = FailureText(ReadFailed);
    }
    return QString();
}

OpenFileReader::Failure OpenFileReader::readContent(const QString& path, QString* text, QString* detail) const
{
    const QFileInfo file(path);
    if (!file.exists())
        return NotFound;
    if (!file.isFile())
        return NotAFile;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (program.isEmpty())
        return NoUnzip;

    // Holds only a link (or a copy of the archive): unzip reads its archive
    // argument as a wildcard pattern, so it gets a plain name.
    const QString tempLocation = AppVariables::sm_stdVars.get(QStringLiteral("TempLocation"), QString());
    QDir().mkpath(tempLocation);
    QTemporaryDir folder(QDir(tempLocation).filePath(QStringLiteral("odt-XXXXXX")));
    const QString plainName = QDir(folder.path()).filePath(QStringLiteral("document.odt"));
    if (!folder.isValid()
        || (!QFile::link(file.absoluteFilePath(), plainName) && !QFile::copy(file.absoluteFilePath(), plainName))) {
        *detail = QStringLiteral("cannot reach the file from a temporary folder: ") + folder.errorString();
        return ReadFailed;
    }

    QProcess unzip;
    unzip.setProgram(program);
    // -p: content.xml goes to the pipe only, never to disk. A password
    // argument keeps unzip from asking for one on the terminal.
    unzip.setArguments({QStringLiteral("-qq"), QStringLiteral("-p"), QStringLiteral("-P"), QString(), plainName,
                        ContentFile});
    unzip.setStandardInputFile(QProcess::nullDevice());
    const QDeadlineTimer deadline(unzipTimeoutMs);
    unzip.start(QIODevice::ReadOnly);
    if (!unzip.waitForStarted(int(deadline.remainingTime()))) {
        *detail = QStringLiteral("unzip did not start: ") + unzip.errorString();
        return ReadFailed;
    }

    const Failure failure = readText(&unzip, deadline, text, detail);
    if (unzip.state() != QProcess::NotRunning) {
        // Stopped before the end of the stream: at a cap, at bad XML or at the deadline.
        unzip.kill();
        unzip.waitForFinished();
        return failure == NotADocument && isEncryptedMember(plainName, ContentFile) ? Encrypted : failure;
    }
    const int code = unzip.exitStatus() == QProcess::NormalExit ? unzip.exitCode() : -1;
    const QString messages = QString::fromLocal8Bit(unzip.readAllStandardError().left(500)).simplified();
    // unzip's code for "every file was skipped for a bad password".
    constexpr int badPassword = 82;
    const bool unreadable = (code != 0 && code != 1) || failure == NotADocument;
    if (code == badPassword || (unreadable && isEncryptedMember(plainName, ContentFile)))
        return Encrypted;
    if (isNotADocument(code)) {
        *detail = QStringLiteral("unzip exit code %1: %2").arg(code).arg(messages);
        return NotADocument;
    }
    // 1: warnings only, the content came through.
    if (code != 0 && code != 1) {
        *detail = QStringLiteral("unzip exit code %1: %2").arg(code).arg(messages);
        return ReadFailed;
    }
    return failure;
}

QString OpenFileReader::ReadText(QIODevice* content, QString* reason) const
{
    QString text;
    QString detail;
    const Failure failure = readText(content, QDeadlineTimer(QDeadlineTimer::Forever), &text, &detail);
    *reason = FailureText(failure);
    return failure == NoFailure ? text : QString();
}

OpenFileReader::Failure OpenFileReader::readText(QIODevice* content, const QDeadlineTimer& deadline, QString* text,
                                                 QString* detail) const
{
    QXmlStreamReader xml;
    text->clear();
    qint64 received = 0;
    bool ended = false;
    // The reader of each open element, none outside the text namespace.
    std::vector<const BaseElementReader*> open;
    // Depth of the outermost open element whose content is left out; -1 for none.
    int skippedFrom = -1;
    QByteArray chunk;
    // The next piece of the stream into chunk, empty at its end.
    const auto pull = [&]() {
        Failure stopped = NoFailure;
        chunk = nextChunk(content, deadline, cancellation.get(), &stopped);
        ended = chunk.isEmpty();
        received += chunk.size();
        return stopped != NoFailure ? stopped : received > maxContentBytes ? ContentTooLarge : NoFailure;
    };
    for (;;) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Invalid: {
            if (xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || ended) {
                *detail = QStringLiteral("content.xml %1:%2: %3")
                              .arg(xml.lineNumber())
                              .arg(xml.columnNumber())
                              .arg(xml.errorString());
                return NotADocument;
            }
            if (const Failure failure = pull(); failure != NoFailure)
                return failure;
            xml.addData(chunk);
            break;
        }
        case QXmlStreamReader::EndDocument:
            // The rest of the stream goes unread, but still under the cap.
            while (!ended) {
                if (const Failure failure = pull(); failure != NoFailure)
                    return failure;
            }
            return NoFailure;
        case QXmlStreamReader::StartElement: {
            if (open.size() >= MaxDepth)
                return TooDeep;
            if (skippedFrom < 0 && OpenDocumentElementReaderFactory::IsSkipped(xml.namespaceUri(), xml.name()))
                skippedFrom = int(open.size());
            const BaseElementReader* reader =
                skippedFrom < 0 ? factory.GetElementReader(xml.namespaceUri(), xml.name()) : nullptr;
            if (reader)
                *text += reader->GetPrefixText();
            open.push_back(reader);
            break;
        }
        case QXmlStreamReader::EndElement:
            if (open.back())
                *text += open.back()->GetPostfixText();
            open.pop_back();
            if (skippedFrom == int(open.size()))
                skippedFrom = -1;
            break;
        case QXmlStreamReader::Characters:
            if (!open.empty() && open.back() && !xml.isCDATA()) {
                if (text->size() + xml.text().size() > MaxTextLength)
                    return TooLong;
                *text += xml.text();
            }
            break;
        default:
            break;
        }
        if (text->size() > MaxTextLength)
            return TooLong;
    }
}
