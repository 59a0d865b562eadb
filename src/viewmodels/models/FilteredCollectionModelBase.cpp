#include "FilteredCollectionModelBase.h"

#include "QObjectCollection.h"

#include <QTimer>

#include <algorithm>

namespace {
const int ReannounceDelayMs = 30;
}

FilteredCollectionModelBase::FilteredCollectionModelBase(QObjectCollection* source, QObjectCollection* filtered,
                                                         QObject* parent)
    : QObject(parent)
    , source(source)
    , filtered(filtered)
{
    source->setParent(this);
    filtered->setParent(this);
}

FilteredCollectionModelBase::~FilteredCollectionModelBase() = default;

void FilteredCollectionModelBase::setFilterText(const QString& text)
{
    if (filter == text)
        return;
    filter = text;
    refresh();
}

void FilteredCollectionModelBase::refresh()
{
    const int old = filtered->get_CurrentIndex();
    QObject* remembered = filtered->get_CurrentObject();
    filtered->clear();

    int keptAt = -1;
    for (QObject* obj : source->items()) {
        if (!acceptsObject(obj))
            continue;
        filtered->append(obj);
        if (obj == remembered && keptAt < 0)
            keptAt = filtered->count() - 1;
    }

    int index = keptAt;
    if (index < 0) {
        const int n = filtered->count();
        const int k = std::max(old, 0);
        index = n <= k ? n - 1 : k;
    }
    filtered->set_CurrentIndex(index);
    reannounceLater();
}

void FilteredCollectionModelBase::appendObject(QObject* obj)
{
    source->append(obj);
    if (!acceptsObject(obj))
        return;
    filtered->set_CurrentIndex(-1);
    filtered->append(obj);
    filtered->set_CurrentIndex(filtered->count() - 1);
    reannounceLater();
}

void FilteredCollectionModelBase::removeObject(QObject* obj)
{
    source->remove(obj);
    filtered->remove(obj);
}

void FilteredCollectionModelBase::raiseIndexChanged()
{
    emit filtered->changed_CurrentIndex(filtered->get_CurrentIndex());
}

void FilteredCollectionModelBase::reannounceLater()
{
    QTimer::singleShot(ReannounceDelayMs, this, &FilteredCollectionModelBase::raiseIndexChanged);
}
