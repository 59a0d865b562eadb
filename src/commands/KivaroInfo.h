#pragma once

#include "JsonConvertable.h"

#include <QStringList>

// The user's word list as sent to the server (message type 27).
class KivaroInfo : public JsonConvertable
{
public:
    KivaroInfo();
    explicit KivaroInfo(const QStringList& words);
    KivaroInfo(const KivaroInfo&) = default;
    KivaroInfo& operator=(const KivaroInfo&) = default;
    ~KivaroInfo() override;

    QStringList Words() const { return m_words; }
    void setWords(const QStringList& words) { m_words = words; }

    QJsonObject toJson() const override;

private:
    QStringList m_words;
};
