#include "HotKeyManager.h"
#include "QmlViewModels.h"
#include "QuickWindows.h"
#include "TestHome.h"
#include "WindowManagerSession.h"
#include "X11Windows.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QtTest>

#include <memory>

namespace {

const QStringList Hints{"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_STICKY"};

QStringList missingHints(const QStringList& expected, unsigned long window)
{
    const QStringList state = X11Windows::atomNames(window, "_NET_WM_STATE");
    QStringList missing;
    for (const QString& hint : expected) {
        if (!state.contains(hint))
            missing << hint;
    }
    return missing;
}

} // namespace

// The windows the tray opens, as a user meets them under a window manager:
// closed and opened again, each comes back at its size and as a tool window.
class TestTrayWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void reopenedWindowKeepsSizeAndHints_data();
    void reopenedWindowKeepsSizeAndHints();

private:
    WindowManagerSession windowManager;
    QStringList expectedHints;
    std::unique_ptr<QmlViewModels> models;
    std::unique_ptr<QQmlEngine> engine;
    std::unique_ptr<QObject> mainView;
};

void TestTrayWindows::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QString error;
    QVERIFY2(windowManager.start(&error), qPrintable(error));
    expectedHints = WindowManagerSession::supported(Hints);
    QVERIFY(expectedHints.size() >= 2);

    TestHome::useApplicationIdentity();
    TestHome::wipe();
    models = std::make_unique<QmlViewModels>();
    QVERIFY(models->connectToServer());
    engine = std::make_unique<QQmlEngine>();
    models->publish(engine.get());
    mainView.reset(models->create(engine.get(), QStringLiteral(":/main.qml"), &error));
    QVERIFY2(mainView, qPrintable(error));
}

void TestTrayWindows::cleanupTestCase()
{
    mainView.reset();
    engine.reset();
    models.reset();
    // As the program does on quitting: stopped after the application, the listener waits out its limit.
    HotKeyManager::getHotkeyManager()->keyboardHookUnreg();
}

void TestTrayWindows::reopenedWindowKeepsSizeAndHints_data()
{
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QString>("title");
    QTest::newRow("settings") << QByteArray("signalShowSettings") << "Настройки";
    QTest::newRow("command editor") << QByteArray("signalShowReplaces") << "Автозамена";
    QTest::newRow("word list") << QByteArray("signalShowKivaro") << "Мои слова";
    // Built on the first request.
    QTest::newRow("feedback") << QByteArray("signalShowFeedback") << "Обратная связь";
    QTest::newRow("self-test") << QByteArray("signalSelfTest") << "Тесты";
}

void TestTrayWindows::reopenedWindowKeepsSizeAndHints()
{
    QFETCH(QByteArray, signal);
    QFETCH(QString, title);
    QObject* tray = engine->rootContext()->contextProperty(QStringLiteral("systemTray")).value<QObject*>();
    QVERIFY(tray);
    QQuickWindow* window = nullptr;
    const auto open = [&] {
        QVERIFY(QMetaObject::invokeMethod(tray, signal.constData()));
        window = QuickWindows::titled(title);
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTRY_COMPARE(missingHints(expectedHints, window->winId()), QStringList());
    };

    open();
    if (QTest::currentTestFailed())
        return;
    // As the user left it: larger than it opens.
    // Until the window manager's answer reaches it, the window reports the
    // size it asked for but would be built again at the old one.
    const QSize size = window->size() + QSize(40, 30);
    QSignalSpy resized(window, &QWindow::widthChanged);
    window->resize(size);
    QTRY_VERIFY(!resized.isEmpty());
    QCOMPARE(window->size(), size);

    // The close button of the title bar; the window's own close handling runs.
    QSignalSpy closing(window, SIGNAL(closing(QQuickCloseEvent*)));
    QVERIFY(X11Windows::requestClose(window->winId()));
    QTRY_VERIFY(!window->isVisible());
    QCOMPARE(closing.count(), 1);

    open();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(window->size(), size);
    const auto frame = X11Windows::find([window](const X11Windows::Window& w) { return w.id == window->winId(); });
    QVERIFY(frame && frame->viewable);
    QCOMPARE(frame->geometry.size(), size);
    window->close();
    QTRY_VERIFY(!window->isVisible());
}

QTEST_MAIN(TestTrayWindows)
#include "TestTrayWindows.moc"
