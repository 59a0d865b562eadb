#include "ASRSettings.h"
#include "AsrManager.h"
#include "AutoReplaceManager.h"
#include "FakeThemeList.h"
#include "FileSizeLimit.h"
#include "TestHome.h"
#include "UserCommandFiles.h"
#include "UserCommandFixtures.h"
#include "UserCommandsManager.h"
#include "WebSocketClient.h"

#include <QtTest>

#include <memory>

namespace {
using UserCommandFixtures::command;
using UserCommandFixtures::patterns;
constexpr UserCommandType Text = UserCommandNamespace::Text;
constexpr UserCommandType Key = UserCommandNamespace::Key;

using UserCommandFixtures::saveFile;
using UserCommandFixtures::storedFile;

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QStringList fields(const QList<UserCommand>& commands)
{
    QStringList result;
    for (const UserCommand& c : commands)
        result << QStringLiteral("%1|%2|%3|%4|%5%6").arg(int(c.Type)).arg(c.Pattern, c.Text, c.Id).arg(c.IsPunctuation).arg(c.IsSystem);
    return result;
}

QStringList executableIds(const UserCommandsManager& manager)
{
    QStringList ids;
    for (const CommandInfo& command : manager.executableCommands())
        ids << command.id();
    return ids;
}

// "pattern=>text" is a text rule; "key:pattern=>text" a key command.
QList<UserCommand> rules(const QStringList& lines)
{
    QList<UserCommand> result;
    for (const QString& line : lines) {
        const bool key = line.startsWith(QLatin1String("key:"));
        const QStringList parts = line.mid(key ? 4 : 0).split(QStringLiteral("=>"));
        result << command(key ? Key : Text, parts[0], parts[1]);
    }
    return result;
}
} // namespace

// Command files in the test's data folder; the system rules beside the test
// program, which has a folder of its own.
class TestUserCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestHome::useApplicationIdentity();
        UserCommandFiles::Save(UserCommandsManager::systemRulesPath(), ClientThemeInfo(),
                               {command(Text, "точка", "."), command(Text, "запятая", ",")});
    }
    void cleanupTestCase() { QFile::remove(UserCommandsManager::systemRulesPath()); }
    void init();
    void cleanup() { manager.reset(), asr.reset(), client.reset(), themes.reset(); }
    void editsRoundTripThroughFiles();
    void systemRulesComeFirst();
    void damagedFileIsSkippedThenKeptAside_data();
    void damagedFileIsSkippedThenKeptAside();
    void oneFileOwnsATheme_data();
    void oneFileOwnsATheme();
    void failedEditsChangeNothing();
    void selectedThemeDecidesCommands();
    void replace_data();
    void replace();
    void shortcutsFindEveryMatch();

private:
    void selectTheme(const QString& themeId);

    std::unique_ptr<FakeThemeList> themes;
    std::unique_ptr<WebSocketClient> client;
    std::unique_ptr<AsrManager> asr;
    std::unique_ptr<UserCommandsManager> manager;
};

void TestUserCommands::init()
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

void TestUserCommands::selectTheme(const QString& themeId)
{
    asr->get_Themes(true);
    asr->updateSelectedThemeInfo(themeId);
    QCOMPARE(asr->getSelectedTheme().themeId(), themeId);
}

// The editor's test covers every command type; here the stored form itself.
void TestUserCommands::editsRoundTripThroughFiles()
{
    const QString guid = QStringLiteral("{8b-77} Тема");
    themes->offer({"t1", guid});
    manager->LoadAll();
    asr->get_Themes(true);
    manager->UpdateThemesFromAsr();
    UserCommand punctuation = command(Text, "Открыть кавычки", "\u0002");
    punctuation.IsPunctuation = true;
    const QList<UserCommand> system = manager->get_ThemeCommands(QString());
    manager->set_Commands({{QString(), system + QList<UserCommand>{punctuation}}, {guid, {command(Key, "копия", "Ctrl+c", "{copy}")}}});

    QVERIFY(!contentOf(storedFile("default.json")).contains("IsSystem"));
    QCOMPARE(fields(UserCommandFiles::Load(storedFile("default.json"), nullptr, false)), fields({punctuation}));
    ClientThemeInfo stored;
    QCOMPARE(patterns(UserCommandFiles::Load(storedFile("theme_" + guid + ".json"), &stored, false)), QStringList{"копия"});
    QCOMPARE(stored.themeId(), guid);
    QCOMPARE(stored.name(), guid + " name");
    // Only system rules left: the user's file goes.
    manager->set_Commands({{QString(), system}});
    QVERIFY(!QFileInfo::exists(storedFile("default.json")));
}

