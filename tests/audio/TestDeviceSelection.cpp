#include "AudioDeviceManagerBase.h"
#include "AudioListManager.h"

#include <QtTest>

namespace {
// Serves a chosen list of real Qt devices; names in hidden are left out.
class FakeListManager : public AudioListManager
{
public:
    FakeListManager()
        : AudioListManager(QAudio::AudioOutput)
    {
    }
    ExtAudioDeviceInfo CreateExtDeviceInfo(const QAudioDeviceInfo& device) override
    {
        ++asked;
        if (hidden.contains(device.deviceName()))
            return ExtAudioDeviceInfo();
        return ExtAudioDeviceInfo(device, QStringLiteral("about ") + device.deviceName());
    }
    QList<QAudioDeviceInfo> available;
    QStringList hidden;
    int asked = 0;

protected:
    QList<QAudioDeviceInfo> AvailableDevices() const override { return available; }
};

// Records the start/stop cycle instead of opening devices.
class ProbeManager : public AudioDeviceManagerBase
{
public:
    using AudioDeviceManagerBase::AudioDeviceManagerBase;
    ExtAudioDeviceInfo DefaultDevice() const override { return ExtAudioDeviceInfo(); }
    void StartDevice() override
    {
        if (CurrentDevice().isNull())
            return;
        running = true;
        log << QStringLiteral("start:") + CurrentDevice().deviceName();
    }
    void StopDevice() override
    {
        if (running)
            log << QStringLiteral("stop");
        running = false;
    }
    QStringList log;
    bool running = false;

protected:
    void OnDeviceStateChanged(QObject*, QAudio::State) override {}
    void OnDeviceStart() override {}
    void OnDeviceStop() override {}
    bool HasDevice() const override { return running; }
};
} // namespace

class TestDeviceSelection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listAnnouncesOnlyChanges();
    void selectionByNameAndIndex();
    void followsListChanges_data();
    void followsListChanges();

private:
    QList<QAudioDeviceInfo> devices(const QList<int>& positions) const;
    // Hands the list to the manager and waits until it has taken it.
    void deliver(FakeListManager& list, ProbeManager& manager, const QList<int>& positions);

    QList<QAudioDeviceInfo> pool;
};

void TestDeviceSelection::initTestCase()
{
    QStringList names;
    for (const QAudioDeviceInfo& device : QAudioDeviceInfo::availableDevices(QAudio::AudioOutput)) {
        if (!names.contains(device.deviceName())) {
            names << device.deviceName();
            pool << device;
        }
    }
    if (pool.size() < 4)
        QSKIP("Qt Multimedia offers fewer than four output devices here");
}

QList<QAudioDeviceInfo> TestDeviceSelection::devices(const QList<int>& positions) const
{
    QList<QAudioDeviceInfo> result;
    for (int p : positions)
        result << pool.at(p);
    return result;
}

void TestDeviceSelection::deliver(FakeListManager& list, ProbeManager& manager, const QList<int>& positions)
{
    list.available = devices(positions);
    QSignalSpy taken(&manager, &AudioDeviceManagerBase::DeviceListChanged);
    list.UpdateDeviceList();
    QTRY_COMPARE(taken.count(), 1);
}

void TestDeviceSelection::listAnnouncesOnlyChanges()
{
    FakeListManager list;
    QSignalSpy changed(&list, &AudioListManager::DeviceListChanged);
    list.UpdateDeviceList();
    QCOMPARE(changed.count(), 1); // the first list is announced even when empty

    list.available = devices({0, 1, 2});
    list.hidden = QStringList{pool.at(2).deviceName()};
    list.UpdateDeviceList();
    QCOMPARE(list.DeviceList().size(), 2);
    QCOMPARE(list.DeviceList().at(1).description(), QStringLiteral("about ") + pool.at(1).deviceName());
    const int asked = list.asked;
    list.UpdateDeviceList();
    QCOMPARE(list.asked, asked + 1); // only the left-out device is asked about again

    list.available = devices({1, 0, 2}); // a new order is a change
    list.UpdateDeviceList();
    list.available = devices({1, 2});
    list.UpdateDeviceList();
    QCOMPARE(changed.count(), 4);
    QCOMPARE(list.DeviceList().size(), 1);
    QCOMPARE(list.DeviceList().at(0).deviceName(), pool.at(1).deviceName());
}

