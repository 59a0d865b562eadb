#pragma once

#include "CollectionModel.h"
#include "FilteredCollectionModelBase.h"

// Every element of type T in a source list, and the ones filterAcceptsRow
// lets through in a filtered list for the view.
template<typename T>
class FilteredCollectionModel : public FilteredCollectionModelBase
{
public:
    explicit FilteredCollectionModel(QObject* parent = nullptr)
        : FilteredCollectionModel(new CollectionModel<T>, new CollectionModel<T>, parent)
    {
    }

    CollectionModel<T>* sourceCollection() const { return sourceList; }
    CollectionModel<T>* filteredCollection() const { return filteredList; }

    void append(T* item) { appendObject(item); }
    void remove(T* item) { removeObject(item); }

    virtual bool filterAcceptsRow(T*) { return true; }

protected:
    bool acceptsObject(QObject* obj) final { return filterAcceptsRow(static_cast<T*>(obj)); }

private:
    FilteredCollectionModel(CollectionModel<T>* source, CollectionModel<T>* filtered, QObject* parent)
        : FilteredCollectionModelBase(source, filtered, parent)
        , sourceList(source)
        , filteredList(filtered)
    {
        refresh();
    }

    CollectionModel<T>* sourceList;
    CollectionModel<T>* filteredList;
};
