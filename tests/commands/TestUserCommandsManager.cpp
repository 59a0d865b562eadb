#include "AsrManager.h"
#include "AutoReplaceManager.h"
#include "ASRSettings.h"
#include "FakeThemeList.h"
#include "TestHome.h"
#include "UserCommandFiles.h"
#include "UserCommandFixtures.h"
#include "UserCommandsManager.h"
#include "WebSocketClient.h"

#include <QtTest>

#include <memory>

namespace {
using UserCommandFixtures::patterns;
using UserCommandFixtures::command;

QStringList ids(const QList<CommandInfo>& commands)
{
    QStringList result;
    for (const CommandInfo& command : commands)
        result << command.id();
    return result;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}
} // namespace

// Command files live in the test's data folder; the system rules beside the
// test program, which has a folder of its own.
class TestUserCommandsManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void commandsInForceFollowTheSelectedTheme();
    void editsAreSavedPerTheme();
    void refusedEditChangesNothing();
    void failedWriteIsReported();
    void damagedFileIsKeptAsideWhenReplaced();
    void commandsRunThroughTheirExecutor();
    void autoReplacePerTheme();

private:
    QString filePath(const QString& name) const { return QDir(UserCommandsManager::commandsFolder()).filePath(name); }
    void writeUserFile(const QString& name, const QString& themeId, const QList<UserCommand>& commands);
    void selectTheme(const QString& themeId);

    std::unique_ptr<FakeThemeList> themes;
    std::unique_ptr<WebSocketClient> client;
    std::unique_ptr<AsrManager> asr;
    std::unique_ptr<UserCommandsManager> manager;
};

void TestUserCommandsManager::initTestCase()
{
    TestHome::useApplicationIdentity();
    UserCommandFiles::Save(UserCommandsManager::systemRulesPath(), ClientThemeInfo(),
                           {command(UserCommandNamespace::Text, "точка", "."), command(UserCommandNamespace::Text, "запятая", ",")});
}

void TestUserCommandsManager::cleanupTestCase()
{
    QFile::remove(UserCommandsManager::systemRulesPath());
}

void TestUserCommandsManager::init()
{
    TestHome::wipe();
    themes = std::make_unique<FakeThemeList>(QStringList{"t1", "t2"});
    client = std::make_unique<WebSocketClient>();
    asr = std::make_unique<AsrManager>(client.get());
    manager = std::make_unique<UserCommandsManager>();
    manager->setAsrManager(asr.get());
    connect(asr.get(), &AsrManager::selectedThemeChanged, manager.get(), &UserCommandsManager::updateCommands);
    QVERIFY(QDir().mkpath(UserCommandsManager::commandsFolder()));
}

void TestUserCommandsManager::cleanup()
{
    manager.reset();
    asr.reset();
    client.reset();
    themes.reset();
}

void TestUserCommandsManager::writeUserFile(const QString& name, const QString& themeId,
                                            const QList<UserCommand>& commands)
{
    ClientThemeInfo theme;
    theme.setId(themeId);
    theme.setName(themeId + QStringLiteral(" name"));
    UserCommandFiles::Save(filePath(name), theme, commands);
}

void TestUserCommandsManager::selectTheme(const QString& themeId)
{
    asr->get_Themes(true);
    asr->updateSelectedThemeInfo(themeId);
    QCOMPARE(asr->getSelectedTheme().themeId(), themeId);
}

void TestUserCommandsManager::commandsInForceFollowTheSelectedTheme()
{
    writeUserFile("default.json", QString(),
                  {command(UserCommandNamespace::Key, "сохранить", "Ctrl+s", "{save}"), command(UserCommandNamespace::Text, "ок", "OK")});
    writeUserFile("theme_t1.json", "t1", {command(UserCommandNamespace::Exe, "блокнот", "/bin/true", "{pad}")});
    manager->LoadAll();

    QCOMPARE(patterns(manager->getCommandList()), (QStringList{"точка|system", "запятая|system", "сохранить", "ок"}));
    QCOMPARE(ids(manager->executableCommands()), QStringList{"{save}"});
    QCOMPARE(manager->executableCommands().first().type(), CommandTypeUser);
    QCOMPARE(manager->get_Themes().size(), 1);
    QCOMPARE(manager->get_Themes().first().name(), QStringLiteral("Для всех словарей"));

    QSignalSpy rebuilt(manager.get(), &ExecutableCommandsSource::commandsChanged);
    selectTheme("t1");
    QVERIFY(rebuilt.size() >= 1);
    QCOMPARE(ids(manager->executableCommands()), (QStringList{"{save}", "{pad}"}));

    manager->UpdateThemesFromAsr();
    QStringList current;
    for (const ClientThemeInfo& theme : manager->get_Themes())
        current << theme.themeId();
    QCOMPARE(current, (QStringList{"", "t1", "t2"}));
    QVERIFY(manager->get_ThemeCommands("t2").isEmpty());
}

