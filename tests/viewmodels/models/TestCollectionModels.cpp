#include "CollectionModel.h"
#include "EnumModel.h"
#include "FilteredCollectionModel.h"
#include "TestHome.h"
#include "UserCommandType.h"

#include <QtTest>

#include <memory>
#include <vector>

namespace {

using Elements = std::vector<std::unique_ptr<QObject>>;

Elements makeElements(const QStringList& names)
{
    Elements elements;
    for (const QString& name : names) {
        elements.push_back(std::make_unique<QObject>());
        elements.back()->setObjectName(name);
    }
    return elements;
}

QStringList namesOf(const QObjectCollection& collection)
{
    QStringList names;
    for (QObject* obj : collection.items())
        names << obj->objectName();
    return names;
}

QList<int> indexesOf(const QSignalSpy& spy)
{
    QList<int> indexes;
    for (const QList<QVariant>& args : spy)
        indexes << args.at(0).toInt();
    return indexes;
}

// Lets through the elements whose name contains the filter text.
class NameFilteredModel : public FilteredCollectionModel<QObject>
{
public:
    bool filterAcceptsRow(QObject* element) override { return element->objectName().contains(filterText()); }

    void fill(const Elements& elements)
    {
        for (const auto& element : elements)
            sourceCollection()->append(element.get());
        refresh();
    }
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
    void enumModelFollowsValueOrder();
};

// A list of `count` elements e0, e1, ... with `current` selected, one operation,
// then what a view heard, in order, and where the selection is.
void TestCollectionModels::collectionOperations_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("heard");
    QTest::addColumn<int>("currentAfter");
    QTest::addColumn<QString>("currentObject");

    QTest::newRow("insert at count appends") << 2 << -1 << "insert 2" << QStringList{"inserted 2"} << -1 << "";
    QTest::newRow("insert past end ignored") << 2 << -1 << "insert 3" << QStringList{} << -1 << "";
    QTest::newRow("remove current last row") << 3 << 2 << "removeAt 2" << QStringList{"removed 2", "index 1"} << 1 << "e1";
    QTest::newRow("remove before current re-announces")
        << 3 << 1 << "removeAt 0" << QStringList{"removed 0", "index 1"} << 1 << "e2";
    QTest::newRow("remove after current silent") << 3 << 0 << "removeAt 2" << QStringList{"removed 2"} << 0 << "e0";
    QTest::newRow("remove absent pointer") << 3 << 2 << "remove" << QStringList{} << 2 << "e2";
    QTest::newRow("clear announces index first") << 4 << 3 << "clear" << QStringList{"index -1", "removed 0"} << -1 << "";
    QTest::newRow("pop_front on empty") << 0 << -1 << "pop_front" << QStringList{"popped none"} << -1 << "";
    QTest::newRow("pop_back") << 3 << 2 << "pop_back" << QStringList{"removed 2", "index 1", "popped e2"} << 1 << "e1";
}

void TestCollectionModels::collectionOperations()
{
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(QString, operation);
    QFETCH(QStringList, heard);

    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("e%1").arg(i);
    Elements elements = makeElements(names);
    QObject added;
    CollectionModel<QObject> collection;
    for (auto& element : elements)
        collection.append(element.get());
    collection.set_CurrentIndex(current);

    QStringList log;
    connect(&collection, &QObjectCollection::changed_CurrentIndex, this,
            [&log](int index) { log << QStringLiteral("index %1").arg(index); });
    connect(&collection, &QAbstractItemModel::rowsInserted, this,
            [&log](const QModelIndex&, int first) { log << QStringLiteral("inserted %1").arg(first); });
    connect(&collection, &QAbstractItemModel::rowsRemoved, this,
            [&log](const QModelIndex&, int first) { log << QStringLiteral("removed %1").arg(first); });
    QSignalSpy objectChanges(&collection, &QObjectCollection::changed_CurrentObject);

    const QString name = operation.section(QLatin1Char(' '), 0, 0);
    const int argument = operation.section(QLatin1Char(' '), 1).toInt();
    const auto popped = [&log](QObject* obj) { log << QStringLiteral("popped ") + (obj ? obj->objectName() : "none"); };
    if (name == QLatin1String("insert"))
        collection.insert(argument, &added);
    else if (name == QLatin1String("removeAt"))
        collection.removeAt(argument);
    else if (name == QLatin1String("remove"))
        collection.remove(&added);
    else if (name == QLatin1String("clear"))
        collection.clear();
    else if (name == QLatin1String("pop_front"))
        popped(collection.pop_front());
    else if (name == QLatin1String("pop_back"))
        popped(collection.pop_back());

    QCOMPARE(log, heard);
    // Every index announcement is followed by one of the current object.
    QCOMPARE(objectChanges.count(), heard.filter(QStringLiteral("index")).size());
    QTEST(collection.get_CurrentIndex(), "currentAfter");
    QTEST(collection.get_CurrentObject() ? collection.get_CurrentObject()->objectName() : QString(), "currentObject");
}

