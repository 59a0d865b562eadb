#include "TextReplaceEditModel.h"

TextReplaceEditModel::TextReplaceEditModel(UserCommandType type, CommandsCollectionViewModel* collection)
    : PatternEditModel(type, collection)
    , text(createSecondField([this](ValidationArgs* args) { ValidateText(args); }))
{
}

TextReplaceEditModel::TextReplaceEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection)
    : PatternEditModel(row, collection)
    , text(createSecondField([this](ValidationArgs* args) { ValidateText(args); }))
{
}

TextReplaceEditModel::~TextReplaceEditModel() = default;

bool TextReplaceEditModel::validate()
{
    return validateWith(text);
}

void TextReplaceEditModel::copyTo(UserCommandViewModel* row)
{
    copyWith(row, text);
}

void TextReplaceEditModel::ValidateText(ValidationArgs* args) const
{
    if (args->Text.size() > MaxTextLength)
        args->Error = tr("Размер текста в поле ввода не может превышать %0 символов")
                          .replace(QStringLiteral("%0"), QString::number(MaxTextLength));
}
