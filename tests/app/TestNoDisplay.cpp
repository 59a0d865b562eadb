#include "WindowsManager.h"

#include <QtTest>

// Without an X display the composition root is still built and says what is
// missing; starting the program then ends with -1 instead of an abort.
class TestNoDisplay : public QObject
{
    Q_OBJECT

private slots:
    void startsWithoutDisplay()
    {
        qunsetenv("DISPLAY");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Cannot open the X display")));
        WindowsManager manager;

        qputenv("QT_QPA_PLATFORM", "xcb");
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^No X display")));
        char name[] = "scrivora";
        char* argv[] = {name, nullptr};
        QCOMPARE(manager.start(1, argv), -1);
        // A second start builds nothing either.
        QCOMPARE(manager.start(1, argv), -1);
        QCOMPARE(manager.mainWindow(), nullptr);
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
};

QTEST_MAIN(TestNoDisplay)
#include "TestNoDisplay.moc"
