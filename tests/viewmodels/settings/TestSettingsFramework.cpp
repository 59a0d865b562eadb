#include "AppSettingsViewModel.h"
#include "ConnectionManager.h"
#include "ConnectionManagerSettings.h"
#include "LoopbackConnection.h"
#include "SettingsContainerViewModel.h"
#include "TestHome.h"

#include <QtTest>

#include <memory>
#include <stdexcept>

namespace {

QStringList calls;
QStringList warnings;
QtMessageHandler passOn = nullptr;

// Keeps the framework's warnings for the test; the rest goes to the usual output.
void captureWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("Error in ")))
        warnings << message;
    else if (passOn)
        passOn(type, context, message);
}

// A page that records what the framework asks of it and fails where told:
// "Validate" fails its check, "Apply:std" throws a std::exception, "Apply:int" anything else.
class ProbePage : public AppSettingsViewModel
{
    Q_OBJECT

public:
    ProbePage(const QString& title, bool needServer, const QString& failure)
        : AppSettingsViewModel(title, needServer)
        , failure(failure)
    {
    }

    bool Validate() override { return step(QStringLiteral("Validate")); }
    void Load() override { step(QStringLiteral("Load")); }
    void Apply() override { step(QStringLiteral("Apply")); }
    void Unload() override { step(QStringLiteral("Unload")); }
    void Cancel() override { step(QStringLiteral("Cancel")); }

private:
    bool step(const QString& method)
    {
        calls << method + QLatin1Char(' ') + get_HeaderText();
        if (failure == method)
            return false;
        if (failure == method + QStringLiteral(":std"))
            throw std::runtime_error(method.toStdString() + " failed");
        if (failure == method + QStringLiteral(":int"))
            throw 42;
        return true;
    }

    const QString failure;
};

enum class Link { Idle, ThemeCheck, Ready };

// The pages in the composition root's order, titles and server needs.
struct Window
{
    std::unique_ptr<LoopbackConnection> link;
    QList<AppSettingsViewModel*> pages;
    std::unique_ptr<SettingsContainerViewModel> container;

    Window(Link state, const QString& failingPage, const QString& failure, bool withProfile)
        : link(std::make_unique<LoopbackConnection>())
    {
        ConnectionManagerSettings quiet;
        quiet.QuietConnectionEnabled = state == Link::Ready;
        quiet.sync();
        const QList<QPair<QString, bool>> titles{{"Звук", false},  {"Запуск", false}, {"Распознавание", true},
                                                 {"Синтез", true}, {"Сеть", false},   {"О программе", false},
                                                 {"Пользователь", false}};
        for (const auto& title : titles) {
            if (title.first == QStringLiteral("Пользователь") && !withProfile)
                continue;
            auto* page = new ProbePage(title.first, title.second, title.first == failingPage ? failure : QString());
            pages << page;
        }
        link->build(1000);
        if (state != Link::Idle) {
            FakeRecognitionServer* server = link->addServer();
            link->offerServers({link->entry(QStringLiteral("A"), server->port())});
            link->start();
            link->waitForState(state == Link::Ready ? ConnectionManager::Ready : ConnectionManager::ThemeCheck);
        }
        container = std::make_unique<SettingsContainerViewModel>(pages, link->driver());
    }
    ~Window()
    {
        container.reset();
        qDeleteAll(pages);
    }

    QStringList shown() const
    {
        QStringList titles;
        for (QObject* page : container->get_InnerSettings().value<QList<QObject*>>())
            titles << qobject_cast<AppSettingsViewModel*>(page)->get_HeaderText();
        return titles;
    }
};

} // namespace

Q_DECLARE_METATYPE(Link)

// The settings window's model: which pages it shows for the connection state,
// how it loads, validates, applies and cancels them, and what it logs.
class TestSettingsFramework : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void pagesShownByConnectionState_data();
    void pagesShownByConnectionState();
    void commands_data();
    void commands();

};

void TestSettingsFramework::initTestCase()
{
    TestHome::useApplicationIdentity();
    passOn = qInstallMessageHandler(captureWarnings);
}

void TestSettingsFramework::init()
{
    TestHome::wipe();
    calls.clear();
    warnings.clear();
}

void TestSettingsFramework::pagesShownByConnectionState_data()
{
    QTest::addColumn<Link>("state");
    QTest::addColumn<bool>("withProfile");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("disconnected") << Link::Idle << false << QStringList{"Звук", "Запуск", "Сеть", "О программе"};
    QTest::newRow("waiting for the theme check") << Link::ThemeCheck << false
                                                 << QStringList{"Звук", "Запуск", "Сеть", "О программе"};
    QTest::newRow("ready") << Link::Ready << true
                           << QStringList{"Звук", "Запуск", "Распознавание", "Синтез", "Сеть", "О программе",
                                          "Пользователь"};
}

