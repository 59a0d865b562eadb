#include "BaseFileReader.h"

BaseFileReader::BaseFileReader(QObject* parent)
    : QObject(parent)
{
}

BaseFileReader::~BaseFileReader() = default;
