#pragma once

#include "QObjectCollection.h"

// A QObjectCollection whose elements are all of one class.
template<typename T>
class CollectionModel : public QObjectCollection
{
public:
    explicit CollectionModel(QObject* parent = nullptr)
        : QObjectCollection(parent)
    {
    }

    T* itemAt(int i) const { return static_cast<T*>(at(i)); }
    T* currentItem() const { return static_cast<T*>(get_CurrentObject()); }
};
