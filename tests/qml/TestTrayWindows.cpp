#include "AboutSettingsViewModel.h"
#include "CommandsCollectionViewModel.h"
#include "CommandsViewModel.h"
#include "FeedbackSettings.h"
#include "HotKeyManager.h"
#include "KeyRecorderWindow.h"
#include "KivaroViewModel.h"
#include "NetworkSettingsViewModel.h"
#include "QmlViewModels.h"
#include "QuickWindows.h"
#include "StatisticsViewModel.h"
#include "TestHome.h"
#include "UserCommandViewModel.h"
#include "UserCommandsManager.h"
#include "ValidatableText.h"
#include "WindowManagerSession.h"
#include "X11Windows.h"
#include "XTestKeyboard.h"

#include <QAbstractButton>
#include <QMenu>
#include <QMessageBox>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
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

// The window with its frame lies within the screen's work area.
bool wholeOnScreen(QWindow* window)
{
    return window->screen()->availableGeometry().contains(window->frameGeometry());
}

QQuickWindow* focusedQuickWindow()
{
    return qobject_cast<QQuickWindow*>(QGuiApplication::focusWindow());
}

// The item is shown whole: inside every clipping item around it and above the window's footer.
bool shownWhole(QQuickItem* item)
{
    const QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    QRectF visible(QPointF(0, 0), item->window()->size());
    if (auto* footer = item->window()->property("footer").value<QQuickItem*>())
        visible.setBottom(visible.bottom() - footer->height());
    for (QQuickItem* outer = item->parentItem(); outer; outer = outer->parentItem()) {
        if (outer->clip())
            visible &= outer->mapRectToScene(QRectF(0, 0, outer->width(), outer->height()));
    }
    return visible.contains(rect);
}

// The shown item below this one whose "text" is the given one (a field or a label).
QQuickItem* itemWithText(QQuickItem* under, const char* type, const QString& text)
{
    const QList<QQuickItem*> items = under->childItems();
    for (QQuickItem* item : items) {
        if (!item->isVisible())
            continue;
        if (item->inherits(type) && item->property("text").toString() == text)
            return item;
        if (QQuickItem* found = itemWithText(item, type, text))
            return found;
    }
    return nullptr;
}

// Layouts move their items when the window draws its next frame.
bool drawnAgain(QQuickWindow* window)
{
    QSignalSpy drawn(window, &QQuickWindow::frameSwapped);
    window->update();
    return drawn.wait(TestHome::scaled(5000));
}

// Where the fields and buttons below this item lie in its window, and the window's size.
QList<QRectF> controlGeometry(QQuickItem* under)
{
    QList<QRectF> geometry;
    if (under == under->window()->contentItem())
        geometry << QRectF(QPointF(), under->window()->size());
    const QList<QQuickItem*> items = under->childItems();
    for (QQuickItem* item : items) {
        if (!item->isVisible())
            continue;
        if (item->inherits("QQuickTextField") || item->inherits("QQuickComboBox") || item->inherits("QQuickButton"))
            geometry << item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        else
            geometry << controlGeometry(item);
    }
    return geometry;
}

// The user's command files by name, with their content.
QMap<QString, QByteArray> commandFiles()
{
    QMap<QString, QByteArray> files;
    const QDir folder(UserCommandsManager::commandsFolder());
    for (const QString& name : folder.entryList(QDir::Files)) {
        QFile file(folder.filePath(name));
        files.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return files;
}

// The document of another program the user worked in, shown and given the keyboard.
bool focusDocument(XTestKeyboard& keyboard, const KeyRecorderWindow& document)
{
    const auto shown = [&document] {
        return bool(
            X11Windows::find([&](const X11Windows::Window& w) { return w.id == document.windowId() && w.viewable; }));
    };
    if (!keyboard.isOpen() || !document.isOpen() || !QTest::qWaitFor(shown, TestHome::scaled(5000)))
        return false;
    keyboard.focus(document.windowId());
    return true;
}

} // namespace

