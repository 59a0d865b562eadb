#include "CompositeFileReader.h"

#include "CommonFileReader.h"
#include "OpenFileReader.h"

#include <QFileInfo>

CompositeFileReader::CompositeFileReader(QObject* parent)
    : BaseFileReader(parent)
{
}

CompositeFileReader::~CompositeFileReader() = default;

QString CompositeFileReader::ReadFile(QString path, QString* error)
{
    if (QFileInfo(path).suffix() == QLatin1String("odt")) {
        OpenFileReader reader;
        reader.setCancellation(cancellation);
        return reader.ReadFile(path, error);
    }
    return CommonFileReader().ReadFile(path, error);
}
