#include "QObjectCollection.h"

QObjectCollection::QObjectCollection(QObject* parent)
    : QAbstractListModel(parent)
{
    connect(this, &QObjectCollection::changed_CurrentIndex, this, &QObjectCollection::changed_CurrentObject);
}

QObjectCollection::~QObjectCollection() = default;

int QObjectCollection::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : objects.size();
}

QVariant QObjectCollection::data(const QModelIndex& index, int) const
{
    if (index.model() != this || index.row() < 0 || index.column() < 0 || index.row() >= objects.size())
        return QVariant();
    return QVariant::fromValue(objects.at(index.row()));
}

QHash<int, QByteArray> QObjectCollection::roleNames() const
{
    return {{Qt::UserRole, QByteArrayLiteral("user")}};
}

QObject* QObjectCollection::get_CurrentObject() const
{
    return currentIndex >= 0 && currentIndex < objects.size() ? objects.at(currentIndex) : nullptr;
}

void QObjectCollection::set_CurrentIndex(int index)
{
    if (currentIndex == index)
        return;
    currentIndex = index;
    emit changed_CurrentIndex(index);
}

void QObjectCollection::insert(int row, QObject* obj)
{
    if (row < 0 || row > objects.size())
        return;
    beginInsertRows(QModelIndex(), row, row);
    objects.insert(row, obj);
    endInsertRows();
}

void QObjectCollection::removeAt(int i)
{
    if (i < 0 || i >= objects.size())
        return;
    const int old = currentIndex;
    beginRemoveRows(QModelIndex(), i, i);
    objects.removeAt(i);
    endRemoveRows();

    const int n = objects.size();
    const int updated = old < n ? old : n - 1;
    if (currentIndex != updated) {
        currentIndex = updated;
        emit changed_CurrentIndex(updated);
    } else if (i <= updated) {
        // Same index, but another element stands there now.
        emit changed_CurrentIndex(updated);
    }
}

void QObjectCollection::remove(QObject* obj)
{
    removeAt(objects.indexOf(obj));
}

QObject* QObjectCollection::pop_front()
{
    if (objects.isEmpty())
        return nullptr;
    QObject* first = objects.first();
    removeAt(0);
    return first;
}

QObject* QObjectCollection::pop_back()
{
    if (objects.isEmpty())
        return nullptr;
    QObject* last = objects.last();
    removeAt(objects.size() - 1);
    return last;
}

void QObjectCollection::clear()
{
    if (currentIndex != -1) {
        currentIndex = -1;
        emit changed_CurrentIndex(-1);
    }
    if (objects.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, objects.size() - 1);
    objects.clear();
    endRemoveRows();
}
