#include "CommandsInfo.h"

#include "JsonFields.h"

CommandsInfo::CommandsInfo() = default;

CommandsInfo::~CommandsInfo() = default;

QJsonObject CommandsInfo::toJson() const
{
    return QJsonObject{{QStringLiteral("Commands"), JsonFields::array(m_commands)}};
}
