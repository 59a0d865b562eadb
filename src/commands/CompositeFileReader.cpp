#include "CompositeFileReader.h"

#include "CommonFileReader.h"
#include "OpenFileReader.h"

#include <QFileInfo>

#include <memory>

CompositeFileReader::CompositeFileReader(QObject* parent)
    : BaseFileReader(parent)
{
}

CompositeFileReader::~CompositeFileReader() = default;

QString CompositeFileReader::ReadFile(QString path, QString* error)
{
    std::unique_ptr<BaseFileReader> reader;
    if (QFileInfo(path).suffix() == QLatin1String("odt"))
        reader.reset(new OpenFileReader);
    else
        reader.reset(new CommonFileReader);
    return reader->ReadFile(path, error);
}
