#include "ASRSettings.h"
#include "BalancerConnectionSettings.h"
#include "NetworkSettingsViewModel.h"
#include "QmlViewModels.h"
#include "QuickWindows.h"
#include "RecognitionSettingsViewModel.h"
#include "SettingsContainerViewModel.h"
#include "SettingsSnapshot.h"
#include "TestHome.h"
#include "ValidatableText.h"

#include <QDirIterator>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExpression>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

#include <memory>

namespace {

// Windows that show more after a call than after show().
const QMap<QString, QString>& afterShow()
{
    static const QMap<QString, QString> scripts{
        {QStringLiteral(":/SettingsWindow.qml"), QStringLiteral("showSettings()")},
        {QStringLiteral(":/ReplacesWindow.qml"), QStringLiteral("showWindow()")},
        {QStringLiteral(":/KivaroWindow.qml"), QStringLiteral("showWindow()")},
        {QStringLiteral(":/StatisticsWindow.qml"), QStringLiteral("showWindow()")},
        {QStringLiteral(":/Views/FeedbackWindow.qml"), QStringLiteral("showWindow()")},
        {QStringLiteral(":/Views/SelfTest/SelfTestWindow.qml"), QStringLiteral("showWindow()")},
        {QStringLiteral(":/StartThemeSelectionWindow.qml"), QStringLiteral("choose(false)")},
        {QStringLiteral(":/AlternateStartThemeSelectionWindow.qml"), QStringLiteral("choose(false)")},
    };
    return scripts;
}

void evaluate(QObject* root, const QString& script)
{
    QQmlExpression expression(qmlContext(root), root, script);
    expression.evaluate();
    QVERIFY2(!expression.hasError(), qPrintable(expression.error().toString()));
}

QStringList qmlResources()
{
    QStringList files;
    QDirIterator it(QStringLiteral(":/"), {QStringLiteral("*.qml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        // Qt's own modules keep their files in the resources too.
        if (!path.startsWith(QLatin1String(":/qt-project.org/")))
            files << path;
    }
    files.sort();
    return files;
}

} // namespace

// Every QML file of the program, loaded over the real view models: any engine
// warning (unknown property or type, binding or script error) fails it.
class TestQmlViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void loadsWithoutWarnings_data();
    void loadsWithoutWarnings();
    void settingsWindowSavesOrCancels_data();
    void settingsWindowSavesOrCancels();
    void monitorThemePaneLeavesSettingsEditsAlone_data();
    void monitorThemePaneLeavesSettingsEditsAlone();
    void validatableControlsFollowTheirField_data();
    void validatableControlsFollowTheirField();
    void trayOpensCommandWindows_data();
    void trayOpensCommandWindows();

private:
    // The settings window, opened; null (the test failed) when it could not be.
    std::unique_ptr<QObject> showSettingsWindow();

    std::unique_ptr<QmlViewModels> models;
    std::unique_ptr<QQmlEngine> engine;
    QStringList warnings;
};

void TestQmlViews::initTestCase()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
    models = std::make_unique<QmlViewModels>();
    QVERIFY(models->connectToServer());
    engine = std::make_unique<QQmlEngine>();
    models->publish(engine.get());
    connect(engine.get(), &QQmlEngine::warnings, this, [this](const QList<QQmlError>& errors) {
        for (const QQmlError& error : errors)
            warnings << error.toString();
    });
}

void TestQmlViews::cleanupTestCase()
{
    engine.reset();
    models.reset();
}

void TestQmlViews::loadsWithoutWarnings_data()
{
    QTest::addColumn<QString>("path");
    const QStringList files = qmlResources();
    QVERIFY(files.contains(QStringLiteral(":/main.qml")));
    for (const QString& path : files)
        QTest::newRow(qPrintable(path.mid(2))) << path;
}

