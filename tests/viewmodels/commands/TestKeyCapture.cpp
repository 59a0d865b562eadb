#include "CommandsCollectionViewModel.h"
#include "CommandsViewModel.h"
#include "FixedWindow.h"
#include "HotKeyEditModel.h"
#include "HotKeyManager.h"
#include "KeyboardListener.h"
#include "TestHome.h"
#include "TextWriter.h"
#include "UserCommandsManager.h"
#include "VexStyle.h"
#include "XHotKeyConverter.h"
#include "XHotKeyManager.h"
#include "XTestKeyboard.h"

#include <QKeyEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

#include <algorithm>
#include <memory>

static void registerQmlResources()
{
    Q_INIT_RESOURCE(qml);
}

namespace {
// Every item of the visual tree below this one.
QList<QQuickItem*> itemsBelow(QQuickItem* root)
{
    QList<QQuickItem*> items;
    for (QQuickItem* child : root->childItems())
        items << child << itemsBelow(child);
    return items;
}
} // namespace

// Key chords captured in the key command window on a real X display.
class TestKeyCapture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void captureRules_data();
    void captureRules();
    void chordCapturedAndSaved();

private:
    XTestKeyboard keyboard;
    std::unique_ptr<UserCommandsManager> manager;
    std::unique_ptr<CommandsViewModel> editor;
};

void TestKeyCapture::initTestCase()
{
    QVERIFY2(keyboard.isOpen(), "these tests need an X display");
    TestHome::useApplicationIdentity();
    registerQmlResources();
    FixedWindow::registerQmlType();
    VexStyle::registerQmlType();
    TextWriter::Init();
}

void TestKeyCapture::cleanupTestCase()
{
    // The window started the hotkey listener: stop it while the application still runs.
    HotKeyManager::getHotkeyManager()->keyboardHookUnreg();
    TextWriter::Cleanup();
}

void TestKeyCapture::init()
{
    TestHome::wipe();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("No system auto-replace rules"));
    manager = std::make_unique<UserCommandsManager>();
    manager->LoadAll();
    editor = std::make_unique<CommandsViewModel>();
    editor->set_CommandsManager(manager.get(), manager->get_CommandTypes());
    editor->onLoad();
}

void TestKeyCapture::cleanup()
{
    keyboard.releaseAll();
    editor.reset();
    manager.reset();
}

void TestKeyCapture::captureRules_data()
{
    // "key <keysym> <X modifier mask>" is a key press; "<Ctrl|Shift> on|off" a check box.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("chord");

    QTest::newRow("Ctrl alone changes nothing") << QStringList{"key Control_L 0"} << "";
    QTest::newRow("F5 while Ctrl is held") << QStringList{"key Control_L 0", "key F5 4"} << "Ctrl+F5";
    QTest::newRow("emulated Shift off again") << QStringList{"Shift on", "key F5 0", "Shift off"} << "F5";
    QTest::newRow("box off drops the held modifier") << QStringList{"key F5 4", "Ctrl on", "Ctrl off"} << "F5";
}

void TestKeyCapture::captureRules()
{
    QFETCH(QStringList, steps);
    auto* model = qobject_cast<HotKeyEditModel*>(editor->get_Collection(UserCommandNamespace::Key)->newCommand());
    QObject field;
    for (const QString& step : steps) {
        const QStringList part = step.split(QLatin1Char(' '));
        if (part[0] == QLatin1String("Shift")) {
            model->set_ModShift(part[1] == QLatin1String("on"));
        } else if (part[0] == QLatin1String("Ctrl")) {
            model->set_ModCtrl(part[1] == QLatin1String("on"));
        } else {
            const QByteArray name = part[1].toLatin1();
            const bool modifier = name == "Control_L";
            QKeyEvent press(QEvent::KeyPress, modifier ? Qt::Key_Control : Qt::Key_unknown, Qt::NoModifier,
                            keyboard.keycodeOf(name.constData()), keyboard.keysymAt(keyboard.keycodeOf(name.constData())),
                            part[2].toUInt());
            // A captured key does nothing else in the field; a modifier alone passes.
            QCOMPARE(model->eventFilter(&field, &press), !modifier);
        }
    }
    QTEST(model->textField()->get_Text(), "chord");
}

