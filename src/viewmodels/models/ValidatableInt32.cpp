#include "ValidatableInt32.h"

#include <QDebug>

#include <exception>

ValidatableInt32::ValidatableInt32(QObject* parent)
    : ValidatableValue<int>(parent, QString())
{
}

ValidatableInt32::~ValidatableInt32() = default;

int ValidatableInt32::get_IntValue() const
{
    try {
        return Value();
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("Error in ValidatableInt32::get_IntValue: ") + QString::fromUtf8(e.what());
    }
    return 0;
}

void ValidatableInt32::set_IntValue(int value)
{
    bool same = false;
    try {
        same = Value() == value;
    } catch (const std::exception&) {
        // A text that is no number differs from every value.
    }
    if (same)
        return;
    SetValue(value);
    emit changed_Value(value);
}