void TestQmlViews::loadsWithoutWarnings()
{
    QFETCH(QString, path);
    warnings.clear();

    QString error;
    std::unique_ptr<QObject> root(models->create(engine.get(), path, &error));
    QVERIFY2(root, qPrintable(error));

    // Items are shown in a window of their own, so that layouts and delegates run too.
    std::unique_ptr<QQuickWindow> host;
    QQuickWindow* window = QmlViewModels::windowOf(root.get(), &host);
    if (window) {
        const QString script = afterShow().value(path);
        if (script.isEmpty())
            window->show();
        else
            evaluate(root.get(), script);
        QVERIFY(QTest::qWaitForWindowExposed(window, TestHome::scaled(5000)));
    }
    QCoreApplication::processEvents();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

std::unique_ptr<QObject> TestQmlViews::showSettingsWindow()
{
    QString error;
    std::unique_ptr<QObject> root(models->create(engine.get(), QStringLiteral(":/SettingsWindow.qml"), &error));
    if (!root) {
        QTest::qFail(qPrintable(error), __FILE__, __LINE__);
        return nullptr;
    }
    evaluate(root.get(), QStringLiteral("showSettings()"));
    if (!QTest::qWaitForWindowExposed(qobject_cast<QQuickWindow*>(root.get()), TestHome::scaled(5000)))
        root.reset();
    return root;
}

void TestQmlViews::settingsWindowSavesOrCancels_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("staysOpen");
    QTest::addColumn<QString>("storedHost");

    QTest::newRow("invalid field: stays open on its tab") << "bad host" << "save()" << true << "127.0.0.1";
    QTest::newRow("valid: saved and closed") << "asr.local" << "save()" << false << "asr.local";
    QTest::newRow("cancel: nothing stored") << "asr.local" << "cancel()" << false << "127.0.0.1";
    QTest::newRow("closed by Esc: nothing stored") << "asr.local" << "close()" << false << "127.0.0.1";
}

void TestQmlViews::settingsWindowSavesOrCancels()
{
    QFETCH(QString, host);
    QFETCH(QString, action);
    QFETCH(bool, staysOpen);
    {
        BalancerConnectionSettings balancer;
        balancer.Ip = QStringLiteral("127.0.0.1");
        balancer.sync();
    }
    std::unique_ptr<QObject> root = showSettingsWindow();
    QVERIFY(root);
    auto* window = qobject_cast<QQuickWindow*>(root.get());

    auto* network = qobject_cast<NetworkSettingsViewModel*>(models->page(QStringLiteral("NetworkSettingsViewModel")));
    network->get_ASRServerHost()->set_Text(host);
    evaluate(root.get(), action);
    QCOMPARE(window->isVisible(), staysOpen);
    // Connected: the network page is the fifth tab.
    QCOMPARE(models->settings()->get_currentIndex(), staysOpen ? 4 : 0);
    QTEST(QString(BalancerConnectionSettings().Ip), "storedHost");
    QVERIFY(warnings.isEmpty());
}

void TestQmlViews::monitorThemePaneLeavesSettingsEditsAlone_data()
{
    QTest::addColumn<QString>("settingsClosedBy");
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("Отмена") << "cancel()" << QStringList{"ASR/SelectedTheme=t2"};
    // The settings window saves its own edit, and keeps the theme chosen meanwhile.
    QTest::newRow("Сохранить") << "save()"
                               << QStringList{"ASR/CapitalLetterAfterStart=false", "ASR/SelectedTheme=t2"};
}

