#pragma once

#include "BaseElementReader.h"
#include "ElementReaderFactory.h"

#include <QHash>
#include <QString>

// The readers of the OpenDocument text namespace, by lower-case local name.
class OpenDocumentElementReaderFactory : public ElementReaderFactory
{
public:
    OpenDocumentElementReaderFactory();
    ~OpenDocumentElementReaderFactory() override;
    OpenDocumentElementReaderFactory(const OpenDocumentElementReaderFactory&) = delete;
    OpenDocumentElementReaderFactory& operator=(const OpenDocumentElementReaderFactory&) = delete;

    // None for elements outside the text namespace: their own text is dropped.
    const BaseElementReader* GetElementReader(const QStringRef& namespaceUri, const QStringRef& localName) const;
    // Review comments and the deleted text kept for change tracking: never part of the text.
    static bool IsSkipped(const QStringRef& namespaceUri, const QStringRef& localName);

    static const QString TextNamespace;
    static const QString OfficeNamespace;

private:
    QHash<QString, BaseElementReader*> readers;
    BaseElementReader defaultReader;
};
