#include "OpenDocumentElementReaderFactory.h"

#include "ParagraphElementReader.h"
#include "SpaceElementReader.h"
#include "TabElementReader.h"

const QString OpenDocumentElementReaderFactory::TextNamespace =
    QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString OpenDocumentElementReaderFactory::OfficeNamespace =
    QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");

OpenDocumentElementReaderFactory::OpenDocumentElementReaderFactory()
{
    readers.insert(QStringLiteral("p"), new ParagraphElementReader);
    readers.insert(QStringLiteral("h"), new ParagraphElementReader);
    readers.insert(QStringLiteral("line-break"), new ParagraphElementReader);
    readers.insert(QStringLiteral("s"), new SpaceElementReader);
    readers.insert(QStringLiteral("tab"), new TabElementReader);
}

OpenDocumentElementReaderFactory::~OpenDocumentElementReaderFactory()
{
    qDeleteAll(readers);
}

const BaseElementReader* OpenDocumentElementReaderFactory::GetElementReader(const QStringRef& namespaceUri,
                                                                           const QStringRef& localName) const
{
    if (namespaceUri != TextNamespace)
        return nullptr;
    const BaseElementReader* reader = readers.value(localName.toString().toLower());
    return reader ? reader : &defaultReader;
}

bool OpenDocumentElementReaderFactory::IsSkipped(const QStringRef& namespaceUri, const QStringRef& localName)
{
    return (namespaceUri == OfficeNamespace && localName == QLatin1String("annotation"))
        || (namespaceUri == TextNamespace && localName == QLatin1String("tracked-changes"));
}
