#pragma once

#include "JsonConvertable.h"

#include <QByteArray>

// One part of synthesised sound. The sound itself arrives as binary frames.
class TtsData : public JsonConvertable
{
public:
    TtsData();
    explicit TtsData(QJsonObject object);
    TtsData(const TtsData&) = default;
    TtsData& operator=(const TtsData&) = default;
    ~TtsData() override;

    bool isLastPart() const { return m_isLastPart; }
    QByteArray data() const { return m_data; }

    QJsonObject toJson() const override;

private:
    bool m_isLastPart = false;
    QByteArray m_data;
};