void TestUserCommands::systemRulesComeFirst()
{
    const QString folder = UserCommandsManager::commandsFolder();
    saveFile("default.json", QString(), {command(Text, "свой", "1"), command(Text, "  ЗАПЯТАЯ ", ";")});
    const QString broken = TestHome::path() + QStringLiteral("/broken.json");
    QVERIFY(UserCommandFixtures::writeFile(broken, "{\"Commands\": ["));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("No system auto-replace rules"));
    QCOMPARE(patterns(UserCommandFiles::LoadAll(folder, broken).commands.value(QString())),
             (QStringList{"свой", "  ЗАПЯТАЯ "}));

    // A later phrase wins in its place; a key command without an id gets one that is stored.
    saveFile("theme_t.json", "t",
         {command(Text, "раз", "1"), command(Text, "два", "2"), command(Text, "раз", "3"), command(Key, "клавиша", "Ctrl+a")});
    const UserCommandFiles::Contents contents = UserCommandFiles::LoadAll(folder, UserCommandsManager::systemRulesPath());
    const QList<UserCommand> common = contents.commands.value(QString());
    QCOMPARE(patterns(common), (QStringList{"точка|system", "  ЗАПЯТАЯ ", "свой"}));
    QCOMPARE(common[1].Text, QStringLiteral(";"));
    QCOMPARE(contents.themes.value(QString()).name(), QStringLiteral("Для всех словарей"));
    const QList<UserCommand> joined = contents.commands.value(QStringLiteral("t"));
    QCOMPARE(patterns(joined), (QStringList{"раз", "два", "клавиша"}));
    QCOMPARE(joined[0].Text, QStringLiteral("3"));
    QCOMPARE(joined[0].Id, QString());
    QVERIFY(QRegularExpression("^\\{[0-9a-f-]{36}\\}$").match(joined[2].Id).hasMatch());
    QCOMPARE(UserCommandFiles::Load(storedFile("theme_t.json"), nullptr, false)[3].Id, joined[2].Id);

    // A shorter shipped phrase would hide a longer one starting the same way.
    QStringList shipped;
    for (const UserCommand& rule : UserCommandFiles::Load(QStringLiteral(SHIPPED_SYSTEM_RULES), nullptr, true)) {
        QVERIFY2(rule.Type == Text && !rule.Text.isEmpty() && UserCommand::ValidatePatternSymbols(rule.Pattern),
                 qPrintable(rule.Pattern));
        shipped << rule.get_NormalizedPattern();
    }
    QVERIFY(shipped.size() >= 10);
    for (const QString& a : shipped) {
        for (const QString& b : shipped)
            QVERIFY2(a == b || !b.startsWith(a + QLatin1Char(' ')), qPrintable(a + " / " + b));
    }
}

void TestUserCommands::damagedFileIsSkippedThenKeptAside_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");

    QTest::newRow("truncated") << QByteArray("{\"Commands\": [{\"Type\": \"text\", \"Pattern\": \"потеря")
                               << "UserCommandsManager: Invalid file format, file '%1', error '";
    QTest::newRow("unknown type") << QByteArray("{\"Commands\": [{\"Type\": \"macro\", \"Pattern\": \"м\"}]}")
                                  << "Cannot convert";
    const QString wrongType = QStringLiteral("UserCommandsManager: Invalid file format, file '%1', error '\"%2\" is not %3'");
    QTest::newRow("command not an object") << QByteArray("{\"Commands\": [{\"Type\": \"text\"}, 1]}")
                                           << "UserCommandsManager: Invalid file format, file '%1', error 'command 2 is not an object'";
    QTest::newRow("theme id a number") << QByteArray("{\"ThemeId\": 7, \"Commands\": []}") << wrongType.arg("%1", "ThemeId", "a string");
    QTest::newRow("punctuation a string")
        << QByteArray("{\"Commands\": [{\"Type\": \"text\", \"Pattern\": \"п\", \"IsPunctuation\": \"yes\"}]}")
        << wrongType.arg("%1", "IsPunctuation", "true or false");
    QTest::newRow("too large") << QByteArray(UserCommandFiles::MaxFileSize + 1, ' ')
                               << "UserCommandsManager: Invalid file format, file '%1', error 'larger than "
                                      + QString::number(UserCommandFiles::MaxFileSize) + " bytes'";
    // A link to this device; it never ends.
    QTest::newRow("endless device") << QByteArray("/dev/zero") << "UserCommandsManager: Cannot open file '%1' for reading";
}

