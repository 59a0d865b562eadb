#pragma once

#include <QObject>
#include <QStringList>

// The choices of one enumeration as a QML combo box shows them: display names
// and the index of the chosen one. GUI thread only.
class EnumModelBase : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ get_Items WRITE set_Items NOTIFY changed_Items)
    Q_PROPERTY(int CurrentIndex READ get_CurrentIndex WRITE set_CurrentIndex NOTIFY changed_CurrentIndex)

public:
    explicit EnumModelBase(QObject* parent = nullptr);
    ~EnumModelBase() override;

    QStringList get_Items() const { return items; }
    int get_CurrentIndex() const { return currentIndex; }

public slots:
    void set_Items(QStringList list);
    void set_CurrentIndex(int index);

signals:
    void changed_Items(QStringList items);
    void changed_CurrentIndex(int index);

private:
    QStringList items;
    int currentIndex = -1;
};
