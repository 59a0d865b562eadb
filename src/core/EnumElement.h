#pragma once

#include "EnumElementBase.h"

template<typename T>
class EnumElement : public EnumElementBase
{
public:
    using EnumElementBase::EnumElementBase;
    ~EnumElement() override = default;

    T typedValue() const { return static_cast<T>(value()); }
};
