#include "FixedWindow.h"
#include "FixedWindowX11.h"
#include "TestHome.h"
#include "VexStyle.h"
#include "WindowManagerSession.h"
#include "X11Windows.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QRegularExpression>
#include <QScreen>
#include <QtTest>

#include <memory>

static void registerQmlResources()
{
    Q_INIT_RESOURCE(qml);
}

namespace {

QStringList* infoLog = nullptr;

void captureInfo(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtInfoMsg && infoLog)
        *infoLog << message;
}

const QStringList Hints{"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_STICKY"};

} // namespace

// The tool window's hints on a real X display, with and without an EWMH
// window manager (no X request of it may end the program), also once the
// window was hidden and shown again, and the style module that offers it to QML.
class TestWindowTypes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void grownWindowStaysOnScreen();
    void hintsReachTheWindow_data();
    void hintsReachTheWindow();
    void failedRequestsAreLogged();
    void styleModule();
    void dialogGrowsWithItsView();

private:
    WindowManagerSession windowManager;
    QStringList log;
};

void TestWindowTypes::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    if (X11Windows::windowManagerRunning())
        QSKIP("The display already has a window manager");
    // The program leaves out the hints a display does not know; a bare test
    // display knows them only once a tray host or an earlier test named them.
    X11Windows::internAtoms(Hints);
    infoLog = &log;
}

// Placed low (by a window manager, or by the user before), a window whose
// content grows (wrapped texts settling, error lines) keeps its buttons on
// screen. (Run before any window manager starts: openbox would do it itself.)
void TestWindowTypes::grownWindowStaysOnScreen()
{
    FixedWindow window;
    window.resize(300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, TestHome::scaled(5000)));
    const QRect area = window.QWindow::screen()->availableGeometry();
    window.setFramePosition(QPoint(area.left() + 40, area.bottom() + 1 - window.frameGeometry().height()));
    QTRY_COMPARE_WITH_TIMEOUT(window.frameGeometry().bottom(), area.bottom(), TestHome::scaled(5000));

    window.resize(300, 260);
    QTRY_COMPARE_WITH_TIMEOUT(window.height(), 260, TestHome::scaled(5000));
    QTRY_VERIFY_WITH_TIMEOUT(area.contains(window.frameGeometry()), TestHome::scaled(5000));
    QCOMPARE(window.frameGeometry().bottom(), area.bottom());
}

void TestWindowTypes::hintsReachTheWindow_data()
{
    QTest::addColumn<bool>("withWindowManager");
    QTest::newRow("no window manager") << false;
    QTest::newRow("openbox") << true;
}

void TestWindowTypes::hintsReachTheWindow()
{
    QFETCH(bool, withWindowManager);
    QString error;
    if (withWindowManager)
        QVERIFY2(windowManager.start(&error), qPrintable(error));

    log.clear();
    QtMessageHandler previous = qInstallMessageHandler(captureInfo);
    FixedWindow window;
    qInstallMessageHandler(previous);
    window.setTitle(QStringLiteral("Настройки"));
    window.resize(200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, TestHome::scaled(5000)));

    // Logged while the window was not mapped yet: nothing before, the three hints after.
    const QString id = QStringLiteral("#%1(%2)").arg(window.winId(), 0, 16).arg(window.winId());
    const int before = log.indexOf(QRegularExpression(QStringLiteral("^FixedWindow '.*' ") + QRegularExpression::escape(id)
                                                      + QStringLiteral(" Properties BEFORE:$")));
    QVERIFY2(before >= 0, qPrintable(log.join(QLatin1Char('\n'))));
    QCOMPARE(log.mid(before + 1, 2), (QStringList{"_NET_WM_STATE:", "_NET_WM_ALLOWED_ACTIONS:"}));
    QVERIFY(log.at(before + 3).endsWith(QLatin1String(" Properties AFTER:")));
    QCOMPARE(log.mid(before + 4, 4), (QStringList{"_NET_WM_STATE:", "  " + Hints.at(0), "  " + Hints.at(1), "  " + Hints.at(2)}));

    // Mapped: a window manager keeps those it supports (openbox has no sticky
    // state); without one they stay as written.
    const QStringList expected = withWindowManager ? WindowManagerSession::supported(Hints) : Hints;
    QVERIFY(expected.size() >= 2);
    const auto hasHints = [&window, &expected] {
        const QStringList state = X11Windows::atomNames(window.winId(), "_NET_WM_STATE");
        for (const QString& hint : expected) {
            if (!state.contains(hint))
                return false;
        }
        return true;
    };
    QVERIFY2(hasHints(), qPrintable(X11Windows::atomNames(window.winId(), "_NET_WM_STATE").join(QLatin1Char(' '))));

    // A window manager drops the state of a window it no longer shows; shown
    // again (as the monitor is), the window has its hints back, written once.
    window.hide();
    if (withWindowManager)
        QTRY_VERIFY_WITH_TIMEOUT(X11Windows::atomNames(window.winId(), "_NET_WM_STATE").isEmpty(),
                                 TestHome::scaled(5000));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, TestHome::scaled(5000)));
    QTRY_VERIFY2_WITH_TIMEOUT(hasHints(), qPrintable(X11Windows::atomNames(window.winId(), "_NET_WM_STATE").join(QLatin1Char(' '))),
                              TestHome::scaled(5000));
    QCOMPARE(X11Windows::atomNames(window.winId(), "_NET_WM_STATE").removeDuplicates(), 0);
}