void TestUserCommands::damagedFileIsSkippedThenKeptAside()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    const QString damaged = storedFile("default.json");
    const bool device = bytes.startsWith("/dev/");
    // What is on disk at a path: the bytes of a file, the target of a link.
    const auto onDisk = [device](const QString& path) {
        return device ? QFile::symLinkTarget(path).toUtf8() : contentOf(path);
    };
    QVERIFY(device ? QFile::link(QString::fromUtf8(bytes), damaged) : UserCommandFixtures::writeFile(damaged, bytes));
    saveFile("theme_e.json", "e", {command(Text, "есть", "1")});

    try {
        UserCommandFiles::Load(damaged, nullptr, false);
        QFAIL("a damaged file was read");
    } catch (const Exception& e) {
        QVERIFY2(e.message().startsWith(message.contains("%1") ? message.arg(damaged) : message), qPrintable(e.message()));
    }

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Command file skipped"));
    manager->LoadAll();
    QCOMPARE(manager->get_UnreadableFiles(), QStringList{damaged});
    QCOMPARE(onDisk(damaged), bytes);
    QCOMPARE(patterns(manager->get_ThemeCommands(QString())), (QStringList{"точка|system", "запятая|system"}));
    QCOMPARE(patterns(manager->get_ThemeCommands("e")), QStringList{"есть"});

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("kept as"));
    manager->set_Commands({{QString(), {command(Text, "новое", "1")}}});
    QCOMPARE(onDisk(damaged + ".damaged"), bytes);
    QCOMPARE(patterns(UserCommandFiles::Load(damaged, nullptr, false)), QStringList{"новое"});
}

void TestUserCommands::oneFileOwnsATheme_data()
{
    // "file name|theme id|phrase,phrase", saved in this order.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("themeId");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("leftOut");
    // Files moved out of the way by an edit of the theme.
    QTest::addColumn<int>("keptAside");

    QTest::newRow("own file wins over an earlier name") << QStringList{"a.json|t|старое", "theme_t.json|t|своё"} << "t"
                                                        << QStringList{"своё"} << QStringList{"a.json"} << 1;
    QTest::newRow("own file wins over a later name") << QStringList{"theme_t.json|t|своё", "z.json|t|чужое"} << "t"
                                                     << QStringList{"своё"} << QStringList{"z.json"} << 1;
    QTest::newRow("first name without an own file") << QStringList{"a.json|t|раз", "b.json|t|два"} << "t"
                                                    << QStringList{"раз"} << QStringList{"b.json"} << 2;
    QTest::newRow("default.json owns the common commands")
        << QStringList{"default.json||общее", "extra.json||лишнее,ещё"} << ""
        << QStringList{"точка|system", "запятая|system", "общее"} << QStringList{"extra.json"} << 1;
    QTest::newRow("another theme's own file") << QStringList{"theme_u.json|t|чужое"} << "t" << QStringList{"чужое"}
                                              << QStringList{} << 1;
    QTest::newRow("own file declares another theme") << QStringList{"theme_u.json|t|чужое", "a.json|u|своё"} << "u"
                                                     << QStringList{"своё"} << QStringList{} << 2;
}

