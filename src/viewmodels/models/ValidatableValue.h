#pragma once

#include "Exception.h"
#include "TypeConverter.h"
#include "ValidatableText.h"

#include <functional>

// A validatable text that must convert to T; moc cannot take a template, so the
// QObject side (properties, signals) is ValidatableText. GUI thread only.
template<typename T>
class ValidatableValue : public ValidatableText
{
public:
    using ValueValidator = std::function<void(ValidationArgs*, const T&)>;

    // An empty conversionErrorMessage shows the converter's own message instead.
    ValidatableValue(QObject* parent, const QString& conversionErrorMessage)
        : ValidatableText(parent)
        , conversionErrorMessage(conversionErrorMessage)
    {
    }

    void setValueValidator(ValueValidator validator) { valueValidator = std::move(validator); }

    void SetValue(const T& value) { SetText(converter->ConvertToString(value)); }
    // Throws the conversion exception when Text does not convert; read it after validation.
    T Value() const { return converter->ConvertFromString(get_Text()); }

    void ValidateText(ValidationArgs* args) override
    {
        ValidatableText::ValidateText(args);
        if (!args->Error.isEmpty())
            return;
        try {
            const T value = converter->ConvertFromString(args->Text);
            if (valueValidator)
                valueValidator(args, value);
        } catch (const Exception& e) {
            args->Error = conversionErrorMessage.isEmpty() ? e.message() : conversionErrorMessage;
        }
    }

private:
    static const TypeConverter<T>* sharedConverter()
    {
        static const TypeConverter<T> instance{};
        return &instance;
    }

    const TypeConverter<T>* converter = sharedConverter();
    ValueValidator valueValidator;
    QString conversionErrorMessage;
};
