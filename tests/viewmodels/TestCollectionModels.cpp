#include "CollectionModel.h"
#include "EnumModel.h"
#include "FilteredCollectionModel.h"
#include "HotkeyTypes.h"
#include "UserCommandType.h"

#include <QtTest>

#include <memory>
#include <vector>

namespace {

// Elements named by their position in the source ("e0", "e1", ...).
std::vector<std::unique_ptr<QObject>> makeElements(const QStringList& names)
{
    std::vector<std::unique_ptr<QObject>> elements;
    for (const QString& name : names) {
        elements.push_back(std::make_unique<QObject>());
        elements.back()->setObjectName(name);
    }
    return elements;
}

QStringList numbered(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("e%1").arg(i);
    return names;
}

QStringList namesOf(const QObjectCollection& collection)
{
    QStringList names;
    for (QObject* obj : collection.items())
        names << obj->objectName();
    return names;
}

// What a view sees of a collection, in order (changed_CurrentObject is counted apart).
QStringList* record(QObjectCollection* collection)
{
    auto* log = new QStringList;
    QObject::connect(collection, &QObject::destroyed, [log] { delete log; });
    QObject::connect(collection, &QObjectCollection::changed_CurrentIndex,
                     [log](int index) { *log << QStringLiteral("CurrentIndex %1").arg(index); });
    QObject::connect(collection, &QAbstractItemModel::rowsInserted, [log](const QModelIndex&, int first, int last) {
        *log << QStringLiteral("inserted %1-%2").arg(first).arg(last);
    });
    QObject::connect(collection, &QAbstractItemModel::rowsRemoved, [log](const QModelIndex&, int first, int last) {
        *log << QStringLiteral("removed %1-%2").arg(first).arg(last);
    });
    return log;
}

template<typename Model>
void fill(Model& model, const std::vector<std::unique_ptr<QObject>>& elements)
{
    for (const auto& element : elements)
        model.sourceCollection()->append(element.get());
    model.refresh();
}

// Lets through the elements whose name contains the filter text.
class NameFilteredModel : public FilteredCollectionModel<QObject>
{
public:
    bool filterAcceptsRow(QObject* element) override { return element->objectName().contains(filterText()); }
};

} // namespace

class TestCollectionModels : public QObject
{
    Q_OBJECT

private slots:
    void collectionOperations_data();
    void collectionOperations();
    void dataIgnoresRole();
    void filterRefresh_data();
    void filterRefresh();
    void appendSelectsWhenShown_data();
    void appendSelectsWhenShown();
    void enumModelListsTableInValueOrder_data();
    void enumModelListsTableInValueOrder();
};

void TestCollectionModels::collectionOperations_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("argument");
    QTest::addColumn<QStringList>("announced");
    QTest::addColumn<int>("currentAfter");
    QTest::addColumn<QString>("currentObject");
    QTest::addColumn<QString>("returned");

    const QString moved = QStringLiteral("CurrentIndex %1");
    QTest::newRow("insert at count appends") << 2 << -1 << "insert" << 2 << QStringList{"inserted 2-2"} << -1 << "" << "";
    QTest::newRow("insert at -1 ignored") << 2 << -1 << "insert" << -1 << QStringList{} << -1 << "" << "";
    QTest::newRow("insert past end ignored") << 2 << -1 << "insert" << 3 << QStringList{} << -1 << "" << "";
    QTest::newRow("insert keeps index on new row") << 2 << 0 << "insert" << 0 << QStringList{"inserted 0-0"} << 0 << "new"
                                                   << "";
    QTest::newRow("remove current last row") << 3 << 2 << "removeAt" << 2
                                             << QStringList{"removed 2-2", moved.arg(1)} << 1 << "e1" << "";
    QTest::newRow("remove before current re-announces") << 3 << 1 << "removeAt" << 0
                                                        << QStringList{"removed 0-0", moved.arg(1)} << 1 << "e2"
                                                        << "";
    QTest::newRow("remove current re-announces") << 3 << 1 << "removeAt" << 1
                                                 << QStringList{"removed 1-1", moved.arg(1)} << 1 << "e2" << "";
    QTest::newRow("remove after current silent") << 3 << 0 << "removeAt" << 2 << QStringList{"removed 2-2"} << 0 << "e0"
                                                 << "";
    QTest::newRow("remove only row") << 1 << 0 << "removeAt" << 0 << QStringList{"removed 0-0", moved.arg(-1)}
                                     << -1 << "" << "";
    QTest::newRow("remove without current") << 2 << -1 << "removeAt" << 0 << QStringList{"removed 0-0"} << -1 << "" << "";
    QTest::newRow("removeAt out of range") << 2 << 1 << "removeAt" << 2 << QStringList{} << 1 << "e1" << "";
    QTest::newRow("remove by pointer") << 3 << 2 << "remove" << 2 << QStringList{"removed 2-2", moved.arg(1)} << 1
                                       << "e1" << "";
    QTest::newRow("remove absent pointer") << 3 << 2 << "remove" << -1 << QStringList{} << 2 << "e2" << "";
    QTest::newRow("clear announces index first") << 4 << 3 << "clear" << 0
                                                 << QStringList{moved.arg(-1), "removed 0-3"} << -1 << "" << "";
    QTest::newRow("clear empty list with index") << 0 << 3 << "clear" << 0 << QStringList{moved.arg(-1)} << -1
                                                 << "" << "";
    QTest::newRow("index not range-checked") << 2 << -1 << "set" << 10 << QStringList{moved.arg(10)} << 10 << ""
                                             << "";
    QTest::newRow("same index silent") << 2 << 1 << "set" << 1 << QStringList{} << 1 << "e1" << "";
    QTest::newRow("pop_front on empty") << 0 << -1 << "pop_front" << 0 << QStringList{} << -1 << "" << "null";
    QTest::newRow("pop_front") << 3 << 0 << "pop_front" << 0 << QStringList{"removed 0-0", moved.arg(0)} << 0
                               << "e1" << "e0";
    QTest::newRow("pop_back") << 3 << 2 << "pop_back" << 0 << QStringList{"removed 2-2", moved.arg(1)} << 1 << "e1"
                              << "e2";
}