// Whatever the files were, an edit is what the next load reads.
void TestUserCommands::oneFileOwnsATheme()
{
    QFETCH(QStringList, files);
    QFETCH(QString, themeId);
    QFETCH(QStringList, leftOut);
    for (const QString& file : files) {
        const QStringList parts = file.split(QLatin1Char('|'));
        QList<UserCommand> commands;
        for (const QString& phrase : parts[2].split(QLatin1Char(',')))
            commands << command(Text, phrase, QStringLiteral("x"));
        saveFile(parts[0], parts[1], commands);
    }
    for (int i = 0; i < leftOut.size(); ++i)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Command file left out"));
    manager->LoadAll();
    QTEST(patterns(manager->get_ThemeCommands(themeId)), "expected");
    QStringList unreadable;
    for (const QString& path : manager->get_UnreadableFiles())
        unreadable << QFileInfo(path).fileName();
    QCOMPARE(unreadable, leftOut);

    QList<UserCommand> edited;
    for (const UserCommand& c : manager->get_ThemeCommands(themeId)) {
        if (c.IsSystem)
            edited << c;
    }
    edited << command(Text, "новое", "1");
    manager->set_Commands({{themeId, edited}});
    QTEST(QDir(UserCommandsManager::commandsFolder()).entryList({"*.damaged"}, QDir::Files | QDir::System).size(), "keptAside");
    UserCommandsManager reloaded;
    reloaded.LoadAll();
    QCOMPARE(patterns(reloaded.get_ThemeCommands(themeId)), patterns(edited));
    QCOMPARE(reloaded.get_UnreadableFiles(), QStringList());
}

