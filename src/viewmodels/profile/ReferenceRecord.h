#pragma once

#include <QJsonObject>
#include <QJsonValue>

#include <optional>

// Each element of a reference file's "records" holds its fields in an object under "data".
namespace ReferenceRecord {
inline std::optional<QJsonObject> fields(const QJsonValue& element)
{
    const QJsonValue data = element.toObject().value(QStringLiteral("data"));
    if (!element.isObject() || !data.isObject())
        return std::nullopt;
    return data.toObject();
}
} // namespace ReferenceRecord
