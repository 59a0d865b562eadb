#pragma once

#include <QObject>
#include <QString>

class QObjectCollection;

// The untyped half of FilteredCollectionModel<T> (moc takes no templates): a
// source list of every element and the filtered list a view binds to, kept in
// source order. GUI thread only.
class FilteredCollectionModelBase : public QObject
{
    Q_OBJECT

public:
    ~FilteredCollectionModelBase() override;

    QString filterText() const { return filter; }
    // Refilters when the text changes.
    void setFilterText(const QString& text);

    // Refills the filtered list from the source, keeping the current element
    // current when it is still shown and clamping the old index otherwise.
    void refresh();

public slots:
    void raiseIndexChanged();

protected:
    // Takes ownership of both lists.
    FilteredCollectionModelBase(QObjectCollection* source, QObjectCollection* filtered, QObject* parent);

    // Into the source; into the filtered list too when accepted now, where it becomes current.
    void appendObject(QObject* obj);
    // Out of both lists; the element is not deleted.
    void removeObject(QObject* obj);
    virtual bool acceptsObject(QObject* obj) = 0;

private:
    // Views that rebuilt their delegates after a change see the current index again.
    void reannounceLater();

    QObjectCollection* source;
    QObjectCollection* filtered;
    QString filter;
};