// A refused edit or one that cannot be written leaves memory and disk as they were.
void TestUserCommands::failedEditsChangeNothing()
{
    const QString path = saveFile("default.json", QString(), {command(Text, "старое", "1")});
    const QByteArray before = contentOf(path);
    // Ids the server may send that would leave the folder or make no file name.
    const QStringList unsafe{"../t1", "..", "a/b", "a\\b", "a\nb", "a*"};
    themes->offer(QStringList{"t1"} + unsafe);
    manager->LoadAll();
    asr->get_Themes(true);
    manager->UpdateThemesFromAsr();
    const QList<UserCommand> edited{command(Text, "новое", "2")};
    QSignalSpy changed(manager.get(), &UserCommandsManager::CommandsChanged);

    for (const QString& bad : QStringList{"unknown"} + unsafe) {
        try {
            manager->set_Commands({{QString(), edited}, {bad, edited}});
            QFAIL("the edit was accepted");
        } catch (const Exception& e) {
            QCOMPARE(e.message(), QStringLiteral("UserCommandsManager: Theme %1 not found").arg(bad));
        }
    }
    QList<UserCommand> many;
    for (int i = 0; i < 500; ++i)
        many << command(Text, QStringLiteral("правило %1").arg(i), QStringLiteral("замена"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot write"));
    try {
        FileSizeLimit limit(before.size() + 1000);
        manager->set_Commands({{QString(), many}});
        QFAIL("a failed write was reported as success");
    } catch (const Exception& e) {
        QCOMPARE(e.message(), QStringLiteral("UserCommandsManager: Cannot open file '%1' for writing").arg(path));
    }
    QCOMPARE(contentOf(path), before);
    QCOMPARE(QDir(UserCommandsManager::commandsFolder()).entryList(QDir::Files), QStringList{"default.json"});
    QCOMPARE(patterns(manager->get_ThemeCommands(QString())).last(), QStringLiteral("старое"));
    QCOMPARE(changed.size(), 0);
}

void TestUserCommands::selectedThemeDecidesCommands()
{
    saveFile("default.json", QString(), {command(Key, "сохранить", "Ctrl+s", "{save}"), command(Text, "норма", "N")});
    saveFile("theme_t1.json", "t1",
         {command(Text, "точка", ";"), command(Text, "давление", "АД"), command(UserCommandNamespace::Exe, "блокнот", "/bin/true", "{pad}")});
    manager->LoadAll();
    AutoReplaceManager autoReplace;
    autoReplace.set_Managers(asr.get(), manager.get());
    const QString text = QStringLiteral("давление норма точка");
    QCOMPARE(autoReplace.ProcessText(text), QStringLiteral("давление N ."));
    QCOMPARE(executableIds(*manager), QStringList{"{save}"});

    selectTheme("t1");
    QCOMPARE(autoReplace.ProcessText(text), QStringLiteral("АД N ;"));
    QCOMPARE(executableIds(*manager), (QStringList{"{save}", "{pad}"}));
    selectTheme("t2");
    QCOMPARE(autoReplace.ProcessText(text), QStringLiteral("давление N ."));

    // Saved commands and the punctuation setting rebuild the rules.
    manager->UpdateThemesFromAsr();
    manager->set_Commands({{"t2", {command(Text, "норма", "норм.")}}});
    QCOMPARE(autoReplace.ProcessText(text), QStringLiteral("давление норм. ."));
    UserCommand punctuation = command(Text, "точка", ".");
    punctuation.IsPunctuation = true;
    manager->set_Commands({{QString(), {punctuation}}});
    QCOMPARE(autoReplace.ProcessText(text), QStringLiteral("давление норм. ."));
    ASRSettings settings;
    settings.UsePunctuation = true;
    settings.sync();
    autoReplace.OnRecognitionSettingsChanged();
    QCOMPARE(autoReplace.ProcessText(text), QStringLiteral("давление норм. точка"));
}

void TestUserCommands::replace_data()
{
    QTest::addColumn<QStringList>("rules");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QStringList line{"новая строка=>¶"};
    QTest::newRow("plain") << line << "раз новая строка два" << "раз ¶ два";
    QTest::newRow("any case, punctuation between words") << line << "Новая, СТРОКА." << "¶.";
    QTest::newRow("inside a longer word") << line << "обновая строка" << "обновая строка";
    QTest::newRow("prefix of a word") << QStringList{"кот=>кошка"} << "котёнок кот" << "котёнок кошка";
    QTest::newRow("stored pattern is normalised") << QStringList{"  Точка =>."} << "конец точка" << "конец .";
    QTest::newRow("pattern characters are literal") << QStringList{"c++=>cpp"} << "c++ cxx" << "cpp cxx";
    QTest::newRow("earlier start wins an overlap") << QStringList{"я б=>1", "б в=>2"} << "я б в" << "1 в";
    QTest::newRow("shorter pattern wins at equal starts")
        << QStringList{"точка с запятой=>;", "точка=>."} << "точка с запятой" << ". с запятой";
    QTest::newRow("later rule wins") << QStringList{"икс=>1", "икс=>2"} << "икс" << "2";
    QTest::newRow("blank pattern is skipped") << QStringList{"   =>X", "=>Y"} << "раз два" << "раз два";
    QTest::newRow("only text commands apply") << QStringList{"key:сохранить=>Ctrl+s"} << "сохранить" << "сохранить";
}

void TestUserCommands::replace()
{
    QFETCH(QStringList, rules);
    QFETCH(QString, text);
    AutoReplaceManager manager;
    manager.AppendCommands(QString(), ::rules(rules));
    QTEST(manager.ProcessText(text), "expected");
}

// Rules are skipped or started late when the text cannot hold them: compare
// with every rule's own expression run over the whole text.
void TestUserCommands::shortcutsFindEveryMatch()
{
    const QStringList words{"ёж", "Ёлка", "а", "ab", "AB", "новая", "строка", "кот", "котёнок", "İi", "ΣΑΣ", "σας", "x", "--", "-", "+7", "_a"};
    const QStringList separators{" ", ", ", " - ", ".", "", "\u00a0", "!"};
    QRandomGenerator random(7);
    auto pick = [&random](const QStringList& list) { return list.at(random.bounded(list.size())); };

    QStringList lines;
    for (int i = 0; i < 40; ++i) {
        QString pattern = pick(words);
        for (int n = random.bounded(3); n > 0; --n)
            pattern += " " + pick(words);
        lines << pattern + "=>" + QString::number(i);
    }
    AutoReplaceManager manager;
    manager.AppendCommands(QString(), rules(lines));
    QMap<QString, QRegularExpression> reference;
    for (const UserCommand& command : rules(lines))
        reference.insert(command.Pattern, AutoReplaceManager::CreateRegexp(UserCommand::NormalizePattern(command.Pattern)));

    for (int round = 0; round < 300; ++round) {
        QString text;
        for (int n = random.bounded(12); n >= 0; --n)
            text += pick(words) + pick(separators);
        QStringList expected;
        for (auto regexp = reference.cbegin(); regexp != reference.cend(); ++regexp) {
            auto matches = regexp.value().globalMatch(text);
            while (matches.hasNext()) {
                const auto match = matches.next();
                expected << QStringLiteral("%1@%2+%3").arg(regexp.key()).arg(match.capturedStart("Z")).arg(match.capturedLength("Z"));
            }
        }
        QStringList found;
        for (const AutoReplaceManager::Entry& entry : manager.Process(text))
            found << QStringLiteral("%1@%2+%3").arg(entry.pattern).arg(entry.start).arg(entry.length);
        expected.sort();
        found.sort();
        QCOMPARE(found, expected);
    }
}

QTEST_GUILESS_MAIN(TestUserCommands)
#include "TestUserCommands.moc"
