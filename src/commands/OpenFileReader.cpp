#include "OpenFileReader.h"

#include "AppVariables.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtDebug>

#include <exception>

namespace {
const QString ContentFile = QStringLiteral("content.xml");

// QDomDocument's own parser drops text nodes that hold only blanks, and a
// blank between two differently formatted runs is such a node.
bool parseContent(QIODevice* device, QDomDocument* document, QString* reason)
{
    QXmlStreamReader xml(device);
    // Null until the first element: an empty QDomDocument has nothing to point at yet.
    QDomNode current;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            QDomElement element = document->createElementNS(xml.namespaceUri().toString(),
                                                            xml.qualifiedName().toString());
            current = (current.isNull() ? QDomNode(*document) : current).appendChild(element);
            break;
        }
        case QXmlStreamReader::EndElement:
            current = current.parentNode();
            break;
        case QXmlStreamReader::Characters:
            if (!current.isElement())
                break;
            if (xml.isCDATA())
                current.appendChild(document->createCDATASection(xml.text().toString()));
            else
                current.appendChild(document->createTextNode(xml.text().toString()));
            break;
        default:
            break;
        }
    }
    if (xml.hasError()) {
        *reason = QStringLiteral("content.xml %1:%2: %3")
                      .arg(xml.lineNumber())
                      .arg(xml.columnNumber())
                      .arg(xml.errorString());
        return false;
    }
    if (document->documentElement().isNull()) {
        *reason = QStringLiteral("content.xml holds no document element");
        return false;
    }
    return true;
}
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
            *error = QStringLiteral("Error While Reading the File");
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
    QDomDocument document;
    if (!parseContent(&content, &document, reason))
        return QString();
    content.close();

    QStringList parts;
    ReadTextElement(parts, document.documentElement());
    return parts.join(QString());
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
    unzip.setArguments({QStringLiteral("-qq"), plainName, ContentFile, QStringLiteral("-d"), folder});
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

void OpenFileReader::ReadTextElement(QStringList& parts, const QDomElement& element) const
{
    const BaseElementReader* reader = factory.GetElementReader(element);
    if (reader)
        parts.append(reader->GetPrefixText());
    for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.isElement())
            ReadTextElement(parts, child.toElement());
        else if (child.isText() && !child.isCDATASection() && reader)
            parts.append(child.nodeValue());
    }
    if (reader)
        parts.append(reader->GetPostfixText());
}
