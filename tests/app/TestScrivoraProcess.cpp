#include "ChildProcess.h"
#include "FakeServerSet.h"
#include "TestHome.h"
#include "TrayHostSession.h"
#include "X11Windows.h"

#include <QtTest>

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>

#include <memory>
#include <optional>

#include <signal.h>

namespace {

// The real program in its own process, with its own settings and data folders.
class Client
{
public:
    Client()
    {
        process.setProcessEnvironment(FakeServerSet::clientEnvironment(home()));
        process.collectOutput();
    }

    static QString home() { return TestHome::path() + QStringLiteral("/child"); }

    void start() { process.start(QStringLiteral(SCRIVORA_BINARY), QStringList()); }
    const QString& output() const { return process.output(); }
    // An unexpected code shows the end of the output, where a sanitizer report would be.
    int exitCode(int expected) const
    {
        if (process.exitCode() != expected)
            qWarning().noquote() << output().right(8000);
        return process.exitCode();
    }

    ChildProcess process;
};

// This copy's own: the user may be running another on the same display.
std::optional<X11Windows::Window> trayIcon(const QProcess& process)
{
    return X11Windows::trayIcon(QStringLiteral("scrivora"), process.processId());
}

// Ended within the time the shutdown protocol allows, workers stopped in
// reverse order of creation, before the event loop ended.
void verifyCleanEnd(Client& client)
{
    QElapsedTimer timer;
    timer.start();
    QVERIFY(client.process.waitToEnd(TestHome::scaled(20000)));
    QVERIFY2(timer.elapsed() < TestHome::scaled(15000), qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(client.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(0), 0);

    const QString& log = client.output();
    const int heartbeat = log.indexOf(QLatin1String("Stop end: ConnectionHeartbeat"));
    const int driver = log.indexOf(QLatin1String("Stop end: ConnectionManager"));
    const int worker = log.indexOf(QLatin1String("Stop end: WebSocketWorker"));
    QVERIFY2(heartbeat >= 0 && driver > heartbeat && worker > driver, qPrintable(log.right(3000)));
    QVERIFY(!log.contains(QLatin1String("did not stop within")));
    QVERIFY(log.indexOf(QLatin1String("Quit app")) > worker);
}

} // namespace

// The program as a user starts it: one copy per user, its tray icon on the
// tray host, its connection to a (fake) recognition server, and its ending
// from the tray menu with every worker stopped.
class TestScrivoraProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsConnectedWithTrayIcon();
    void secondCopyIsRefused();
    void quitFromTrayMenuStopsWorkers();
    void sessionEndSignalStopsWorkers_data();
    void sessionEndSignalStopsWorkers();
    void unreadableSettingsFileIsSetAside();

private:
    TrayHostSession trayHost;
    std::unique_ptr<FakeServerSet> servers;
    std::unique_ptr<Client> first;
};

void TestScrivoraProcess::initTestCase()
{
    TestHome::wipe();
    QString error;
    QVERIFY2(trayHost.start(&error), qPrintable(error));
    servers = std::make_unique<FakeServerSet>();
    QVERIFY(servers->isListening());
    servers->writeClientSettings(FakeServerSet::clientSettingsFile(Client::home()), true);
    first = std::make_unique<Client>();
    first->start();
    QVERIFY(first->process.waitForStarted());
}

void TestScrivoraProcess::startsConnectedWithTrayIcon()
{
    QTRY_VERIFY2_WITH_TIMEOUT(first->output().contains(QLatin1String("stateChanged from 9 to 14")), qPrintable(first->output().right(4000)),
                              TestHome::scaled(20000));
    QVERIFY(servers->recognition()->hasClient());
    QTRY_VERIFY_WITH_TIMEOUT(trayIcon(first->process).has_value(), TestHome::scaled(10000));
}