void TestUserCommandsManager::editsAreSavedPerTheme()
{
    manager->LoadAll();
    manager->UpdateThemesFromAsr();
    QList<UserCommand> common = manager->get_ThemeCommands(QString());
    common << command(UserCommandNamespace::Text, "свой", "1");
    QSignalSpy changed(manager.get(), &UserCommandsManager::CommandsChanged);
    manager->set_Commands({{QString(), common}, {"t2", {command(UserCommandNamespace::Key, "копия", "Ctrl+c", "{copy}")}}});
    QCOMPARE(changed.size(), 1);

    QCOMPARE(patterns(UserCommandFiles::Load(filePath("default.json"), nullptr, false)), QStringList{"свой"});
    ClientThemeInfo stored;
    QCOMPARE(patterns(UserCommandFiles::Load(filePath("theme_t2.json"), &stored, false)), QStringList{"копия"});
    QCOMPARE(stored.themeId(), QStringLiteral("t2"));
    QCOMPARE(stored.name(), QStringLiteral("t2 name"));

    // Only system rules left: the user's file goes.
    manager->set_Commands({{QString(), manager->get_ThemeCommands(QString()).mid(0, 2)}});
    QVERIFY(!QFileInfo::exists(filePath("default.json")));

    UserCommandsManager reloaded;
    reloaded.LoadAll();
    QCOMPARE(patterns(reloaded.get_ThemeCommands("t2")), QStringList{"копия"});
    QCOMPARE(patterns(reloaded.get_ThemeCommands(QString())), (QStringList{"точка|system", "запятая|system"}));
}

void TestUserCommandsManager::refusedEditChangesNothing()
{
    writeUserFile("default.json", QString(), {command(UserCommandNamespace::Text, "старое", "1")});
    themes->offer({"t1", "../t1"});
    manager->LoadAll();
    manager->UpdateThemesFromAsr();
    const QByteArray before = contentOf(filePath("default.json"));
    const QList<UserCommand> edited{command(UserCommandNamespace::Text, "новое", "2")};
    QSignalSpy changed(manager.get(), &UserCommandsManager::CommandsChanged);

    for (const QString& bad : {QStringLiteral("unknown"), QStringLiteral("../t1")}) {
        try {
            manager->set_Commands({{QString(), edited}, {bad, edited}});
            QFAIL("the edit was accepted");
        } catch (const Exception& e) {
            QCOMPARE(e.message(), QStringLiteral("UserCommandsManager: Theme %1 not found").arg(bad));
        }
    }
    QCOMPARE(patterns(manager->get_ThemeCommands(QString())).last(), QStringLiteral("старое"));
    QCOMPARE(contentOf(filePath("default.json")), before);
    QCOMPARE(changed.size(), 0);
}

void TestUserCommandsManager::failedWriteIsReported()
{
    manager->LoadAll();
    manager->UpdateThemesFromAsr();
    // A folder where the theme's file should be: the write cannot succeed.
    QVERIFY(QDir().mkpath(filePath("theme_t2.json")));
    QSignalSpy changed(manager.get(), &UserCommandsManager::CommandsChanged);
    const QList<UserCommand> edited{command(UserCommandNamespace::Text, "новое", "2")};
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot write"));
    try {
        manager->set_Commands({{QString(), edited}, {"t2", edited}});
        QFAIL("a failed write was reported as success");
    } catch (const Exception& e) {
        QCOMPARE(e.message(), QStringLiteral("UserCommandsManager: Cannot open file '%1' for writing").arg(filePath("theme_t2.json")));
    }
    // What was written is in force; what was not stays as it was.
    QCOMPARE(patterns(manager->get_ThemeCommands(QString())), QStringList{"новое"});
    QVERIFY(manager->get_ThemeCommands("t2").isEmpty());
    QCOMPARE(changed.size(), 1);
}

