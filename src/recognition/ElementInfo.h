#pragma once

#include "JsonConvertable.h"

#include <QJsonObject>
#include <QString>

// One element of an MIS form, named by its key.
class ElementInfo : public JsonConvertable
{
public:
    ElementInfo();
    explicit ElementInfo(const QJsonObject& object);
    ElementInfo(const ElementInfo&) = default;
    ElementInfo& operator=(const ElementInfo&) = default;
    ~ElementInfo() override;

    QString key() const { return m_key; }
    void setKey(const QString& key) { m_key = key; }

    QJsonObject toJson() const override;

private:
    QString m_key;
};
