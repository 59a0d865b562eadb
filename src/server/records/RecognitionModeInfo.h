#pragma once

#include "AsrState.h"
#include "JsonConvertable.h"
#include "RecognitionMode.h"

#include <QMetaType>
#include <QString>

// The server's report on one recognition mode (message type 2).
class RecognitionModeInfo : public JsonConvertable
{
public:
    RecognitionModeInfo();
    explicit RecognitionModeInfo(QJsonObject object);
    RecognitionModeInfo(const RecognitionModeInfo&) = default;
    RecognitionModeInfo& operator=(const RecognitionModeInfo&) = default;
    ~RecognitionModeInfo() override;

    RecognitionMode mode() const { return m_mode; }
    void setMode(const RecognitionMode& mode) { m_mode = mode; }
    AsrState state() const { return m_state; }
    void setState(const AsrState& state) { m_state = state; }
    QString info() const { return m_info; }
    void setInfo(const QString& info) { m_info = info; }

    // False when the server named a mode or state this client does not know;
    // such a report is dropped (its mode and state read as Off and Stopped).
    bool isKnown() const { return m_known; }

    QJsonObject toJson() const override;

private:
    RecognitionMode m_mode = RecognitionModeNamespace::Off;
    AsrState m_state = Stopped;
    QString m_info;
    bool m_known = true;
};

Q_DECLARE_METATYPE(RecognitionModeInfo)