void TestCollectionModels::dataIgnoresRole()
{
    Elements elements = makeElements({"e0", "e1"});
    CollectionModel<QObject> collection;
    CollectionModel<QObject> other;
    for (auto& element : elements) {
        collection.append(element.get());
        other.append(element.get());
    }
    QCOMPARE(collection.data(collection.index(1), 0).value<QObject*>(), elements.at(1).get());
    QCOMPARE(collection.data(collection.index(1), Qt::UserRole).value<QObject*>(), elements.at(1).get());
    QVERIFY(!collection.data(other.index(1), Qt::UserRole).isValid());
    QCOMPARE(collection.roleNames(), (QHash<int, QByteArray>{{Qt::UserRole, "user"}}));
}

void TestCollectionModels::filterRefresh_data()
{
    QTest::addColumn<QStringList>("source");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QList<int>>("indexes");

    const QStringList mixed{"a0", "b1", "a2", "b3", "a4", "b5", "a6", "b7"};
    QTest::newRow("selected element kept at its new row") << mixed << 3 << "b" << QStringList{"b1", "b3", "b5", "b7"}
                                                          << QList<int>{-1, 1};
    QTest::newRow("selection filtered out: old index kept") << mixed << 1 << "a" << QStringList{"a0", "a2", "a4", "a6"}
                                                            << QList<int>{-1, 1};
    QTest::newRow("no selection selects the first row") << mixed << -1 << "b" << QStringList{"b1", "b3", "b5", "b7"}
                                                        << QList<int>{0};
    QTest::newRow("nothing shown") << mixed << 2 << "z" << QStringList{} << QList<int>{-1};
}

void TestCollectionModels::filterRefresh()
{
    QFETCH(QStringList, source);
    QFETCH(int, current);
    QFETCH(QString, filter);
    QFETCH(QList<int>, indexes);

    Elements elements = makeElements(source);
    NameFilteredModel model;
    QSignalSpy index(model.filteredCollection(), &QObjectCollection::changed_CurrentIndex);
    model.fill(elements);
    model.filteredCollection()->set_CurrentIndex(current);
    // The fill selects row 0; the build and the fill each re-announce once.
    QTRY_COMPARE_WITH_TIMEOUT(index.count(), (current != 0 ? 2 : 1) + 2, TestHome::scaled(5000));
    index.clear();

    model.setFilterText(filter);
    QTEST(namesOf(*model.filteredCollection()), "shown");
    QCOMPARE(indexesOf(index), indexes);
    // Views that rebuilt their delegates hear the index once more, a moment later.
    QTRY_COMPARE_WITH_TIMEOUT(index.count(), indexes.size() + 1, TestHome::scaled(5000));
    QCOMPARE(index.last().at(0).toInt(), indexes.last());
}

void TestCollectionModels::appendSelectsWhenShown_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QList<int>>("indexes");

    QTest::newRow("accepted: current, announced again") << "a9" << QStringList{"a0", "a2", "a9"} << QList<int>{-1, 2, 2};
    QTest::newRow("rejected: source only") << "b9" << QStringList{"a0", "a2"} << QList<int>{};
}

void TestCollectionModels::appendSelectsWhenShown()
{
    QFETCH(QString, name);
    QFETCH(QList<int>, indexes);

    Elements elements = makeElements({"a0", "b1", "a2"});
    QObject added;
    added.setObjectName(name);
    NameFilteredModel model;
    model.setFilterText(QStringLiteral("a"));
    QSignalSpy index(model.filteredCollection(), &QObjectCollection::changed_CurrentIndex);
    model.fill(elements);
    // The fill selects row 0; the build, the filter and the fill each re-announce once.
    QTRY_COMPARE_WITH_TIMEOUT(index.count(), 4, TestHome::scaled(5000));
    index.clear();

    model.append(&added);
    QCOMPARE(model.sourceCollection()->count(), 4);
    QTEST(namesOf(*model.filteredCollection()), "shown");
    QTRY_COMPARE_WITH_TIMEOUT(index.count(), indexes.size(), TestHome::scaled(5000));
    QCOMPARE(indexesOf(index), indexes);
}

void TestCollectionModels::enumModelFollowsValueOrder()
{
    // Values 0, 2, 3, 5: Items and CurrentIndex follow the value order.
    EnumModel<UserCommandType> model(nullptr);
    QCOMPARE(model.get_Items(), (QStringList{"Автозамена", "Сочетание клавиш", "Запуск программ", "Файл автозамены"}));
    QCOMPARE(model.get_CurrentIndex(), -1);
    QSignalSpy index(&model, &EnumModelBase::changed_CurrentIndex);
    model.set_CurrentIndex(2);
    model.set_CurrentIndex(2);
    QCOMPARE(index.count(), 1);
    QCOMPARE(model.currentElement()->invariantName(), QStringLiteral("exe"));
}

QTEST_MAIN(TestCollectionModels)
#include "TestCollectionModels.moc"
