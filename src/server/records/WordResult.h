#pragma once

#include "JsonConvertable.h"

#include <QString>

// One word of a recognition result, kept as the server sent it.
class WordResult : public JsonConvertable
{
public:
    WordResult();
    explicit WordResult(QJsonObject object);
    WordResult(const WordResult&) = default;
    WordResult& operator=(const WordResult&) = default;
    ~WordResult() override;

    int begin() const { return m_begin; }
    int dictorNum() const { return m_dictorNum; }
    int endSentence() const { return m_endSentence; }
    int index() const { return m_index; }
    int length() const { return m_length; }
    double probabilityNorm() const { return m_probabilityNorm; }
    QString text() const { return m_text; }

    // Only the server writes words.
    QJsonObject toJson() const override;

private:
    int m_begin = 0;
    int m_dictorNum = 0;
    int m_endSentence = 0;
    int m_index = 0;
    int m_length = 0;
    double m_probabilityNorm = 0.0;
    QString m_text;
};
