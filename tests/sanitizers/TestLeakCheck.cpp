#include "ChildProcess.h"
#include "TestHome.h"

#include <QtTest>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

namespace {

const char* const ModeVariable = "SCRIVORA_LEAK_CHECK_MODE";

// Holds the block only until it is leaked.
void* volatile allocation = nullptr;

// Not inlined, so that the leak report names it.
__attribute__((noinline)) void leakOnPurpose()
{
    allocation = std::malloc(4096);
    allocation = nullptr;
}

// The child: a window on the platform the parent chose, and back in the event
// loop, from a slot as any of this program's own, a leak or none.
int showWindow(int argc, char** argv, bool leak)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(120, 80);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, TestHome::scaled(5000)))
        return 2;
    QTimer::singleShot(0, &app, [&app, leak] {
        if (leak)
            leakOnPurpose();
        app.quit();
    });
    return app.exec();
}

} // namespace

// The leak checker's suppressions (tests/sanitizers/lsan.supp) take out the
// leaks of system libraries a window costs, on the offscreen platform and
// drawn through GLX, but never a leak of this program's own code, however
// deep in those libraries' frames it runs.
class TestLeakCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void onlySystemLeaksAreSuppressed_data();
    void onlySystemLeaksAreSuppressed();
};

void TestLeakCheck::initTestCase()
{
#ifndef __SANITIZE_ADDRESS__
    QSKIP("Built without the leak checker: scripts/test-sanitizers.sh runs this test");
#endif
}

void TestLeakCheck::onlySystemLeaksAreSuppressed_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<bool>("leak");
    QTest::newRow("offscreen window") << "offscreen" << false;
    QTest::newRow("offscreen window, a leak of ours") << "offscreen" << true;
    QTest::newRow("window drawn through GLX") << "xcb" << false;
    QTest::newRow("window drawn through GLX, a leak of ours") << "xcb" << true;
}

void TestLeakCheck::onlySystemLeaksAreSuppressed()
{
    QFETCH(QString, platform);
    QFETCH(bool, leak);
    ChildProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    environment.insert(QString::fromLatin1(ModeVariable), leak ? QStringLiteral("leak") : QStringLiteral("none"));
    child.setProcessEnvironment(environment);
    child.collectOutput();
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitToEnd(TestHome::scaled(60000)));
    const QString report = child.output().right(6000);
    if (leak) {
        QVERIFY2(child.exitCode() != 0, qPrintable(report));
        QVERIFY2(report.contains(QLatin1String("leakOnPurpose")), qPrintable(report));
    } else {
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(report));
    }
}

int main(int argc, char** argv)
{
    const QByteArray mode = qgetenv(ModeVariable);
    if (!mode.isEmpty())
        return showWindow(argc, argv, mode == "leak");
    QCoreApplication app(argc, argv);
    TestLeakCheck test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestLeakCheck.moc"
