#include "BaseFileReader.h"

BaseFileReader::BaseFileReader(QObject* parent)
    : QObject(parent)
{
}

BaseFileReader::~BaseFileReader() = default;

QString BaseFileReader::TextTooLong()
{
    return QStringLiteral("Файл слишком большой: в нём больше %1 символов").arg(MaxTextLength);
}
