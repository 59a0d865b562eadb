#pragma once

#include <QJsonObject>
#include <QJsonValue>

// Base of every JSON record the client sends, receives or stores. Each record
// reads its own keys in its constructor and writes itself back with toJson().
class JsonConvertable
{
public:
    JsonConvertable() = default;
    explicit JsonConvertable(const QJsonValue& value);
    virtual QJsonObject toJson() const = 0;
    virtual ~JsonConvertable();

protected:
    JsonConvertable(const JsonConvertable&) = default;
    JsonConvertable& operator=(const JsonConvertable&) = default;
};