void TestCollectionModels::collectionOperations()
{
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(QString, operation);
    QFETCH(int, argument);
    QFETCH(QStringList, announced);
    QFETCH(int, currentAfter);
    QFETCH(QString, currentObject);
    QFETCH(QString, returned);

    auto elements = makeElements(numbered(count));
    QObject added;
    added.setObjectName(QStringLiteral("new"));
    CollectionModel<QObject> collection;
    for (auto& element : elements)
        collection.append(element.get());
    collection.set_CurrentIndex(current);
    QStringList* log = record(&collection);
    QSignalSpy objectChanges(&collection, &QObjectCollection::changed_CurrentObject);

    QObject* popped = &added;
    if (operation == QLatin1String("insert"))
        collection.insert(argument, &added);
    else if (operation == QLatin1String("removeAt"))
        collection.removeAt(argument);
    else if (operation == QLatin1String("remove"))
        collection.remove(argument < 0 ? &added : elements.at(argument).get());
    else if (operation == QLatin1String("clear"))
        collection.clear();
    else if (operation == QLatin1String("set"))
        collection.set_CurrentIndex(argument);
    else if (operation == QLatin1String("pop_front"))
        popped = collection.pop_front();
    else if (operation == QLatin1String("pop_back"))
        popped = collection.pop_back();

    QCOMPARE(*log, announced);
    QCOMPARE(objectChanges.count(), announced.filter(QStringLiteral("CurrentIndex")).size());
    QCOMPARE(collection.get_CurrentIndex(), currentAfter);
    QCOMPARE(collection.get_CurrentObject() ? collection.get_CurrentObject()->objectName() : QString(), currentObject);
    QCOMPARE(collection.currentItem(), collection.get_CurrentObject());
    if (!returned.isEmpty())
        QCOMPARE(popped ? popped->objectName() : QStringLiteral("null"), returned);
    // The model never deletes its elements.
    for (auto& element : elements)
        QVERIFY(element);
}

void TestCollectionModels::dataIgnoresRole()
{
    auto elements = makeElements(numbered(2));
    CollectionModel<QObject> collection;
    CollectionModel<QObject> other;
    for (auto& element : elements) {
        collection.append(element.get());
        other.append(element.get());
    }
    const QModelIndex second = collection.index(1);
    QCOMPARE(collection.data(second, 0).value<QObject*>(), elements.at(1).get());
    QCOMPARE(collection.data(second, Qt::UserRole).value<QObject*>(), elements.at(1).get());
    QVERIFY(!collection.data(other.index(1), Qt::UserRole).isValid());
    QVERIFY(!collection.data(QModelIndex(), Qt::UserRole).isValid());
    QCOMPARE(collection.roleNames(), (QHash<int, QByteArray>{{Qt::UserRole, "user"}}));
    QCOMPARE(collection.rowCount(), 2);
}

void TestCollectionModels::filterRefresh_data()
{
    QTest::addColumn<QStringList>("source");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QList<int>>("indexSignals");

    const QStringList mixed{"a0", "b1", "a2", "b3", "a4", "b5", "a6", "b7"};
    QTest::newRow("selected element kept at its new row") << mixed << 3 << "b" << QStringList{"b1", "b3", "b5", "b7"}
                                                          << QList<int>{-1, 1};
    QTest::newRow("selection filtered out: old index clamped")
        << mixed << 5 << "a" << QStringList{"a0", "a2", "a4", "a6"} << QList<int>{-1, 3};
    QTest::newRow("selection filtered out: old index kept")
        << mixed << 1 << "a" << QStringList{"a0", "a2", "a4", "a6"} << QList<int>{-1, 1};
    QTest::newRow("old index 5, three rows left") << QStringList{"x0", "y1", "x2", "y3", "x4", "y5"} << 5 << "x"
                                                  << QStringList{"x0", "x2", "x4"} << QList<int>{-1, 2};
    QTest::newRow("no selection selects the first row") << mixed << -1 << "b" << QStringList{"b1", "b3", "b5", "b7"}
                                                        << QList<int>{0};
    QTest::newRow("nothing shown") << mixed << 2 << "z" << QStringList{} << QList<int>{-1};
}

