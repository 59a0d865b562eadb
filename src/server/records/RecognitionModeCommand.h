#pragma once

#include "JsonConvertable.h"
#include "RecognitionMode.h"

#include <QMap>
#include <QString>
#include <QVariant>

// The client's request to switch recognition mode (message type 1).
class RecognitionModeCommand : public JsonConvertable
{
public:
    RecognitionModeCommand();
    explicit RecognitionModeCommand(QJsonObject object);
    RecognitionModeCommand(const RecognitionModeCommand& other);
    RecognitionModeCommand& operator=(const RecognitionModeCommand& other);
    ~RecognitionModeCommand() override;

    // Null means no mode, written as "Type": null.
    RecognitionMode* type() const { return m_type; }
    // Not owned: the caller keeps the mode alive until the command is written.
    void setType(RecognitionMode* type) { m_type = type; }
    QMap<QString, QVariant> parameters() const { return m_parameters; }

    QJsonObject toJson() const override;

private:
    void copyFrom(const RecognitionModeCommand& other);

    RecognitionMode* m_type = nullptr;
    QMap<QString, QVariant> m_parameters;
    // Where a command read from JSON keeps its mode.
    RecognitionMode m_ownType = RecognitionModeNamespace::Off;
};
