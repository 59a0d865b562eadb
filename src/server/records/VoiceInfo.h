#pragma once

#include "JsonConvertable.h"

#include <QString>

// One speech-synthesis voice.
class VoiceInfo : public JsonConvertable
{
public:
    VoiceInfo();
    explicit VoiceInfo(QJsonObject object);
    VoiceInfo(const VoiceInfo&) = default;
    VoiceInfo& operator=(const VoiceInfo&) = default;
    ~VoiceInfo() override;

    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

    QJsonObject toJson() const override;

private:
    QString m_name;
};