// The windows the tray opens, as a user meets them under a window manager:
// closed and opened again, each comes back at its size and as a tool window.
class TestTrayWindows : public QObject
{
    Q_OBJECT

public:
    // The window manager's start, done before the application exists.
    explicit TestTrayWindows(const QString& windowManagerError)
        : windowManagerError(windowManagerError)
    {
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    // First: each window's first showing.
    void windowOpensWithKeysInFirstField_data();
    void windowOpensWithKeysInFirstField();
    void profileFormShowsErrorsOnceTouchedInPlace();
    void reopenedWindowKeepsSizeAndHints_data();
    void reopenedWindowKeepsSizeAndHints();
    void closedDialogGivesTheFocusBack_data();
    void closedDialogGivesTheFocusBack();
    void archiveMessageGivesTheFocusBack();
    void settingsPagesScrollAtMinimumSize();
    void commandEditorShowsListButtonsBelowTabs();
    void commandEditorAsksBeforeDroppingEdits_data();
    void commandEditorAsksBeforeDroppingEdits();

private:
    QQuickWindow* openFromTray(const QByteArray& signal, const QString& title);
    template<typename T>
    T* contextObject(const char* name) const
    {
        return qobject_cast<T*>(engine->rootContext()->contextProperty(QLatin1String(name)).value<QObject*>());
    }

    QString windowManagerError;
    QStringList expectedHints;
    std::unique_ptr<QmlViewModels> models;
    std::unique_ptr<QQmlEngine> engine;
    std::unique_ptr<QObject> mainView;
};

void TestTrayWindows::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QVERIFY2(windowManagerError.isEmpty(), qPrintable(windowManagerError));
    expectedHints = WindowManagerSession::supported(Hints);
    QVERIFY(expectedHints.size() >= 2);

    TestHome::useApplicationIdentity();
    TestHome::wipe();
    models = std::make_unique<QmlViewModels>();
    QVERIFY(models->connectToServer());
    engine = std::make_unique<QQmlEngine>();
    models->publish(engine.get());
    QString error;
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

QQuickWindow* TestTrayWindows::openFromTray(const QByteArray& signal, const QString& title)
{
    QObject* tray = engine->rootContext()->contextProperty(QStringLiteral("systemTray")).value<QObject*>();
    if (!tray || !QMetaObject::invokeMethod(tray, signal.constData()))
        return nullptr;
    QQuickWindow* window = QuickWindows::titled(title);
    return window && QTest::qWaitForWindowExposed(window, TestHome::scaled(5000)) ? window : nullptr;
}

void TestTrayWindows::reopenedWindowKeepsSizeAndHints()
{
    QFETCH(QByteArray, signal);
    QFETCH(QString, title);
    QQuickWindow* window = nullptr;
    const auto open = [&] {
        window = openFromTray(signal, title);
        QVERIFY(window);
        QTRY_COMPARE_WITH_TIMEOUT(missingHints(expectedHints, window->winId()), QStringList(), TestHome::scaled(5000));
        // Reachable as it opens, frame included.
        QTRY_VERIFY_WITH_TIMEOUT(wholeOnScreen(window), TestHome::scaled(5000));
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
    QTRY_VERIFY_WITH_TIMEOUT(!resized.isEmpty(), TestHome::scaled(5000));
    QCOMPARE(window->size(), size);

    // The close button of the title bar; the window's own close handling runs.
    QSignalSpy closing(window, SIGNAL(closing(QQuickCloseEvent*)));
    QVERIFY(X11Windows::requestClose(window->winId()));
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), TestHome::scaled(5000));
    QCOMPARE(closing.count(), 1);

    open();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(window->size(), size);
    const auto frame = X11Windows::find([window](const X11Windows::Window& w) { return w.id == window->winId(); });
    QVERIFY(frame && frame->viewable);
    QCOMPARE(frame->geometry.size(), size);
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), TestHome::scaled(5000));
}

void TestTrayWindows::closedDialogGivesTheFocusBack_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::newRow("key command window") << "Сочетание клавиш";
    QTest::newRow("question on closing the feedback form") << "Обратная связь";
}

