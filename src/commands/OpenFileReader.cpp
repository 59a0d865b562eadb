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

#include <exception>
#include <vector>

namespace {
const QString ContentFile = QStringLiteral("content.xml");
} // namespace

OpenFileReader::OpenFileReader(QObject* parent)
    : BaseFileReader(parent)
{
}

OpenFileReader::~OpenFileReader() = default;

QString OpenFileReader::ReadFile(QString path, QString* error)
{
    try {
        QString reason;
        const QString text = readContent(path, &reason);
        if (!reason.isEmpty()) {
            // The path is the command's text and stays out of the log.
            qWarning().noquote() << "OpenFileReader:" << reason;
            *error = reason == TextTooLong() ? reason : QStringLiteral("Error While Reading the File");
            return QString();
        }
        return text;
    } catch (const std::exception& e) {
        *error = QString::fromUtf8(e.what());
    } catch (...) {
        *error = QStringLiteral("Can't read file");
    }
    return QString();
}

QString OpenFileReader::readContent(const QString& path, QString* reason) const
{
    const QString tempLocation = AppVariables::sm_stdVars.get(QStringLiteral("TempLocation"), QString());
    QDir().mkpath(tempLocation);
    QTemporaryDir folder(QDir(tempLocation).filePath(QStringLiteral("odt-XXXXXX")));
    if (!folder.isValid()) {
        *reason = QStringLiteral("no temporary folder: ") + folder.errorString();
        return QString();
    }
    if (!QFileInfo(path).isFile()) {
        *reason = QStringLiteral("no such file");
        return QString();
    }
    if (!UnzipFile(path, folder.path(), reason))
        return QString();

    QFile content(QDir(folder.path()).filePath(ContentFile));
    if (!content.open(QIODevice::ReadOnly)) {
        *reason = content.errorString();
        return QString();
    }
    return ReadText(&content, reason);
}

bool OpenFileReader::UnzipFile(const QString& archive, const QString& folder, QString* reason) const
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (program.isEmpty()) {
        *reason = QStringLiteral("the unzip program is missing");
        return false;
    }
    // unzip reads its archive argument as a wildcard pattern: hand it a plain name.
    const QString plainName = QDir(folder).filePath(QStringLiteral("document.odt"));
    const QString source = QFileInfo(archive).absoluteFilePath();
    if (!QFile::link(source, plainName) && !QFile::copy(source, plainName)) {
        *reason = QStringLiteral("cannot reach the file from the temporary folder");
        return false;
    }

    QProcess unzip;
    unzip.setProgram(program);
    // A password argument keeps unzip from asking for one on the terminal.
    unzip.setArguments({QStringLiteral("-qq"), QStringLiteral("-P"), QString(), plainName, ContentFile,
                        QStringLiteral("-d"), folder});
    unzip.setStandardInputFile(QProcess::nullDevice());
    unzip.setProcessChannelMode(QProcess::MergedChannels);
    unzip.start();
    if (!unzip.waitForStarted()) {
        *reason = QStringLiteral("unzip did not start: ") + unzip.errorString();
        return false;
    }
    if (!unzip.waitForFinished(unzipTimeoutMs)) {
        unzip.kill();
        unzip.waitForFinished();
        *reason = QStringLiteral("unzip took longer than %1 ms").arg(unzipTimeoutMs);
        return false;
    }
    // unzip's code for "every file was skipped for a bad password".
    constexpr int badPassword = 82;
    if (unzip.exitStatus() == QProcess::NormalExit && unzip.exitCode() == badPassword) {
        *reason = QStringLiteral("the document is encrypted");
        return false;
    }
    if (unzip.exitStatus() != QProcess::NormalExit || unzip.exitCode() != 0) {
        *reason = QStringLiteral("unzip failed with exit code %1: %2")
                      .arg(unzip.exitCode())
                      .arg(QString::fromLocal8Bit(unzip.readAll()).trimmed());
        return false;
    }
    if (!QFileInfo(QDir(folder).filePath(ContentFile)).isFile()) {
        *reason = QStringLiteral("the archive holds no content.xml");
        return false;
    }
    return true;
}

QString OpenFileReader::ReadText(QIODevice* content, QString* reason) const
{
    QXmlStreamReader xml(content);
    QString text;
    // The reader of each open element, none outside the text namespace.
    std::vector<const BaseElementReader*> open;
    // Depth of the outermost open element whose content is left out; -1 for none.
    int skippedFrom = -1;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (open.size() >= MaxDepth) {
                *reason = QStringLiteral("content.xml is nested deeper than %1 elements").arg(MaxDepth);
                return QString();
            }
            if (skippedFrom < 0 && OpenDocumentElementReaderFactory::IsSkipped(xml.namespaceUri(), xml.name()))
                skippedFrom = int(open.size());
            const BaseElementReader* reader =
                skippedFrom < 0 ? factory.GetElementReader(xml.namespaceUri(), xml.name()) : nullptr;
            if (reader)
                text += reader->GetPrefixText();
            open.push_back(reader);
            break;
        }
        case QXmlStreamReader::EndElement:
            if (open.back())
                text += open.back()->GetPostfixText();
            open.pop_back();
            if (skippedFrom == int(open.size()))
                skippedFrom = -1;
            break;
        case QXmlStreamReader::Characters:
            if (!open.empty() && open.back() && !xml.isCDATA())
                text += xml.text();
            break;
        default:
            break;
        }
        if (text.size() > MaxTextLength) {
            *reason = TextTooLong();
            return QString();
        }
    }
    if (xml.hasError()) {
        *reason = QStringLiteral("content.xml %1:%2: %3")
                      .arg(xml.lineNumber())
                      .arg(xml.columnNumber())
                      .arg(xml.errorString());
        return QString();
    }
    return text;
}
