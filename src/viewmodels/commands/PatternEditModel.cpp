#include "PatternEditModel.h"

#include "CommandsCollectionViewModel.h"
#include "CommandsViewModel.h"

PatternEditModel::PatternEditModel(UserCommandType type, CommandsCollectionViewModel* collection)
    : UserCommandEditModel(type, collection)
    , pattern(new ValidatableText(this))
{
    pattern->setTextValidator([this](ValidationArgs* args) { ValidatePattern(args); });
}

PatternEditModel::PatternEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection)
    : UserCommandEditModel(row, collection)
    , pattern(new ValidatableText(this))
{
    pattern->setTextValidator([this](ValidationArgs* args) { ValidatePattern(args); });
    pattern->SetText(row->get_Pattern());
}

PatternEditModel::~PatternEditModel() = default;

QString PatternEditModel::StoredPattern(const QString& text)
{
    return text.simplified();
}

bool PatternEditModel::validate()
{
    return pattern->CheckAndSetFocus();
}

void PatternEditModel::copyTo(UserCommandViewModel* row)
{
    row->set_Pattern(StoredPattern(pattern->get_Text()));
}

bool PatternEditModel::isDuplicate(const QString& text) const
{
    CommandsViewModel* commands = collection()->commandsViewModel();
    if (!commands)
        return false;
    UserCommandViewModel* found = commands->findCommand(themeId(), StoredPattern(text));
    return found && found != editedRow();
}

void PatternEditModel::ValidatePattern(ValidationArgs* args)
{
    if (args->Text.trimmed().isEmpty())
        args->Error = tr("Образец автозамены пуст");
    else if (isDuplicate(args->Text))
        args->Error = tr("Такой образец автозамены уже есть");
}

ValidatableText* PatternEditModel::createSecondField(ValidatableText::TextValidator validator)
{
    auto* field = new ValidatableText(this);
    field->setTextValidator(std::move(validator));
    if (editedRow())
        field->SetText(editedRow()->get_Text());
    return field;
}

bool PatternEditModel::validateWith(ValidatableText* second)
{
    return pattern->CheckAndSetFocus() && second->CheckAndSetFocus();
}

void PatternEditModel::copyWith(UserCommandViewModel* row, ValidatableText* second)
{
    PatternEditModel::copyTo(row);
    row->set_Text(second->get_Text());
}