// Under a window manager that keeps the client's tool windows out of its focus
// order, Esc on a dialog must give the keys back to the window it came from,
// never to the document the user worked in before.
void TestTrayWindows::closedDialogGivesTheFocusBack()
{
    QFETCH(QString, dialog);
    XTestKeyboard keyboard;
    KeyRecorderWindow document(QRect(40, 60, 320, 200));
    QVERIFY(focusDocument(keyboard, document));

    QQuickWindow* opener = nullptr;
    QObject* form = engine->rootContext()->contextProperty(QStringLiteral("feedbackViewModel")).value<QObject*>();
    bool shown = false;
    QWindow* shownOver = nullptr;
    // The dialog answers Esc once it has the keyboard; a question box runs its own
    // event loop, so this is done from within it.
    QTimer escape;
    connect(&escape, &QTimer::timeout, this, [&] {
        QWindow* focused = QGuiApplication::focusWindow();
        if (!focused || focused == opener)
            return;
        escape.stop();
        shown = true;
        shownOver = focused->transientParent();
        keyboard.tap("Escape");
    });
    if (dialog == QStringLiteral("Сочетание клавиш")) {
        QObject* editor = engine->rootContext()->contextProperty(QStringLiteral("commandsViewModel")).value<QObject*>();
        opener = openFromTray("signalShowReplaces", QStringLiteral("Автозамена"));
        QVERIFY(opener);
        QVERIFY(editor->setProperty("typeIndex", 1));
        QTRY_COMPARE_WITH_TIMEOUT(focusedQuickWindow(), opener, TestHome::scaled(5000));
        keyboard.tap("Insert");
        QTRY_VERIFY_WITH_TIMEOUT(focusedQuickWindow() && focusedQuickWindow() != opener, TestHome::scaled(5000));
        QCOMPARE(focusedQuickWindow()->title(), dialog);
        QTRY_VERIFY_WITH_TIMEOUT(wholeOnScreen(focusedQuickWindow()), TestHome::scaled(5000));
        escape.start(20);
    } else {
        opener = openFromTray("signalShowFeedback", QStringLiteral("Обратная связь"));
        QVERIFY(opener);
        QTRY_COMPARE_WITH_TIMEOUT(focusedQuickWindow(), opener, TestHome::scaled(5000));
        form->property("FeedbackText").value<ValidatableText*>()->set_Text(QStringLiteral("Нераспознанное **слово**"));
        // Closing with a changed text asks whether to keep it; Esc answers "Отмена".
        escape.start(20);
        opener->close();
    }
    QTRY_VERIFY_WITH_TIMEOUT(shown, TestHome::scaled(5000));
    QCOMPARE(shownOver, opener);
    // As the X server sees it, where the next keys go: Qt may take the pointer's
    // window for a focused one meanwhile.
    QTRY_COMPARE_WITH_TIMEOUT(X11Windows::inputFocus(), opener->winId(), TestHome::scaled(5000));
    QVERIFY(opener->isVisible());

    // Closed as it was opened: nothing to ask.
    form->property("FeedbackText").value<ValidatableText*>()->set_Text(FeedbackSettings().FeedbackText);
    opener->close();
    QTRY_VERIFY_WITH_TIMEOUT(!opener->isVisible(), TestHome::scaled(5000));
}

// "О программе" → "Сохранить информацию о системе…" → Return, then "ОК" on the
// message that the archive was saved: the keys that follow go to the settings
// window, not to the document the user worked in before.
void TestTrayWindows::archiveMessageGivesTheFocusBack()
{
    XTestKeyboard keyboard;
    KeyRecorderWindow document(QRect(40, 60, 320, 200));
    QVERIFY(focusDocument(keyboard, document));
    // The archive goes to the desktop folder: the test's own, never the user's.
    const QString desktop = TestHome::path() + QStringLiteral("/Desktop");
    QVERIFY(QDir().mkpath(desktop));
    QFile folders(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/user-dirs.dirs"));
    QVERIFY(folders.open(QIODevice::WriteOnly));
    folders.write("XDG_DESKTOP_DIR=\"" + QFile::encodeName(desktop) + "\"\n");
    folders.close();
    const QString archive = AboutSettingsViewModel::suggestedArchivePath();
    QCOMPARE(archive, desktop + QStringLiteral("/SysInfo.tar.gz"));
    QFile::remove(archive);

    QQuickWindow* settings = openFromTray("signalShowSettings", QStringLiteral("Настройки"));
    QVERIFY(settings);
    QTRY_COMPARE_WITH_TIMEOUT(focusedQuickWindow(), settings, TestHome::scaled(5000));
    QObject* about = models->page(QStringLiteral("AboutSettingsViewModel"));
    QVERIFY(about);

    // Each dialog runs its own event loop: it is answered from within it, with
    // Return once it has the keyboard.
    QStringList answered;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        QWindow* focused = QGuiApplication::focusWindow();
        if (!focused || focused == settings || answered.contains(focused->title()))
            return;
        answered << focused->title();
        keyboard.tap("Return");
    });
    answer.start(20);
    QVERIFY(QMetaObject::invokeMethod(about, "getSystemInfo", Qt::QueuedConnection));
    QTRY_VERIFY_WITH_TIMEOUT(answered.size() == 2 && !QApplication::activeModalWidget(), TestHome::scaled(30000));
    answer.stop();
    QCOMPARE(answered, (QStringList{"Сохранить информацию о системе", "Информация о системе"}));
    QVERIFY(QFileInfo(archive).isFile());

    QTRY_COMPARE_WITH_TIMEOUT(X11Windows::inputFocus(), settings->winId(), TestHome::scaled(5000));
    document.clear();
    keyboard.tap("z");
    keyboard.tap("z");
    QTest::qWait(TestHome::scaled(300));
    QCOMPARE(document.text(), QString());
    QVERIFY(settings->isVisible());

    QVERIFY(QMetaObject::invokeMethod(settings, "cancel"));
    QTRY_VERIFY_WITH_TIMEOUT(!settings->isVisible(), TestHome::scaled(5000));
}

