#include "JsonConvertable.h"

JsonConvertable::JsonConvertable(const QJsonValue&)
{
}

JsonConvertable::~JsonConvertable() = default;
