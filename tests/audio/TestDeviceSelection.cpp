#include "AudioDeviceManagerBase.h"
#include "AudioListManager.h"
#include "TestHome.h"

#include <QtTest>

#include <utility>

namespace {
// Serves a chosen list of the real Qt devices.
class FakeListManager : public AudioListManager
{
public:
    using AudioListManager::AudioListManager;
    ExtAudioDeviceInfo CreateExtDeviceInfo(const QAudioDeviceInfo& device) override
    {
        return ExtAudioDeviceInfo(device, device.deviceName());
    }
    QList<QAudioDeviceInfo> available;

protected:
    QList<QAudioDeviceInfo> AvailableDevices() const override { return available; }
};

// Logs the start/stop cycle instead of opening devices.
class ProbeManager : public AudioDeviceManagerBase
{
public:
    using AudioDeviceManagerBase::AudioDeviceManagerBase;
    ExtAudioDeviceInfo DefaultDevice() const override { return ExtAudioDeviceInfo(); }
    void StartDevice() override
    {
        if (failing && !CurrentDevice().isNull()) {
            DeviceFailed(QAudio::OpenError);
            return;
        }
        running = !CurrentDevice().isNull();
        if (running) {
            log << QStringLiteral("start:") + CurrentDevice().deviceName();
            DeviceRuns();
        }
    }
    void StopDevice() override
    {
        if (std::exchange(running, false))
            log << QStringLiteral("stop");
    }
    // A running device fails at run time.
    void Break()
    {
        running = false;
        DeviceFailed(QAudio::IOError);
    }
    QStringList log;
    bool running = false;
    bool failing = false;

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
    void selectionByNameAndIndex();
    void followsListChanges_data();
    void followsListChanges();
    void failedDeviceBacksOff_data();
    void failedDeviceBacksOff();

private:
    // Hands the devices at these pool positions to the manager and waits until it has taken them.
    void deliver(FakeListManager& list, ProbeManager& manager, const QList<int>& positions);
    QString name(int position) const { return pool.at(position).deviceName(); }

