#pragma once

#include "Exception.h"

#include <QObject>

// Raised when a value cannot be converted between its stored text and its typed form.
class ConveterException : public Exception
{
public:
    using Exception::Exception;
    ~ConveterException() override;

    void raise() const override;
    ConveterException* clone() const override;

    // The type parameters only select the instance; the message names neither type.
    template<typename From, typename To>
    static ConveterException create()
    {
        return ConveterException(QObject::tr("Cannot convert"));
    }
};