void TestWindowTypes::failedRequestsAreLogged()
{
    // A window that does not exist: every request fails, and the program goes on.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^X error: ")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^X error: \\d+ more like it")));
    QTest::ignoreMessage(QtWarningMsg, "FixedWindow: the window manager hints could not be set on window 1");
    FixedWindowX11::skipTaskbarAndPagerOnAllDesktops(1);
}

void TestWindowTypes::styleModule()
{
    registerQmlResources();
    FixedWindow::registerQmlType();
    VexStyle::registerQmlType();
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    QQmlComponent component(&engine);
    component.setData("import QtQuick 2.15\n"
                      "import VexStyle 1.0\n"
                      "FixedWindow {\n"
                      "    property color outer: VexStyle.defaultBackground\n"
                      "    property Item inner: child\n"
                      "    Item { id: child; property color own: child.VexStyle.defaultBackground }\n"
                      "}\n",
                      QUrl());
    std::unique_ptr<QObject> root(component.create());
    QVERIFY2(root, qPrintable(component.errorString()));
    // The module holds both the style window and the attached type.
    QVERIFY(qobject_cast<FixedWindow*>(root.get()));
    auto* inner = root->property("inner").value<QObject*>();
    QCOMPARE(root->property("outer").value<QColor>(), QColor(QStringLiteral("#FF0000")));
    QCOMPARE(inner->property("own").value<QColor>(), QColor(QStringLiteral("#FF0000")));
    // Each item has its own style object, owned by the item.
    QObject* rootStyle = qmlAttachedPropertiesObject<VexStyle>(root.get(), false);
    QObject* innerStyle = qmlAttachedPropertiesObject<VexStyle>(inner, false);
    QVERIFY(rootStyle && innerStyle && rootStyle != innerStyle);
    QCOMPARE(innerStyle->parent(), inner);
}

// The theme choice windows take their view's height, which wrapped texts settle
// only after the window is shown: the window manager must let the window grow.
void TestWindowTypes::dialogGrowsWithItsView()
{
    QString error;
    if (!X11Windows::windowManagerRunning())
        QVERIFY2(windowManager.start(&error), qPrintable(error));
    registerQmlResources();
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import QtQuick 2.15\n"
                      "ThemeSelectionDialog {\n"
                      "    view: content\n"
                      "    Item { id: content; objectName: \"content\"; property bool wrapped: false\n"
                      "           implicitWidth: 300; implicitHeight: wrapped ? 340 : 300 }\n"
                      "}\n",
                      QUrl(QStringLiteral("qrc:/GrowingDialog.qml")));
    std::unique_ptr<QObject> root(component.create());
    QVERIFY2(root, qPrintable(component.errorString()));
    auto* window = qobject_cast<QWindow*>(root.get());
    QVERIFY(window);
    window->show();
    // As a wrapped text does at the first layout, while the window is being mapped.
    root->findChild<QQuickItem*>(QStringLiteral("content"))->setProperty("wrapped", true);
    QVERIFY(QTest::qWaitForWindowExposed(window, TestHome::scaled(5000)));
    QTRY_COMPARE_WITH_TIMEOUT(window->height(), 340, TestHome::scaled(5000));
    QCOMPARE(window->width(), 300);
}

QTEST_MAIN(TestWindowTypes)
#include "TestWindowTypes.moc"
