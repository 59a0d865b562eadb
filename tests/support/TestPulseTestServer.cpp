#include "PulseBusyServer.h"
#include "PulseTestServer.h"
#include "TestHome.h"

#include <QTemporaryDir>
#include <QtTest>

#include <future>

// The tests' pactl against a sound server of its own.
class TestPulseTestServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { PulseTestServer::kill(); }
    void commandWaitsOutARefusingServer();

private:
    QTemporaryDir runtime;
};

void TestPulseTestServer::initTestCase()
{
    QVERIFY(runtime.isValid());
    QVERIFY(PulseTestServer::usePrivateServer(runtime.path() + QStringLiteral("/run"), PulseTestServer::sinkOnlyConfiguration()));
    QVERIFY(PulseTestServer::start());
}

// Starved on a loaded machine, the server refuses connections past its listen
// backlog for a while; a module a test loads then is loaded once it answers.
void TestPulseTestServer::commandWaitsOutARefusingServer()
{
    PulseBusyServer busy;
    QVERIFY(busy.hold());
    std::future<QString> loaded = std::async(std::launch::async, [] {
        return PulseTestServer::pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                       QStringLiteral("sink_name=late_sink")});
    });
    // Refused meanwhile: part of what is tried, not a limit.
    QTest::qWait(300);
    busy.release();
    QVERIFY(!loaded.get().trimmed().isEmpty());
    QVERIFY(PulseTestServer::pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sinks")})
                .contains(QStringLiteral("late_sink")));
}

QTEST_GUILESS_MAIN(TestPulseTestServer)
#include "TestPulseTestServer.moc"
