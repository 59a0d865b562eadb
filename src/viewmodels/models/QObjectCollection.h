#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QObject>

// A list model of object pointers with a current item, for QML views. The
// elements are owned elsewhere and never deleted here. GUI thread only.
class QObjectCollection : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int CurrentIndex READ get_CurrentIndex WRITE set_CurrentIndex NOTIFY changed_CurrentIndex)
    Q_PROPERTY(QObject* CurrentObject READ get_CurrentObject NOTIFY changed_CurrentObject)

public:
    explicit QObjectCollection(QObject* parent = nullptr);
    ~QObjectCollection() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The element whatever the role: delegates read it as modelData or "user".
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int get_CurrentIndex() const { return currentIndex; }
    QObject* get_CurrentObject() const;

    int count() const { return objects.size(); }
    QObject* at(int i) const { return objects.value(i); }
    const QList<QObject*>& items() const { return objects; }

    void insert(int row, QObject* obj);
    void append(QObject* obj) { insert(count(), obj); }
    void removeAt(int i);
    void remove(QObject* obj);
    QObject* pop_front();
    QObject* pop_back();
    void clear();

public slots:
    // Not range-checked: an index past the end reads as no current object.
    void set_CurrentIndex(int index);

signals:
    void changed_CurrentIndex(int index);
    void changed_CurrentObject();

private:
    QList<QObject*> objects;
    int currentIndex = -1;
};
