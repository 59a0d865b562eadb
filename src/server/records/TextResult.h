#pragma once

#include "JsonConvertable.h"
#include "WordResult.h"

#include <QList>
#include <QMetaType>
#include <QString>

// One recognition result (message type 3).
class TextResult : public JsonConvertable
{
public:
    TextResult();
    explicit TextResult(QJsonObject object);
    TextResult(const TextResult&) = default;
    TextResult& operator=(const TextResult&) = default;
    ~TextResult() override;

    QString text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }
    bool isFinal() const { return m_isFinal; }
    void setIsFinal(bool isFinal) { m_isFinal = isFinal; }
    // Empty unless the server recognised a voice command in this result.
    QString commandId() const { return m_commandId; }
    void setCommandId(const QString& commandId) { m_commandId = commandId; }
    QList<WordResult> words() const { return m_words; }
    void setWords(const QList<WordResult>& words) { m_words = words; }

    // A heap copy owned by the caller.
    TextResult* clone() const;

    // Only the server writes results.
    QJsonObject toJson() const override;

private:
    QString m_text;
    bool m_isFinal = false;
    QString m_commandId;
    QList<WordResult> m_words;
};

Q_DECLARE_METATYPE(TextResult)