void TestUserCommandsManager::damagedFileIsKeptAsideWhenReplaced()
{
    QFile damaged(filePath("default.json"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("{\"Commands\": [{\"Type\": \"text\", \"Pattern\": \"потеря");
    damaged.close();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Command file skipped"));
    manager->LoadAll();
    QCOMPARE(patterns(manager->get_ThemeCommands(QString())), (QStringList{"точка|system", "запятая|system"}));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("kept as"));
    manager->set_Commands({{QString(), {command(UserCommandNamespace::Text, "новое", "1")}}});
    QVERIFY(contentOf(filePath("default.json.damaged")).endsWith("потеря"));
    QCOMPARE(patterns(UserCommandFiles::Load(filePath("default.json"), nullptr, false)), QStringList{"новое"});
}

void TestUserCommandsManager::commandsRunThroughTheirExecutor()
{
    QTemporaryDir work;
    QFile document(work.filePath("шаблон.txt"));
    QVERIFY(document.open(QIODevice::WriteOnly));
    document.write("a\nb");
    document.close();
    writeUserFile("default.json", QString(),
                  {command(UserCommandNamespace::FileCopy, "шаблон", document.fileName(), "{file}"),
                   command(UserCommandNamespace::Exe, "сломано", work.filePath("нет"), "{exe}"),
                   command(UserCommandNamespace::FileCopy, "пропал", work.filePath("нет.txt"), "{gone}")});
    manager->LoadAll();
    QSignalSpy errors(manager.get(), &UserCommandsManager::CommandExecutionError);
    CommandInfo info;

    info.setId("{file}");
    QCOMPARE(manager->executeCommand(info), QStringLiteral(" a\rb"));
    info.setId("{unknown}");
    QCOMPARE(manager->executeCommand(info), QString());
    QCOMPARE(errors.size(), 0);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot start program"));
    info.setId("{exe}");
    QCOMPARE(manager->executeCommand(info), QString());
    info.setId("{gone}");
    QCOMPARE(manager->executeCommand(info), QString());
    QCOMPARE(errors.size(), 2);
    QCOMPARE(errors.at(1).at(0).toString(), QStringLiteral("Файла не существует"));
}

void TestUserCommandsManager::autoReplacePerTheme()
{
    writeUserFile("default.json", QString(), {command(UserCommandNamespace::Text, "норма", "N")});
    writeUserFile("theme_t1.json", "t1",
                  {command(UserCommandNamespace::Text, "точка", ";"), command(UserCommandNamespace::Text, "давление", "АД")});
    manager->LoadAll();
    AutoReplaceManager autoReplace;
    autoReplace.set_Managers(asr.get(), manager.get());
    QVERIFY_EXCEPTION_THROWN(autoReplace.set_Managers(asr.get(), manager.get()), Exception);
    const QString text = QStringLiteral("давление норма точка");
    QCOMPARE(autoReplace.ProcessText(text), QStringLiteral("давление N ."));

    selectTheme("t1");
    QCOMPARE(autoReplace.ProcessText(text), QStringLiteral("АД N ;"));
    selectTheme("t2");
    QCOMPARE(autoReplace.ProcessText(text), QStringLiteral("давление N ."));

    // Saved commands and the punctuation setting rebuild the rules.
    manager->UpdateThemesFromAsr();
    manager->set_Commands({{"t2", {command(UserCommandNamespace::Text, "норма", "норм.")}}});
    QCOMPARE(autoReplace.ProcessText(text), QStringLiteral("давление норм. ."));
    UserCommand punctuation = command(UserCommandNamespace::Text, "точка", ".");
    punctuation.IsPunctuation = true;
    manager->set_Commands({{QString(), {punctuation}}});
    QCOMPARE(autoReplace.ProcessText(text), QStringLiteral("давление норм. ."));
    ASRSettings settings;
    settings.UsePunctuation = true;
    settings.sync();
    autoReplace.OnRecognitionSettingsChanged();
    QCOMPARE(autoReplace.ProcessText(text), QStringLiteral("давление норм. точка"));
}

QTEST_GUILESS_MAIN(TestUserCommandsManager)
#include "TestUserCommandsManager.moc"