void TestDeviceSelection::selectionByNameAndIndex()
{
    FakeListManager list;
    ProbeManager manager(&list);
    manager.SelectDevice(pool.at(3).deviceName()); // remembered only: no list yet
    QVERIFY(manager.log.isEmpty());
    deliver(list, manager, {0, 1, 2});
    QCOMPARE(manager.log, QStringList{QStringLiteral("start:") + pool.at(0).deviceName()}); // not listed: the first
    manager.log.clear();
    QSignalSpy selected(&manager, &AudioDeviceManagerBase::SelectedIndexChanged);

    manager.set_SelectedIndex(0); // the current one: no restart
    manager.SelectDevice(pool.at(2).deviceName());
    QCOMPARE(manager.log, (QStringList{QStringLiteral("stop"), QStringLiteral("start:") + pool.at(2).deviceName()}));
    QCOMPARE(manager.SelectedIndex(), 2);

    manager.set_SelectedIndex(-1);
    manager.set_SelectedIndex(7);
    QCOMPARE(manager.SelectedIndex(), -1);
    QVERIFY(manager.CurrentDevice().isNull() && !manager.running);
    QCOMPARE(selected.count(), 2);
}

void TestDeviceSelection::followsListChanges_data()
{
    QTest::addColumn<bool>("track");
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QList<int>>("after");
    QTest::addColumn<int>("expected"); // position in after, -1 for none
    QTest::addColumn<bool>("restarted");
    QTest::addColumn<bool>("notified");

    using L = QList<int>;
    QTest::newRow("off: current moves") << false << L{0, 1, 2} << 1 << L{2, 0, 1} << 2 << false << false;
    QTest::newRow("off: new device ignored") << false << L{0, 1} << 1 << L{0, 1, 2} << 1 << false << false;
    QTest::newRow("off: current gone, new device taken") << false << L{0, 1} << 1 << L{0, 2} << 1 << true << false;
    QTest::newRow("off: current gone, first taken") << false << L{0, 1, 2} << 1 << L{0, 2} << 0 << true << false;
    QTest::newRow("on: new device taken") << true << L{0, 1} << 0 << L{0, 1, 2} << 2 << true << true;
    QTest::newRow("on: last new device before current") << true << L{0} << 0 << L{1, 2, 0, 3} << 1 << true << true;
    QTest::newRow("on: current stays") << true << L{0, 1} << 1 << L{1} << 0 << false << false;
    QTest::newRow("on: current gone") << true << L{0, 1, 2} << 2 << L{0, 1} << 0 << true << true;
    QTest::newRow("on: everything gone") << true << L{0, 1} << 0 << L{} << -1 << true << true;
}

void TestDeviceSelection::followsListChanges()
{
    QFETCH(bool, track);
    QFETCH(QList<int>, before);
    QFETCH(int, selected);
    QFETCH(QList<int>, after);
    QFETCH(int, expected);
    QFETCH(bool, restarted);
    QFETCH(bool, notified);

    FakeListManager list;
    ProbeManager manager(&list);
    manager.TrackChanges = track;
    deliver(list, manager, before);
    manager.set_SelectedIndex(selected);
    manager.log.clear();
    QSignalSpy notifications(&manager, &AudioDeviceManagerBase::DeviceNotification);
    QSignalSpy selections(&manager, &AudioDeviceManagerBase::SelectedIndexChanged);

    deliver(list, manager, after);
    QCOMPARE(manager.SelectedIndex(), expected);
    QCOMPARE(selections.count(), 1);
    QCOMPARE(notifications.count(), notified ? 1 : 0);
    QStringList log;
    if (restarted) {
        log << QStringLiteral("stop");
        if (expected >= 0)
            log << QStringLiteral("start:") + pool.at(after.at(expected)).deviceName();
    }
    QCOMPARE(manager.log, log);
    QCOMPARE(manager.CurrentDevice().deviceName(), expected >= 0 ? pool.at(after.at(expected)).deviceName() : QString());
}

QTEST_GUILESS_MAIN(TestDeviceSelection)
#include "TestDeviceSelection.moc"