    QList<QAudioDeviceInfo> pool;
};

void TestDeviceSelection::initTestCase()
{
    QMap<QString, QAudioDeviceInfo> byName; // one device of each name
    for (const QAudioDeviceInfo& device : QAudioDeviceInfo::availableDevices(QAudio::AudioOutput))
        byName.insert(device.deviceName(), device);
    byName.remove(QString());
    pool = byName.values();
    if (pool.size() < 4)
        QSKIP("Qt Multimedia offers fewer than four output devices here");
}

void TestDeviceSelection::deliver(FakeListManager& list, ProbeManager& manager, const QList<int>& positions)
{
    list.available.clear();
    for (int p : positions)
        list.available << pool.at(p);
    QSignalSpy taken(&manager, &AudioDeviceManagerBase::DeviceListChanged);
    list.UpdateDeviceList();
    QTRY_COMPARE_WITH_TIMEOUT(taken.count(), 1, TestHome::scaled(5000));
}

void TestDeviceSelection::selectionByNameAndIndex()
{
    FakeListManager list(QAudio::AudioOutput);
    ProbeManager manager(&list);
    deliver(list, manager, {0, 1, 2});
    manager.log.clear();
    manager.SelectDevice(name(2));
    manager.set_SelectedIndex(1);
    manager.set_SelectedIndex(1); // the current one: no restart
    manager.SelectDevice(name(3)); // not listed: the first
    const QString stop = QStringLiteral("stop"), start = QStringLiteral("start:");
    QCOMPARE(manager.log, (QStringList{stop, start + name(2), stop, start + name(1), stop, start + name(0)}));
    manager.set_SelectedIndex(7); // out of range deselects
    QCOMPARE(manager.SelectedIndex(), -1);
    QVERIFY(manager.CurrentDevice().isNull() && !manager.running);
}

void TestDeviceSelection::followsListChanges_data()
{
    QTest::addColumn<bool>("track");
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QList<int>>("after");
    QTest::addColumn<int>("expected"); // position in after, -1 for none

    using L = QList<int>;
    QTest::newRow("off: current moves, new device ignored") << false << L{0, 1} << 1 << L{1, 2, 0} << 0;
    QTest::newRow("off: current gone, new device taken") << false << L{0, 1} << 1 << L{0, 2} << 1;
    QTest::newRow("on: current stays") << true << L{0, 1} << 1 << L{1} << 0;
    QTest::newRow("on: last new device before current") << true << L{0} << 0 << L{1, 2, 0, 3} << 1;
    QTest::newRow("on: current gone") << true << L{0, 1, 2} << 2 << L{0, 1} << 0;
    QTest::newRow("on: everything gone") << true << L{0, 1} << 0 << L{} << -1;
}

void TestDeviceSelection::followsListChanges()
{
    QFETCH(bool, track);
    QFETCH(QList<int>, before);
    QFETCH(int, selected);
    QFETCH(QList<int>, after);
    QFETCH(int, expected);

    FakeListManager list(QAudio::AudioOutput);
    ProbeManager manager(&list);
    manager.TrackChanges = track;
    deliver(list, manager, before);
    manager.set_SelectedIndex(selected);
    const QString previous = name(before.at(selected));
    manager.log.clear();
    QSignalSpy notifications(&manager, &AudioDeviceManagerBase::DeviceNotification);
    QSignalSpy selections(&manager, &AudioDeviceManagerBase::SelectedIndexChanged);

    deliver(list, manager, after);
    const QString current = expected >= 0 ? name(after.at(expected)) : QString();
    QCOMPARE(manager.SelectedIndex(), expected);
    QCOMPARE(manager.CurrentDevice().deviceName(), current);
    QCOMPARE(selections.count(), 1);
    // Only a change of device restarts it, and only a tracking manager tells the user.
    const bool changed = current != previous;
    QCOMPARE(notifications.count(), track && changed ? 1 : 0);
    QStringList log;
    if (changed)
        log << QStringLiteral("stop");
    if (changed && !current.isNull())
        log << QStringLiteral("start:") + current;
    QCOMPARE(manager.log, log);
}

void TestDeviceSelection::failedDeviceBacksOff_data()
{
    QTest::addColumn<QString>("attempts"); // F fails, R runs
    QTest::addColumn<int>("delay");        // before the next attempt, 0 for none
    QTest::addColumn<int>("reports");      // warnings and DeviceError signals

    QTest::newRow("runs") << "R" << 0 << 0;
    QTest::newRow("doubles") << "FFF" << 8000 << 1;
    QTest::newRow("stops growing") << "FFFFFFFFFF" << 30000 << 1;
    QTest::newRow("a new outage starts over") << "FFFFRF" << 2000 << 2;
}

void TestDeviceSelection::failedDeviceBacksOff()
{
    QFETCH(QString, attempts);
    QFETCH(int, delay);
    QFETCH(int, reports);

    FakeListManager list(QAudio::AudioOutput);
    ProbeManager manager(&list);
    deliver(list, manager, {0, 1});
    manager.set_SelectedIndex(-1);
    QSignalSpy errors(&manager, &AudioDeviceManagerBase::DeviceError);
    static int warnings;
    warnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString&) {
        warnings += type == QtWarningMsg;
    });
    for (int i = 0; i < attempts.size(); ++i) {
        manager.failing = attempts.at(i) == QLatin1Char('F');
        if (i == 0)
            manager.set_SelectedIndex(1);
        else if (manager.running && manager.failing)
            manager.Break();
        else
            manager.RetryNow(); // what the wait would end in
    }
    qInstallMessageHandler(previous);
    QCOMPARE(manager.PendingRestartDelay(), delay);
    QCOMPARE(errors.count(), reports);
    QCOMPARE(warnings, reports);
    QCOMPARE(manager.running, attempts.endsWith(QLatin1Char('R')));
}

QTEST_GUILESS_MAIN(TestDeviceSelection)
#include "TestDeviceSelection.moc"
