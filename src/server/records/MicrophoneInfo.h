#pragma once

#include "JsonConvertable.h"

#include <QString>

// The microphone described in a feedback claim.
class MicrophoneInfo : public JsonConvertable
{
public:
    MicrophoneInfo();
    MicrophoneInfo(const MicrophoneInfo&) = default;
    MicrophoneInfo& operator=(const MicrophoneInfo&) = default;
    ~MicrophoneInfo() override;

    QString micHwId() const { return m_micHwId; }
    void setMicHwId(const QString& id) { m_micHwId = id; }
    QString micDisplayName() const { return m_micDisplayName; }
    void setMicDisplayName(const QString& name) { m_micDisplayName = name; }
    // Gain in percent, 0 to 100.
    int micLevel() const { return m_micLevel; }
    void setMicLevel(int level) { m_micLevel = level; }

    QJsonObject toJson() const override;

private:
    QString m_micHwId;
    QString m_micDisplayName;
    int m_micLevel = 0;
};
