#include "CommandEditModel.h"

#include "UserCommand.h"

CommandEditModel::CommandEditModel(UserCommandType type, CommandsCollectionViewModel* collection)
    : PatternEditModel(type, collection)
{
}

CommandEditModel::CommandEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection)
    : PatternEditModel(row, collection)
{
}

CommandEditModel::~CommandEditModel() = default;

void CommandEditModel::ValidatePattern(ValidationArgs* args)
{
    if (args->Text.trimmed().isEmpty())
        args->Error = tr("Текст команды не должен быть пустым");
    else if (!UserCommand::ValidatePatternSymbols(UserCommand::NormalizePattern(args->Text)))
        args->Error = tr("Команда должна содержать произносимый текст");
    else if (isDuplicate(args->Text))
        args->Error = tr("Такая команда/автозамена уже существует");
}
