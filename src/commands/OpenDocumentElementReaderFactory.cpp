#include "OpenDocumentElementReaderFactory.h"

#include "ParagraphElementReader.h"
#include "SpaceElementReader.h"
#include "TabElementReader.h"

#include <QDomNode>

const QString OpenDocumentElementReaderFactory::TextNamespace =
    QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");

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

const BaseElementReader* OpenDocumentElementReaderFactory::GetElementReader(const QDomNode& node) const
{
    if (node.namespaceURI() != TextNamespace)
        return nullptr;
    const BaseElementReader* reader = readers.value(node.localName().toLower());
    return reader ? reader : &defaultReader;
}
