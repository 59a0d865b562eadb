#include "CommandInfo.h"

CommandInfo::CommandInfo() = default;

CommandInfo::~CommandInfo() = default;

QJsonObject CommandInfo::toJson() const
{
    return QJsonObject{
        {QStringLiteral("Id"), m_id},
        {QStringLiteral("Pattern"), m_pattern},
        {QStringLiteral("Type"), int(m_type)},
    };
}
