#include "FixedWindow.h"
#include "SoftwareRendering.h"
#include "TestHome.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtTest>

namespace {
// The OpenGL drivers mapped into this process (Mesa's software one is some 50 MB with LLVM).
QStringList openGlDrivers()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return {QStringLiteral("/proc/self/maps unreadable")};
    QStringList drivers;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QString path = QString::fromLocal8Bit(line.mid(line.indexOf('/')));
        const bool driver = path.contains(QLatin1String("/dri/")) || path.contains(QLatin1String("libLLVM"));
        if (driver && !drivers.contains(path))
            drivers << path;
    }
    return drivers;
}
} // namespace

// On a machine without a GPU every OpenGL window costs Mesa's software
// renderer: the client's windows and dialogs are drawn without it, unless the
// user asked Qt Quick for a backend.
class TestSoftwareRendering : public QObject
{
    Q_OBJECT

public:
    explicit TestSoftwareRendering(bool userChoiceKept)
        : userChoiceKept(userChoiceKept)
    {
    }

private slots:
    void userChoiceWins() { QVERIFY(userChoiceKept); }
    void windowsLoadNoOpenGlDriver();

private:
    bool userChoiceKept;
};

void TestSoftwareRendering::windowsLoadNoOpenGlDriver()
{
    FixedWindow window;
    window.resize(300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, TestHome::scaled(5000)));
    QCOMPARE(window.rendererInterface()->graphicsApi(), QSGRendererInterface::Software);
    QMessageBox question(QMessageBox::Question, QStringLiteral("Автозамена"), QStringLiteral("?"), QMessageBox::Ok);
    question.show();
    QVERIFY(QTest::qWaitForWindowExposed(&question, TestHome::scaled(5000)));
    QCOMPARE(openGlDrivers(), QStringList());
}

int main(int argc, char** argv)
{
    // Set, even empty: Qt's own choice.
    qputenv("QT_QUICK_BACKEND", "");
    SoftwareRendering::chooseUnlessAsked();
    const bool userChoiceKept = QQuickWindow::sceneGraphBackend().isEmpty();
    // As on a desktop (the test runner asks for the software backend itself).
    qunsetenv("QT_QUICK_BACKEND");
    SoftwareRendering::chooseUnlessAsked();
    QApplication app(argc, argv);
    TestSoftwareRendering test(userChoiceKept);
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "TestSoftwareRendering.moc"
