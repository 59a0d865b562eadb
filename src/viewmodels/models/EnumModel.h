#pragma once

#include "Enum.h"
#include "EnumModelBase.h"

#include <QList>

// The rows of Enum<T> as choices; CurrentIndex indexes the elements and Items alike.
template<typename T>
class EnumModel : public EnumModelBase
{
public:
    EnumModel(QList<EnumElement<T>*> elements, QObject* parent)
        : EnumModelBase(parent)
        , elements(elements)
    {
        QStringList names;
        for (const EnumElement<T>* element : elements)
            names << element->name();
        set_Items(names);
    }

    // Every row of the enumeration's table, in ascending value order.
    explicit EnumModel(QObject* parent)
        : EnumModel(tableRows(), parent)
    {
    }

    const QList<EnumElement<T>*>& get_Elements() const { return elements; }
    // The chosen element, or null when nothing valid is chosen.
    EnumElement<T>* currentElement() const { return elements.value(get_CurrentIndex()); }

private:
    static QList<EnumElement<T>*> tableRows()
    {
        QList<EnumElement<T>*> rows;
        for (const auto& entry : Enum<T>::Values)
            rows << entry.second;
        return rows;
    }

    QList<EnumElement<T>*> elements;
};