// At the settings window's least size every page can still be read to its end.
void TestTrayWindows::settingsPagesScrollAtMinimumSize()
{
    QQuickWindow* window = openFromTray("signalShowSettings", QStringLiteral("Настройки"));
    QVERIFY(window);
    window->resize(window->minimumSize());
    QTRY_COMPARE_WITH_TIMEOUT(window->height(), 420, TestHome::scaled(5000));
    QTRY_VERIFY_WITH_TIMEOUT(wholeOnScreen(window), TestHome::scaled(5000));

    // "Сеть" with a connection error and a rejected proxy port: saving moves the focus
    // to the port, which comes into view with its error.
    auto* network = qobject_cast<NetworkSettingsViewModel*>(models->page(QStringLiteral("NetworkSettingsViewModel")));
    QVERIFY(network);
    ConnectionStateInfo failure;
    failure.setState(3);
    failure.setMessage(QStringLiteral("Не удалось подключиться к серверу 127.0.0.1: соединение отклонено"));
    network->onConnectionStateChanged(failure);
    network->get_RestProxyPort()->set_Text(QStringLiteral("0"));
    QVERIFY(QMetaObject::invokeMethod(window, "save"));
    QTRY_VERIFY_WITH_TIMEOUT(window->activeFocusItem() && window->activeFocusItem()->property("text").toString() == "0",
                             TestHome::scaled(5000));
    QQuickItem* port = window->activeFocusItem();
    QTRY_VERIFY_WITH_TIMEOUT(shownWhole(port), TestHome::scaled(5000));
    QQuickItem* error =
        itemWithText(window->contentItem(), "QQuickLabel", QStringLiteral("Порт должен быть в диапазоне от 1 до 65535"));
    QVERIFY(error);
    QTRY_VERIFY_WITH_TIMEOUT(shownWhole(error), TestHome::scaled(5000));

    network->get_RestProxyPort()->set_Text(QStringLiteral("39256"));
    QVERIFY(QMetaObject::invokeMethod(window, "cancel"));
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), TestHome::scaled(5000));
}

void TestTrayWindows::windowOpensWithKeysInFirstField_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QByteArray>("key");
    QTest::newRow("word list from the tray's menu") << "Мои слова" << QByteArray("x");
    // Offered at start-up without the keyboard; the user clicks it.
    QTest::newRow("profile shown at start-up") << "Данные пользователя" << QByteArray("Down");
}

