#pragma once

#include "JsonConvertable.h"

#include <QString>

enum CommandType : int {
    // The phrase that switches recognition on ("vac_" ids).
    CommandTypeActivation = 1,
    // The phrase that switches it off ("vdc_" ids).
    CommandTypeDeactivation = 2,
    CommandTypeUser = 3
};

// One voice command registered with the server.
class CommandInfo : public JsonConvertable
{
public:
    CommandInfo();
    CommandInfo(const CommandInfo&) = default;
    CommandInfo& operator=(const CommandInfo&) = default;
    ~CommandInfo() override;

    // Returned by the server in TextResult::commandId when recognised.
    QString id() const { return m_id; }
    void setId(const QString& id) { m_id = id; }
    QString pattern() const { return m_pattern; }
    void setPattern(const QString& pattern) { m_pattern = pattern; }
    CommandType type() const { return m_type; }
    void setType(const CommandType& type) { m_type = type; }

    QJsonObject toJson() const override;

private:
    QString m_id;
    QString m_pattern;
    CommandType m_type = CommandTypeUser;
};
