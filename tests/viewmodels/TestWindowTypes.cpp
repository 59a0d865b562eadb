#include "FixedWindow.h"
#include "FixedWindowX11.h"
#include "VexStyle.h"
#include "X11Windows.h"

#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QRegularExpression>
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
// window manager (no X request of it may end the program), and the style
// module that offers it to QML.
class TestWindowTypes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void hintsReachTheWindow_data();
    void hintsReachTheWindow();
    void failedRequestsAreLogged();
    void styleModule();

private:
    QProcess windowManager;
    QStringList log;
};

void TestWindowTypes::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    if (X11Windows::windowManagerRunning())
        QSKIP("The display already has a window manager");
    infoLog = &log;
}

void TestWindowTypes::cleanupTestCase()
{
    if (windowManager.state() != QProcess::NotRunning) {
        windowManager.terminate();
        windowManager.waitForFinished(5000);
    }
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
    if (withWindowManager) {
        windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        QVERIFY2(windowManager.waitForStarted(), "openbox is missing: scripts/deps.sh installs it");
        QTRY_VERIFY_WITH_TIMEOUT(X11Windows::windowManagerRunning(), 10000);
    }

    log.clear();
    QtMessageHandler previous = qInstallMessageHandler(captureInfo);
    FixedWindow window;
    qInstallMessageHandler(previous);
    window.setTitle(QStringLiteral("Настройки"));
    window.resize(200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

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
    const QStringList supported = X11Windows::atomNames(0, "_NET_SUPPORTED");
    const QStringList state = X11Windows::atomNames(window.winId(), "_NET_WM_STATE");
    int kept = 0;
    for (const QString& hint : Hints) {
        if (withWindowManager && !supported.contains(hint))
            continue;
        QVERIFY2(state.contains(hint), qPrintable(hint + QStringLiteral(" missing: ") + state.join(QLatin1Char(' '))));
        ++kept;
    }
    QVERIFY(kept >= 2);
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

QTEST_MAIN(TestWindowTypes)
#include "TestWindowTypes.moc"
