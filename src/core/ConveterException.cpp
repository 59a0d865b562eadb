#include "ConveterException.h"

ConveterException::~ConveterException() = default;

void ConveterException::raise() const
{
    throw *this;
}

ConveterException* ConveterException::clone() const
{
    return new ConveterException(*this);
}