// The first key typed after a window first comes up lands in its first field.
void TestTrayWindows::windowOpensWithKeysInFirstField()
{
    QFETCH(QString, title);
    QFETCH(QByteArray, key);
    XTestKeyboard keyboard;
    KeyRecorderWindow document(QRect(40, 60, 320, 200));
    QVERIFY(focusDocument(keyboard, document));
    auto* words = contextObject<KivaroViewModel>("kivaroViewModel");
    auto* profile = contextObject<StatisticsViewModel>("statisticsViewModel");
    QQuickWindow* window = QuickWindows::titled(title);
    QVERIFY(window);
    QMenu* menu = models->trayMenu();
    if (window->isVisible()) {
        window->requestActivate();
    } else {
        // Chosen in the tray's menu, which is slow to go: the window has the
        // focus before the menu has let go of the keyboard.
        menu->popup(QPoint(600, 400));
        QTRY_VERIFY_WITH_TIMEOUT(menu->isVisible(), TestHome::scaled(5000));
        QTest::qWait(TestHome::scaled(300));
        QVERIFY(QMetaObject::invokeMethod(contextObject<QObject>("systemTray"), "signalShowKivaro"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(window->isActive(), TestHome::scaled(5000));
    QTest::qWait(TestHome::scaled(300));
    menu->hide();
    QTRY_COMPARE_WITH_TIMEOUT(X11Windows::inputFocus(), window->winId(), TestHome::scaled(5000));
    QTRY_COMPARE_WITH_TIMEOUT(focusedQuickWindow(), window, TestHome::scaled(5000));
    keyboard.tap(key.constData());
    if (window->title() == QStringLiteral("Мои слова")) {
        QTRY_COMPARE_WITH_TIMEOUT(words->get_KivaroWords()->get_Text(), QStringLiteral("x"), TestHome::scaled(5000));
        words->get_KivaroWords()->set_Text(QString());
        window->close();
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(profile->get_SelectedRegionIndex(), 0, TestHome::scaled(5000));
        profile->set_SelectedRegionIndex(-1);
    }
}

// The profile offered at start-up: no field is red before the user has been
// to it, and no field moves when an error line comes or goes (a click would
// land in another field).
void TestTrayWindows::profileFormShowsErrorsOnceTouchedInPlace()
{
    QQuickWindow* window = QuickWindows::titled(QStringLiteral("Данные пользователя"));
    QVERIFY(window && window->isVisible());
    ValidatableText* name = contextObject<StatisticsViewModel>("statisticsViewModel")->get_UserFullName();
    ValidatableText* room = contextObject<StatisticsViewModel>("statisticsViewModel")->get_WorkRoom();
    QVERIFY(!name->get_IsValid());
    const QString required = name->get_Error();
    QVERIFY(!itemWithText(window->contentItem(), "QQuickLabel", required));
    const auto drawnGeometry = [window] {
        return drawnAgain(window) ? controlGeometry(window->contentItem()) : QList<QRectF>();
    };
    const QList<QRectF> untouched = drawnGeometry();
    QVERIFY(untouched.size() > 7);

    const auto shownInPlace = [&](ValidatableText* field, const QString& text, bool checked) {
        field->set_Text(text);
        if (checked)
            field->CheckAndSetFocus();
        QVERIFY(!field->get_IsValid());
        QTRY_VERIFY_WITH_TIMEOUT(itemWithText(window->contentItem(), "QQuickLabel", field->get_Error()),
                                 TestHome::scaled(5000));
        QCOMPARE(drawnGeometry(), untouched);
    };
    // The longest error of each field, then the one for an empty name once checked.
    shownInPlace(name, QStringLiteral(" Иванов Иван"), false);
    shownInPlace(room, QStringLiteral("1#"), false);
    shownInPlace(name, QString(), true);
    room->set_Text(QString());
    QCOMPARE(drawnGeometry(), untouched);
}

// The tabs come with each opening, and with a large font the window widens
// for them as it opens: the list's buttons lie below them, not under them.
void TestTrayWindows::commandEditorShowsListButtonsBelowTabs()
{
    QQuickWindow* closed = QuickWindows::titled(QStringLiteral("Автозамена"));
    const QFont original = closed->property("font").value<QFont>();
    QFont font = original;
    font.setPixelSize(20);
    closed->setProperty("font", font);
    QQuickWindow* window = openFromTray("signalShowReplaces", QStringLiteral("Автозамена"));
    QVERIFY(window);
    QQuickItem* tab = itemWithText(window->contentItem(), "QQuickTabButton", QStringLiteral("Автозамена"));
    QQuickItem* add = itemWithText(window->contentItem(), "QQuickButton", QStringLiteral("Добавить"));
    QVERIFY(tab && add);
    const auto sceneTop = [](QQuickItem* item) { return item->mapToScene(QPointF(0, 0)).y(); };
    QVERIFY(drawnAgain(window));
    const qreal tabsEnd = sceneTop(tab) + tab->height();
    QVERIFY2(sceneTop(add) >= tabsEnd, qPrintable(QStringLiteral("button at %1, tabs end at %2").arg(sceneTop(add)).arg(tabsEnd)));
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), TestHome::scaled(5000));
    closed->setProperty("font", original);
}

void TestTrayWindows::commandEditorAsksBeforeDroppingEdits_data()
{
    QTest::addColumn<QString>("closedBy");
    QTest::newRow("Esc") << "Esc";
    QTest::newRow("the window manager") << "window manager";
}

// Автозамена → Insert → a rule → Return: the row is in the list, not yet in the
// command file. Closing the editor then asks; "Отмена" keeps it open with the
// row, OK closes it and nothing is stored.
void TestTrayWindows::commandEditorAsksBeforeDroppingEdits()
{
    QFETCH(QString, closedBy);
    XTestKeyboard keyboard;
    auto* editor = contextObject<CommandsViewModel>("commandsViewModel");
    QQuickWindow* window = openFromTray("signalShowReplaces", QStringLiteral("Автозамена"));
    QVERIFY(window);
    QVERIFY(editor->setProperty("typeIndex", 0));
    QTRY_COMPARE_WITH_TIMEOUT(focusedQuickWindow(), window, TestHome::scaled(5000));
    const QString themeId = editor->get_ThemeIds().value(editor->get_ThemeIndex());
    const int rows = editor->get_CommandSet(themeId, UserCommandNamespace::Text).size();
    const QMap<QString, QByteArray> stored = commandFiles();
    // Keys go where the X server sends them: to the window it gave the focus to.
    const auto keysGoTo = [](QWindow* target) {
        return target && X11Windows::inputFocus() == target->winId() && QGuiApplication::focusWindow() == target;
    };
    QTRY_VERIFY_WITH_TIMEOUT(keysGoTo(window), TestHome::scaled(5000));
    keyboard.tap("Insert");
    QTRY_VERIFY_WITH_TIMEOUT(focusedQuickWindow() && focusedQuickWindow() != window, TestHome::scaled(5000));
    QTRY_VERIFY_WITH_TIMEOUT(keysGoTo(focusedQuickWindow()), TestHome::scaled(5000));
    keyboard.tap("x");
    keyboard.tap("q");
    keyboard.tap("Return");
    QTRY_COMPARE_WITH_TIMEOUT(editor->get_CommandSet(themeId, UserCommandNamespace::Text).size(), rows + 1,
                              TestHome::scaled(5000));
    QTRY_VERIFY_WITH_TIMEOUT(keysGoTo(window), TestHome::scaled(5000));

    QStringList asked;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    // Answered once it has the keyboard, as a user does.
    QTimer answering;
    connect(&answering, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && QGuiApplication::focusWindow() == box->windowHandle()) {
            asked << box->windowTitle();
            box->button(answer)->click();
        }
    });
    answering.start(20);
    const auto close = [&] {
        if (closedBy == QStringLiteral("Esc"))
            keyboard.tap("Escape");
        else
            QVERIFY(X11Windows::requestClose(window->winId()));
    };
    close();
    QTRY_COMPARE_WITH_TIMEOUT(asked, QStringList{"Автозамена"}, TestHome::scaled(5000));
    QTest::qWait(TestHome::scaled(200));
    QVERIFY(window->isVisible());
    QCOMPARE(editor->get_CommandSet(themeId, UserCommandNamespace::Text).size(), rows + 1);

    answer = QMessageBox::Ok;
    QTRY_VERIFY_WITH_TIMEOUT(keysGoTo(window), TestHome::scaled(5000));
    close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), TestHome::scaled(5000));
    QCOMPARE(asked.size(), 2);
    QCOMPARE(commandFiles(), stored);

    // "Отмена" discards without asking, as it did.
    window = openFromTray("signalShowReplaces", QStringLiteral("Автозамена"));
    QVERIFY(window);
    const QList<UserCommandViewModel*> shown = editor->get_CommandSet(themeId, UserCommandNamespace::Text);
    editor->get_Collection(UserCommandNamespace::Text)->deleteCommand(shown.value(0));
    QVERIFY(QMetaObject::invokeMethod(window, "cancel"));
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), TestHome::scaled(5000));
    QCOMPARE(asked.size(), 2);
    QCOMPARE(commandFiles(), stored);
}

int main(int argc, char** argv)
{
    // As on a desktop, the window manager runs before the program starts: Qt
    // reads once, as it starts, what the window manager supports (window
    // activation among it).
    WindowManagerSession windowManager;
    QString error;
    windowManager.start(&error);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestTrayWindows test(error);
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "TestTrayWindows.moc"