void TestSettingsFramework::pagesShownByConnectionState()
{
    QFETCH(Link, state);
    QFETCH(bool, withProfile);
    QFETCH(QStringList, shown);

    Window window(state, QString(), QString(), withProfile);
    window.container->set_currentIndex(3);
    QSignalSpy index(window.container.get(), &SettingsContainerViewModel::changed_currentIndex);
    window.container->onLoad();

    QCOMPARE(window.shown(), shown);
    QStringList loaded;
    for (const QString& title : shown)
        loaded << QStringLiteral("Load ") + title;
    QCOMPARE(calls, loaded);
    // Back on the first tab, without telling the view.
    QCOMPARE(window.container->get_currentIndex(), 0);
    QCOMPARE(index.count(), 0);
    QVERIFY(!window.container->IsChanged());
}

void TestSettingsFramework::commands_data()
{
    QTest::addColumn<Link>("state");
    QTest::addColumn<QString>("failingPage");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QStringList>("logged");

    const QStringList validateAll{"Validate Звук", "Validate Запуск", "Validate Сеть", "Validate О программе"};
    const QStringList applyAll{"Apply Звук", "Apply Запуск", "Apply Сеть", "Apply О программе"};
    const QString error = QStringLiteral("Error in SettingsViewModel::");
    QTest::newRow("apply, all valid") << Link::Idle << "" << "" << "apply" << true << validateAll + applyAll
                                      << QList<int>{} << QStringList{};
    QTest::newRow("invalid network page selected") << Link::Idle << "Сеть" << "Validate" << "apply" << false
                                                   << QStringList(validateAll.mid(0, 3)) << QList<int>{2} << QStringList{};
    QTest::newRow("invalid network page, all tabs shown")
        << Link::Ready << "Сеть" << "Validate" << "apply" << false
        << QStringList{"Validate Звук", "Validate Запуск", "Validate Распознавание", "Validate Синтез", "Validate Сеть"}
        << QList<int>{4} << QStringList{};
    QTest::newRow("apply throws: earlier pages stay applied")
        << Link::Idle << "Запуск" << "Apply:std" << "apply" << false << validateAll + QStringList(applyAll.mid(0, 2)) << QList<int>{}
        << QStringList{error + "applyCommand: Apply failed"};
    QTest::newRow("validate throws something else") << Link::Idle << "Звук" << "Validate:int" << "apply" << false
                                                    << QStringList(validateAll.mid(0, 1)) << QList<int>{}
                                                    << QStringList{error + "applyCommand: unknown exception"};
    QTest::newRow("cancel throws") << Link::Idle << "Звук" << "Cancel:std" << "cancel" << true
                                   << QStringList{"Cancel Звук"} << QList<int>{}
                                   << QStringList{error + "cancelCommand: Cancel failed"};
    QTest::newRow("a failing load does not stop the others")
        << Link::Idle << "Запуск" << "Load:std" << "load" << true
        << QStringList{"Load Звук", "Load Запуск", "Load Сеть", "Load О программе"} << QList<int>{}
        << QStringList{error + "Load: Load failed"};
    QTest::newRow("a failing unload does not stop the others")
        << Link::Idle << "Звук" << "Unload:int" << "close" << true
        << QStringList{"Unload Звук", "Unload Запуск", "Unload Сеть", "Unload О программе"} << QList<int>{}
        << QStringList{error + "Unload: unknown exception"};
    // What QML calls on a page never throws into it.
    QTest::newRow("a page's own load") << Link::Idle << "Сеть" << "Load:std" << "page load" << true
                                       << QStringList{"Load Сеть"} << QList<int>{} << QStringList{error + "onLoad: Load failed"};
}

void TestSettingsFramework::commands()
{
    QFETCH(Link, state);
    QFETCH(QString, failingPage);
    QFETCH(QString, failure);
    QFETCH(QString, command);

    Window window(state, failingPage, failure, false);
    if (command != QLatin1String("load") && !command.startsWith(QLatin1String("page"))) {
        window.container->onLoad();
        calls.clear();
    }
    QSignalSpy index(window.container.get(), &SettingsContainerViewModel::changed_currentIndex);

    bool answer = true;
    if (command == QLatin1String("apply"))
        answer = window.container->applyCommand();
    else if (command == QLatin1String("cancel"))
        window.container->cancelCommand();
    else if (command == QLatin1String("load"))
        window.container->onLoad();
    else if (command == QLatin1String("close"))
        window.container->onClose();
    else
        window.pages.at(4)->onLoad();

    QTEST(answer, "result");
    QTEST(calls, "steps");
    QList<int> emitted;
    for (const QList<QVariant>& args : qAsConst(index))
        emitted << args.at(0).toInt();
    QTEST(emitted, "selected");
    QTEST(warnings, "logged");
    if (command == QLatin1String("load"))
        QCOMPARE(window.shown().size(), 4);
}

QTEST_MAIN(TestSettingsFramework)
#include "TestSettingsFramework.moc"
