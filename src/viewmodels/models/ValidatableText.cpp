#include "ValidatableText.h"

#include "Exception.h"

#include <QDebug>

#include <exception>

ValidatableText::ValidatableText(QObject* parent)
    : QObject(parent)
{
    set_Text(QString());
}

ValidatableText::~ValidatableText() = default;

void ValidatableText::ValidateText(ValidationArgs* args)
{
    if (textValidator)
        textValidator(args);
}

void ValidatableText::set_Text(QString value)
{
    try {
        validateAndStore(value);
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("Error in ValidatableText::set_Text: ") + QString::fromUtf8(e.what());
    } catch (...) {
        qWarning().noquote() << QStringLiteral("Error in ValidatableText::set_Text: unknown exception");
    }
}

void ValidatableText::validateAndStore(const QString& value)
{
    ValidationArgs args{value, QString()};
    QString verdict;
    try {
        ValidateText(&args);
        verdict = args.Error;
    } catch (const Exception& e) {
        verdict = e.message();
    }

    const bool textChanged = text != args.Text;
    if (textChanged)
        text = args.Text;
    if (verdict == error) {
        if (textChanged)
            emit changed_Text(text);
        return;
    }
    error = verdict;
    emit changed_Error(error);
    emit changed_IsValid(error.isEmpty());
    if (textChanged)
        emit changed_Text(text);
}

void ValidatableText::SetText(const QString& value)
{
    text = value;
    if (!error.isEmpty()) {
        error.clear();
        emit changed_Error(error);
        emit changed_IsValid(true);
    }
    emit changed_Text(text);
}

bool ValidatableText::CheckAndSetFocus()
{
    validateAndStore(text);
    if (error.isEmpty())
        return true;
    emit validateFailed();
    return false;
}