void TestKeyCapture::chordCapturedAndSaved()
{
    auto* model = qobject_cast<HotKeyEditModel*>(editor->get_Collection(UserCommandNamespace::Key)->newCommand());
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Views/Commands/Edit/HotKeyEditWindow.qml")));
    std::unique_ptr<QObject> root(component.beginCreate(engine.rootContext()));
    QVERIFY2(root, qPrintable(component.errorString()));
    root->setProperty("viewModel", QVariant::fromValue<QObject*>(model));
    component.completeCreate();
    auto* window = qobject_cast<QQuickWindow*>(root.get());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window, TestHome::scaled(5000)));
    keyboard.focus(window->winId());
    QTRY_VERIFY_WITH_TIMEOUT(window->isActive(), TestHome::scaled(5000));

    // The phrase is typed with the focus in its field: the chord stays unset.
    for (const char* key : {"a", "b"})
        keyboard.tap(key);
    QTRY_COMPARE_WITH_TIMEOUT(model->patternField()->get_Text(), QStringLiteral("ab"), TestHome::scaled(5000));
    QCOMPARE(model->textField()->get_Text(), QString());

    auto* chord = window->findChild<QQuickItem*>(QStringLiteral("chordField"));
    chord->forceActiveFocus();
    // In the chord field Return is a chord, not the window's "Готово".
    keyboard.tap("Return");
    QTRY_COMPARE_WITH_TIMEOUT(model->textField()->get_Text(), QStringLiteral("Return"), TestHome::scaled(5000));
    QVERIFY(window->isVisible());
    keyboard.press("Control_L");
    keyboard.press("Shift_L");
    keyboard.tap("F5");
    keyboard.releaseAll();
    QTRY_COMPARE_WITH_TIMEOUT(model->textField()->get_Text(), QStringLiteral("Ctrl+Shift+F5"), TestHome::scaled(5000));
    QCOMPARE(model->patternField()->get_Text(), QStringLiteral("ab"));

    // A double Ctrl while capturing does not toggle dictation (whose text would
    // replace the chord); once the window is closed it does again.
    auto* hotkeys = qobject_cast<XHotKeyManager*>(HotKeyManager::getHotkeyManager());
    QTRY_VERIFY_WITH_TIMEOUT(hotkeys->IsInitialized(), TestHome::scaled(5000));
    QSignalSpy activations(hotkeys, &HotKeyManager::activated);
    QSignalSpy keyEvents(hotkeys->getListener(), &KeyboardListener::keyEventAction);
    const auto doubleCtrl = [this, &keyEvents] {
        const int before = keyEvents.count();
        keyboard.doubleTap("Control_L");
        // Each press and release has been handed to the manager's thread. On a loaded
        // machine the keys typed before may still be coming in ahead of them.
        const auto arrived = [&keyEvents, before] {
            if (keyEvents.count() < before + 4)
                return false;
            for (int i = 0; i < 4; ++i) {
                const QList<QVariant>& event = keyEvents.at(keyEvents.count() - 4 + i);
                if (event.at(1).toInt() != Qt::Key_Control || event.at(0).toBool() != (i % 2 == 1))
                    return false;
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(arrived(), TestHome::scaled(5000));
        QCoreApplication::processEvents();
    };
    const auto toggles = [&activations] {
        return std::count_if(activations.cbegin(), activations.cend(),
                             [](const QList<QVariant>& args) { return args.at(0).toInt() == 0; });
    };
    doubleCtrl();

    // Elsewhere Return is "Готово".
    model->patternField()->set_Text(QStringLiteral("обновить страницу"));
    const QList<QQuickItem*> items = itemsBelow(window->contentItem());
    const auto pattern = std::find_if(items.cbegin(), items.cend(), [chord](QQuickItem* item) {
        return item->inherits("QQuickTextField") && item != chord;
    });
    QVERIFY(pattern != items.cend());
    (*pattern)->forceActiveFocus();
    keyboard.tap("Return");
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), TestHome::scaled(5000));
    doubleCtrl();
    QCOMPARE(toggles(), 1);
    QCOMPARE(model->textField()->get_Text(), QStringLiteral("Ctrl+Shift+F5"));
    QVERIFY(editor->applyCommand());
    const QList<UserCommand> saved = manager->get_ThemeCommands(QString());
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved[0].Text, QStringLiteral("Ctrl+Shift+F5"));
}

QTEST_MAIN(TestKeyCapture)
#include "TestKeyCapture.moc"
