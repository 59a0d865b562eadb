#include "ChildProcess.h"
#include "FakeServerSet.h"
#include "KeyRecorderWindow.h"
#include "TestHome.h"
#include "XTestKeyboard.h"

#include <QtTest>

#include <QRegularExpression>
#include <QSettings>

#include <memory>

namespace {

// A program of the walk-through, its output collected as it comes.
struct Program
{
    explicit Program(const QString& path, const QStringList& arguments = {},
                     const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        process.collectOutput();
        process.setProcessEnvironment(environment);
        process.start(path, arguments);
    }
    const QString& output() const { return process.output(); }
    ChildProcess process;
};

QString fakeServer()
{
    return QStringLiteral(FAKE_SERVER_BINARY);
}

} // namespace

// The README's walk-through as a new user follows it: the fake server, the client
// pointed at it with the settings the fake server prints, a double Ctrl, and the
// phrase the fake server "recognises" typed into the window that has the focus.
class TestWalkthrough : public QObject
{
    Q_OBJECT

private slots:
    void fakeServerUsage_data();
    void fakeServerUsage();
    void dictationEndsInTheEditor();
};

void TestWalkthrough::fakeServerUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0;
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << 0;
    QTest::newRow("port not a number") << QStringList{QStringLiteral("balancer")} << 2;
    QTest::newRow("port out of range") << QStringList{QStringLiteral("0"), QStringLiteral("70000")} << 2;
    QTest::newRow("too many arguments") << QStringList{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")} << 2;
}

void TestWalkthrough::fakeServerUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);

    Program server(fakeServer(), arguments);
    QVERIFY(server.process.waitToEnd(TestHome::scaled(10000)));
    QCOMPARE(server.process.exitCode(), exitCode);
    QVERIFY2(server.output().startsWith(QLatin1String("Usage: FakeServer [balancer-port [recognition-port]]")),
             qPrintable(server.output()));
    QVERIFY(server.output().contains(QLatin1String("balancer 39255 and recognition server 34000")));
    QVERIFY(!server.output().contains(QLatin1String("Fake balancer on")));
}

void TestWalkthrough::dictationEndsInTheEditor()
{
    TestHome::wipe();
    XTestKeyboard keyboard;
    QVERIFY2(keyboard.isOpen(), "this test needs an X display");
    // A Russian desktop's layouts: Cyrillic letters are typed without borrowing keycodes.
    QVERIFY(keyboard.setLayout(QStringLiteral("us,ru")));
    KeyRecorderWindow editor(QRect(40, 300, 500, 120));
    QVERIFY(editor.isOpen());
    keyboard.focus(editor.windowId());

    // Port 0: the fake server says which ports it took, as it says which settings to use.
    Program server(fakeServer(), {QStringLiteral("0"), QStringLiteral("0")});
    QRegularExpressionMatch port;
    QTRY_VERIFY_WITH_TIMEOUT((port = QRegularExpression(QStringLiteral("RestPort=(\\d+)\\n")).match(server.output())).hasMatch(),
                             TestHome::scaled(5000));
    {
        QSettings settings(FakeServerSet::clientSettingsFile(TestHome::path()), QSettings::IniFormat);
        settings.setValue(QStringLiteral("BalancerConnection/Ip"), QStringLiteral("127.0.0.1"));
        settings.setValue(QStringLiteral("BalancerConnection/RestPort"), port.captured(1).toInt());
        settings.setValue(QStringLiteral("BalancerConnection/UseTls"), false);
        settings.setValue(QStringLiteral("ASR/IsThemeAutoSelect"), true);
    }
    // The profile window would hold the keyboard: the README's reader closes it first.
    FakeServerSet::writeCompleteProfile(QFileInfo(FakeServerSet::clientSettingsFile(TestHome::path())).path());
    Program client(QStringLiteral(SCRIVORA_BINARY), {}, FakeServerSet::clientEnvironment(TestHome::path()));
    QTRY_VERIFY_WITH_TIMEOUT(server.output().contains(QLatin1String("Client connected")), TestHome::scaled(20000));
    QTRY_VERIFY_WITH_TIMEOUT(client.output().contains(QLatin1String("stateChanged from 9 to 14")), TestHome::scaled(20000));

    // The key listener may still be starting: the user would simply press again.
    const auto doubleCtrl = [&keyboard] { keyboard.doubleTap("Control_L"); };
    // A request without a mode: dictation, the server's choice.
    const QRegularExpression dictationRequest(QStringLiteral("Message 1: [^\\n]*\"Type\":null"));
    const auto requested = [&server, &dictationRequest] { return server.output().contains(dictationRequest); };
    for (int attempt = 0; attempt < 10 && !requested(); ++attempt) {
        doubleCtrl();
        // Pressing again before a slow request arrives would stop the dictation it started.
        if (QTest::qWaitFor(requested, TestHome::scaled(1000)))
            break;
    }
    QVERIFY2(requested(), qPrintable(server.output()));

    // Formatted, the system rules applied ("точка"); the partial result before it is only
    // shown, never typed.
    const QString typed = QStringLiteral("Пациент жалоб не предъявляет. Пациент жалоб не предъявляет.");
    QTRY_VERIFY2_WITH_TIMEOUT(editor.text().startsWith(typed), qPrintable(editor.text()), TestHome::scaled(20000));

    // The next double Ctrl stops dictation: a request for the idle mode.
    const QRegularExpression stopRequest(QStringLiteral("Message 1: [^\\n]*\"Type\":0"));
    const int stops = server.output().count(stopRequest);
    QTest::qWait(300); // apart from the first pair, so the presses are not counted as one run
    doubleCtrl();
    QTRY_VERIFY_WITH_TIMEOUT(server.output().count(stopRequest) > stops, TestHome::scaled(5000));
}

QTEST_GUILESS_MAIN(TestWalkthrough)
#include "TestWalkthrough.moc"
