#pragma once

#include "BaseElementReader.h"
#include "ElementReaderFactory.h"

#include <QHash>
#include <QString>

class QDomNode;

// The readers of the OpenDocument text namespace, by lower-case local name.
class OpenDocumentElementReaderFactory : public ElementReaderFactory
{
public:
    OpenDocumentElementReaderFactory();
    ~OpenDocumentElementReaderFactory() override;
    OpenDocumentElementReaderFactory(const OpenDocumentElementReaderFactory&) = delete;
    OpenDocumentElementReaderFactory& operator=(const OpenDocumentElementReaderFactory&) = delete;

    // None for elements outside the text namespace: their own text is dropped.
    const BaseElementReader* GetElementReader(const QDomNode& node) const;

    static const QString TextNamespace;

private:
    QHash<QString, BaseElementReader*> readers;
    BaseElementReader defaultReader;
};