void TestScrivoraProcess::secondCopyIsRefused()
{
    Client second;
    second.start();
    std::optional<X11Windows::Window> box;
    QTRY_VERIFY_WITH_TIMEOUT((box = X11Windows::find([&second](const X11Windows::Window& w) {
                                  return w.name == QStringLiteral("Ошибка") && w.instanceName == QLatin1String("scrivora")
                                      && w.viewable && w.pid == second.process.processId();
                              })).has_value(),
                             TestHome::scaled(10000));
    // Written before the box was shown, but read here only as the event loop runs.
    QTRY_VERIFY(second.output().contains(QLatin1String("Another copy is running")));
    QVERIFY(X11Windows::requestClose(box->id));
    QVERIFY(second.process.waitToEnd(TestHome::scaled(10000)));
    QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(255), 255);
    QCOMPARE(first->process.state(), QProcess::Running);
}

void TestScrivoraProcess::quitFromTrayMenuStopsWorkers()
{
    const std::optional<X11Windows::Window> icon = trayIcon(first->process);
    QVERIFY(icon.has_value());
    X11Windows::click(icon->geometry.center().x(), icon->geometry.center().y(), 3);

    std::optional<X11Windows::Window> menu;
    QTRY_VERIFY_WITH_TIMEOUT((menu = X11Windows::find([](const X11Windows::Window& w) {
                                  return w.instanceName == QLatin1String("scrivora") && w.viewable
                                      && w.topLevelClass == QLatin1String("Scrivora") && w.geometry.height() > 100;
                              })).has_value(),
                             TestHome::scaled(5000));
    QTest::qWait(300); // let the menu paint before the picture is taken
    const QRect shot = menu->geometry.united(icon->geometry).adjusted(-8, -8, 8, 8);
    const QString output = QStringLiteral(SCRIVORA_TEST_OUTPUT);
    QDir().mkpath(output);
    QVERIFY(QGuiApplication::primaryScreen()
                ->grabWindow(0, shot.x(), shot.y(), shot.width(), shot.height())
                .save(output + QStringLiteral("/tray-menu.png")));

    // The last entry, "Выход", by the pointer: keys would be lost while the menu
    // is shown but has not taken the keyboard yet.
    X11Windows::click(menu->geometry.center().x(), menu->geometry.bottom() - 20, 1);
    verifyCleanEnd(*first);
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY(!servers->recognition()->hasClient());
}

void TestScrivoraProcess::sessionEndSignalStopsWorkers_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM at logout") << int(SIGTERM);
    QTest::newRow("SIGINT from a terminal") << int(SIGINT);
}

void TestScrivoraProcess::sessionEndSignalStopsWorkers()
{
    QFETCH(int, signalNumber);
    first.reset(); // one copy at a time
    Client client;
    client.start();
    QVERIFY(client.process.waitForStarted());
    QTRY_VERIFY2_WITH_TIMEOUT(client.output().contains(QLatin1String("stateChanged from 9 to 14")), qPrintable(client.output().right(4000)),
                              TestHome::scaled(20000));
    QVERIFY(servers->recognition()->hasClient());

    ::kill(pid_t(client.process.processId()), signalNumber);
    verifyCleanEnd(client);
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY(!servers->recognition()->hasClient());
}

// A value that makes Qt crash in every read of the file (a polygon declaring
// 2^31 - 1 points) once stopped every start.
void TestScrivoraProcess::unreadableSettingsFileIsSetAside()
{
    first.reset();
    const QString path = FakeServerSet::clientSettingsFile(Client::home());
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QVERIFY(file.write("[ASR]\nSelectedTheme=@Variant(\\0\\0\\0G\\x7f\\xff\\xff\\xff)\n") > 0);
    file.close();
    QFile::remove(path + QStringLiteral(".damaged"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray damaged = file.readAll();
    file.close();

    Client client;
    client.start();
    QVERIFY(client.process.waitForStarted());
    QTRY_VERIFY2_WITH_TIMEOUT(client.output().contains(QLatin1String("started with defaults")), qPrintable(client.output().right(4000)),
                              TestHome::scaled(10000));
    QFile kept(path + QStringLiteral(".damaged"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), damaged);
    QVERIFY(!QTest::qWaitFor([&client] { return client.process.state() == QProcess::NotRunning; }, 2000));

    ::kill(pid_t(client.process.processId()), SIGTERM);
    QVERIFY(client.process.waitToEnd(TestHome::scaled(20000)));
    QCOMPARE(client.process.exitCode(), 0);
}

QTEST_MAIN(TestScrivoraProcess)
#include "TestScrivoraProcess.moc"
