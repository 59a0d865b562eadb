#pragma once

#include "ValidatableValue.h"

// An integer field whose value QML can read and write. GUI thread only.
class ValidatableInt32 : public ValidatableValue<int>
{
    Q_OBJECT
    Q_PROPERTY(int IntValue READ get_IntValue WRITE set_IntValue NOTIFY changed_Value)

public:
    explicit ValidatableInt32(QObject* parent = nullptr);
    ~ValidatableInt32() override;

    // 0 (and a logged error) while Text is not a number: QML cannot take an exception.
    int get_IntValue() const;

public slots:
    // Stores without validating; writing the current value does nothing.
    void set_IntValue(int value);

signals:
    void changed_Value(int value);
};