// The monitor's theme pane, used while the settings window is open with an
// unsaved edit on the recognition page.
void TestQmlViews::monitorThemePaneLeavesSettingsEditsAlone()
{
    QFETCH(QString, settingsClosedBy);
    {
        ASRSettings asr;
        asr.SelectedTheme = QStringLiteral("t1");
        asr.sync();
    }
    std::unique_ptr<QObject> settings = showSettingsWindow();
    QVERIFY(settings);
    auto* recognition =
        qobject_cast<RecognitionSettingsViewModel*>(models->page(QStringLiteral("RecognitionSettingsViewModel")));
    QVERIFY(recognition->get_CapitalLetterAfterStart());
    recognition->set_CapitalLetterAfterStart(false);

    QString error;
    std::unique_ptr<QObject> pane(
        models->create(engine.get(), QStringLiteral(":/Views/MonitorViews/ThemeView.qml"), &error));
    QVERIFY2(pane, qPrintable(error));
    std::unique_ptr<QQuickWindow> host;
    QmlViewModels::windowOf(pane.get(), &host)->show();
    QObject* monitor = engine->rootContext()->contextProperty(QStringLiteral("monitorViewModel")).value<QObject*>();
    const SettingsSnapshot before;
    QVERIFY(monitor->setProperty("ThemeVisible", true));
    QCOMPARE(recognition->get_CapitalLetterAfterStart(), false);

    const QList<QQuickItem*> items = pane->findChildren<QQuickItem*>();
    const auto combo =
        std::find_if(items.cbegin(), items.cend(), [](QQuickItem* item) { return item->inherits("QQuickComboBox"); });
    QVERIFY(combo != items.cend());
    QTRY_COMPARE_WITH_TIMEOUT((*combo)->property("count").toInt(), 2, TestHome::scaled(5000));
    // The user picks the second theme in the pane and applies it.
    QVERIFY(QMetaObject::invokeMethod(*combo, "activated", Q_ARG(int, 1)));
    evaluate(pane.get(), QStringLiteral("apply()"));
    QVERIFY(!monitor->property("ThemeVisible").toBool());
    QCOMPARE(before.changesSince(), QStringList{"ASR/SelectedTheme=t2"});
    QCOMPARE(recognition->get_CapitalLetterAfterStart(), false);

    evaluate(settings.get(), settingsClosedBy);
    QTEST(before.changesSince(), "stored");
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

void TestQmlViews::validatableControlsFollowTheirField_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("one line") << ":/Controls/ValidatableText.qml";
    QTest::newRow("several lines") << ":/Controls/ValidatableTextArea.qml";
}

void TestQmlViews::validatableControlsFollowTheirField()
{
    QFETCH(QString, path);
    auto* field = engine->rootContext()->contextProperty(QStringLiteral("validatableField")).value<ValidatableText*>();
    field->SetText(QStringLiteral("Терапевт"));
    QString error;
    std::unique_ptr<QObject> root(models->create(engine.get(), path, &error));
    QVERIFY2(root, qPrintable(error));
    std::unique_ptr<QQuickWindow> host;
    QQuickWindow* window = QmlViewModels::windowOf(root.get(), &host);
    window->show();
    window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(window, TestHome::scaled(5000)));
    auto* control = qobject_cast<QQuickItem*>(root.get());
    const auto focusInside = [window, control] {
        return window->activeFocusItem() && control->isAncestorOf(window->activeFocusItem());
    };

    // Typing goes to the field, which checks it at once.
    QMetaObject::invokeMethod(root.get(), "takeFocus");
    QTRY_VERIFY_WITH_TIMEOUT(focusInside(), TestHome::scaled(5000));
    for (const QChar c : QStringLiteral(" участковый"))
        QTest::sendKeyEvent(QTest::Click, window, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QCOMPARE(field->get_Text(), QStringLiteral("Терапевт участковый"));
    QVERIFY(field->get_IsValid());

    // A check that fails before applying brings the focus back to the control.
    QQuickItem elsewhere(window->contentItem());
    elsewhere.forceActiveFocus();
    QVERIFY(!focusInside());
    field->SetText(QStringLiteral("ЛОР"));
    QVERIFY(!field->CheckAndSetFocus());
    QTRY_VERIFY_WITH_TIMEOUT(focusInside(), TestHome::scaled(5000));
    QVERIFY(warnings.isEmpty());
}

void TestQmlViews::trayOpensCommandWindows_data()
{
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QString>("title");
    QTest::newRow("Автозамена") << QByteArray("signalShowReplaces") << "Автозамена";
    QTest::newRow("Мои слова") << QByteArray("signalShowKivaro") << "Мои слова";
}

void TestQmlViews::trayOpensCommandWindows()
{
    QFETCH(QByteArray, signal);
    QFETCH(QString, title);
    QString error;
    std::unique_ptr<QObject> root(models->create(engine.get(), QStringLiteral(":/main.qml"), &error));
    QVERIFY2(root, qPrintable(error));
    QQuickWindow* window = QuickWindows::titled(title);
    QVERIFY(window && !window->isVisible());
    QObject* tray = engine->rootContext()->contextProperty(QStringLiteral("systemTray")).value<QObject*>();
    QVERIFY(QMetaObject::invokeMethod(tray, signal.constData()));
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), TestHome::scaled(5000));
    window->close();
    QVERIFY(!window->isVisible());
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestQmlViews)
#include "TestQmlViews.moc"
