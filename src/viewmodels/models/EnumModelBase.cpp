#include "EnumModelBase.h"

#include "PropertyChange.h"

EnumModelBase::EnumModelBase(QObject* parent)
    : QObject(parent)
{
}

EnumModelBase::~EnumModelBase() = default;

void EnumModelBase::set_Items(QStringList list)
{
    changeProperty(this, items, list, &EnumModelBase::changed_Items);
}

void EnumModelBase::set_CurrentIndex(int index)
{
    changeProperty(this, currentIndex, index, &EnumModelBase::changed_CurrentIndex);
}