void TestCollectionModels::filterRefresh()
{
    QFETCH(QStringList, source);
    QFETCH(int, current);
    QFETCH(QString, filter);
    QFETCH(QStringList, shown);
    QFETCH(QList<int>, indexSignals);

    auto elements = makeElements(source);
    NameFilteredModel model;
    QSignalSpy index(model.filteredCollection(), &QObjectCollection::changed_CurrentIndex);
    fill(model, elements);
    model.filteredCollection()->set_CurrentIndex(current);
    // The re-announces of the build and of the first fill.
    QTRY_COMPARE(index.count(), (current != 0 ? 2 : 1) + 2);
    index.clear();

    model.setFilterText(filter);
    QCOMPARE(namesOf(*model.filteredCollection()), shown);
    QList<int> emitted;
    for (const QList<QVariant>& args : qAsConst(index))
        emitted << args.at(0).toInt();
    QCOMPARE(emitted, indexSignals);
    // Views that rebuilt their delegates hear the index once more.
    const int settled = model.filteredCollection()->get_CurrentIndex();
    QCOMPARE(settled, indexSignals.last());
    QTRY_COMPARE(index.count(), indexSignals.size() + 1);
    QCOMPARE(index.last().at(0).toInt(), settled);
}

void TestCollectionModels::appendSelectsWhenShown_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QList<int>>("indexSignals");

    QTest::newRow("accepted: current, announced again") << "a9" << QStringList{"a0", "a2", "a9"}
                                                        << QList<int>{-1, 2, 2};
    QTest::newRow("rejected: source only") << "b9" << QStringList{"a0", "a2"} << QList<int>{};
}

void TestCollectionModels::appendSelectsWhenShown()
{
    QFETCH(QString, name);
    QFETCH(QStringList, shown);
    QFETCH(QList<int>, indexSignals);

    auto elements = makeElements({"a0", "b1", "a2"});
    QObject added;
    added.setObjectName(name);
    NameFilteredModel model;
    model.setFilterText(QStringLiteral("a"));
    QSignalSpy index(model.filteredCollection(), &QObjectCollection::changed_CurrentIndex);
    fill(model, elements);
    // The fill selects row 0; the build, the filter and the fill each re-announce once.
    QTRY_COMPARE(index.count(), 4);
    index.clear();

    model.append(&added);
    QCOMPARE(model.sourceCollection()->count(), 4);
    QCOMPARE(namesOf(*model.filteredCollection()), shown);
    // Accepted: -1 and the new row at once, the new row again a moment later.
    QTRY_COMPARE(index.count(), indexSignals.size());
    QList<int> emitted;
    for (const QList<QVariant>& args : qAsConst(index))
        emitted << args.at(0).toInt();
    QCOMPARE(emitted, indexSignals);
}

void TestCollectionModels::enumModelListsTableInValueOrder_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("builtItems");

    QTest::newRow("Hotkey") << EnumModel<Hotkey>(nullptr).get_Items() << QStringList{"Ctrl 2 раза", "Caps Lock 2 раза"};
    QTest::newRow("Push2TalkKey") << EnumModel<Push2TalkKey>(nullptr).get_Items()
                                  << QStringList{"Клавиша Ctrl", "Клавиша Pause/Break"};
    QTest::newRow("UserCommandType") << EnumModel<UserCommandType>(nullptr).get_Items()
                                     << QStringList{"Автозамена", "Сочетание клавиш", "Запуск программ", "Файл автозамены"};
}

void TestCollectionModels::enumModelListsTableInValueOrder()
{
    QFETCH(QStringList, items);
    QFETCH(QStringList, builtItems);
    QCOMPARE(items, builtItems);

    EnumModel<UserCommandType> model(nullptr);
    QCOMPARE(model.get_CurrentIndex(), -1);
    QCOMPARE(model.currentElement(), nullptr);
    QSignalSpy index(&model, &EnumModelBase::changed_CurrentIndex);
    model.set_CurrentIndex(2);
    model.set_CurrentIndex(2);
    QCOMPARE(index.count(), 1);
    QCOMPARE(model.currentElement()->invariantName(), QStringLiteral("exe"));
}

QTEST_MAIN(TestCollectionModels)
#include "TestCollectionModels.moc"
