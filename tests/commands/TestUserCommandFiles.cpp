#include "ConveterException.h"
#include "UserCommandFiles.h"
#include "UserCommandFixtures.h"

#include <QtTest>

#include <signal.h>
#include <sys/resource.h>

namespace {
using UserCommandFixtures::patterns;
using UserCommandFixtures::command;

// Files larger than this cannot be written while it is in force, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }

private:
    rlimit saved{};
};
} // namespace

class TestUserCommandFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void roundTrip();
    void singleFileErrors_data();
    void singleFileErrors();
    void userCommandReplacesSystemRule();
    void filesOfOneThemeAreJoined();
    void missingIdsAreAddedAndStored();
    void damagedUserFilesAreSkippedUntouched_data();
    void damagedUserFilesAreSkippedUntouched();
    void damagedSystemRulesMeanNone_data();
    void damagedSystemRulesMeanNone();
    void failedSaveKeepsTheOldFile();
    void themeFileNames_data();
    void themeFileNames();
    void shippedSystemRules();
    void speakablePatterns_data();
    void speakablePatterns();

private:
    QString write(const QString& name, const QByteArray& bytes);
    QString write(const QString& name, const QString& themeId, const QList<UserCommand>& commands);
    QByteArray read(const QString& path) const;
    UserCommandFiles::Contents loadAll() const;

    std::unique_ptr<QTemporaryDir> work;
    QString folder;
    QString systemRules;
};

void TestUserCommandFiles::init()
{
    work.reset(new QTemporaryDir);
    QVERIFY(work->isValid());
    folder = work->filePath(QStringLiteral("commands"));
    QVERIFY(QDir().mkpath(folder));
    systemRules = work->filePath(QStringLiteral("autoreplaces.json"));
    ClientThemeInfo none;
    UserCommandFiles::Save(systemRules, none,
                           {command(UserCommandNamespace::Text, "точка", "."), command(UserCommandNamespace::Text, "запятая", ","),
                            command(UserCommandNamespace::Text, "тире", "\u0001")});
}

void TestUserCommandFiles::cleanup()
{
    work.reset();
}

QString TestUserCommandFiles::write(const QString& name, const QByteArray& bytes)
{
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

QString TestUserCommandFiles::write(const QString& name, const QString& themeId, const QList<UserCommand>& commands)
{
    ClientThemeInfo theme;
    theme.setId(themeId);
    theme.setName(themeId + QStringLiteral(" name"));
    const QString path = QDir(folder).filePath(name);
    UserCommandFiles::Save(path, theme, commands);
    return path;
}

QByteArray TestUserCommandFiles::read(const QString& path) const
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

UserCommandFiles::Contents TestUserCommandFiles::loadAll() const
{
    return UserCommandFiles::LoadAll(folder, systemRules);
}

void TestUserCommandFiles::roundTrip()
{
    UserCommand punctuation = command(UserCommandNamespace::Text, "Открыть кавычки", "\u0002");
    punctuation.IsPunctuation = true;
    UserCommand system = command(UserCommandNamespace::Key, "сохранить", "Ctrl+s", "{id-1}");
    system.IsSystem = true;
    const QList<UserCommand> commands{punctuation, system, command(UserCommandNamespace::Exe, "блокнот", "/usr/bin/x y", "{id-2}"),
                                      command(UserCommandNamespace::FileCopy, "шаблон", "/home/u/шаблон.odt", "{id-3}")};
    const QString path = write(QStringLiteral("theme_t1.json"), QStringLiteral("t1"), commands);
    QVERIFY(!read(path).contains("IsSystem"));

    ClientThemeInfo theme;
    const QList<UserCommand> loaded = UserCommandFiles::Load(path, &theme, false);
    QCOMPARE(theme.themeId(), QStringLiteral("t1"));
    QCOMPARE(theme.name(), QStringLiteral("t1 name"));
    QCOMPARE(loaded.size(), commands.size());
    for (int i = 0; i < commands.size(); ++i) {
        QCOMPARE(loaded[i].Type, commands[i].Type);
        QCOMPARE(loaded[i].Pattern, commands[i].Pattern);
        QCOMPARE(loaded[i].Text, commands[i].Text);
        QCOMPARE(loaded[i].Id, commands[i].Id);
        QCOMPARE(loaded[i].IsPunctuation, commands[i].IsPunctuation);
        QCOMPARE(loaded[i].IsSystem, false);
    }
    QVERIFY(UserCommandFiles::Load(path, nullptr, true).at(0).IsSystem);
}

void TestUserCommandFiles::singleFileErrors_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");

    QTest::newRow("truncated") << QByteArray("{\"Commands\": [") << "UserCommandsManager: Invalid file format, file '%1', error '";
    QTest::newRow("array") << QByteArray("[]") << "UserCommandsManager: Invalid file format, file '%1'";
    QTest::newRow("unknown type") << QByteArray("{\"Commands\": [{\"Type\": \"macro\"}]}") << "Cannot convert";
    QTest::newRow("missing file") << QByteArray() << "UserCommandsManager: Cannot open file '%1' for reading";
}

void TestUserCommandFiles::singleFileErrors()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);

    QString path = QDir(folder).filePath(QStringLiteral("missing.json"));
    if (!bytes.isEmpty())
        path = write(QStringLiteral("bad.json"), bytes);
    try {
        UserCommandFiles::Load(path, nullptr, false);
        QFAIL("no exception");
    } catch (const Exception& e) {
        const QString expected = message.contains(QLatin1String("%1")) ? message.arg(path) : message;
        QVERIFY2(e.message().startsWith(expected), qPrintable(e.message()));
    }
}

void TestUserCommandFiles::userCommandReplacesSystemRule()
{
    write(QStringLiteral("default.json"), QString(),
          {command(UserCommandNamespace::Text, "свой", "1"), command(UserCommandNamespace::Text, "  ЗАПЯТАЯ ", ";")});
    const UserCommandFiles::Contents contents = loadAll();
    const QList<UserCommand> common = contents.commands.value(QString());
    QCOMPARE(patterns(common), (QStringList{"точка|system", "тире|system", "  ЗАПЯТАЯ ", "свой"}));
    QCOMPARE(common[2].Text, QStringLiteral(";"));
    QCOMPARE(contents.themes.value(QString()).name(), QStringLiteral("Для всех словарей"));
    QCOMPARE(contents.themes.value(QString()).id(), QString());
}

void TestUserCommandFiles::filesOfOneThemeAreJoined()
{
    write(QStringLiteral("theme_a.json"), QStringLiteral("t"), {command(UserCommandNamespace::Text, "раз", "1")});
    write(QStringLiteral("theme_b.json"), QStringLiteral("t"),
          {command(UserCommandNamespace::Text, "два", "2"), command(UserCommandNamespace::Text, "раз", "3")});
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("theme_a.json.*theme_b.json.*both hold theme"));
    const UserCommandFiles::Contents contents = loadAll();
    QCOMPARE(patterns(contents.commands.value(QStringLiteral("t"))), (QStringList{"раз", "два"}));
    QCOMPARE(contents.commands.value(QStringLiteral("t")).first().Text, QStringLiteral("3"));
    QCOMPARE(contents.themes.value(QStringLiteral("t")).name(), QStringLiteral("t name"));
    QVERIFY(contents.damagedFiles.isEmpty());
}

void TestUserCommandFiles::missingIdsAreAddedAndStored()
{
    const QString path = write(QStringLiteral("theme_x.json"), QStringLiteral("x"),
                               {command(UserCommandNamespace::Text, "текст", "t"), command(UserCommandNamespace::Key, "клавиша", "Ctrl+a"),
                                command(UserCommandNamespace::Exe, "программа", "/bin/true", "{kept}")});
    const QList<UserCommand> loaded = loadAll().commands.value(QStringLiteral("x"));
    QCOMPARE(loaded[0].Id, QString());
    QVERIFY(QRegularExpression("^\\{[0-9a-f-]{36}\\}$").match(loaded[1].Id).hasMatch());
    QCOMPARE(loaded[2].Id, QStringLiteral("{kept}"));

    const QList<UserCommand> stored = UserCommandFiles::Load(path, nullptr, false);
    QCOMPARE(stored[1].Id, loaded[1].Id);
    QCOMPARE(stored[0].Id, QString());
    QCOMPARE(loadAll().commands.value(QStringLiteral("x"))[1].Id, loaded[1].Id);
}

void TestUserCommandFiles::damagedUserFilesAreSkippedUntouched_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("truncated") << QByteArray("{\"ThemeId\": \"d\", \"Commands\": [{\"Type\": \"te");
    QTest::newRow("unknown type") << QByteArray("{\"ThemeId\": \"d\", \"Commands\": [{\"Type\": \"macro\", \"Pattern\": \"м\"}]}");
    QTest::newRow("not an object") << QByteArray("\"text\"");
    QTest::newRow("command not an object") << QByteArray("{\"ThemeId\": \"d\", \"Commands\": [1]}");
}

void TestUserCommandFiles::damagedUserFilesAreSkippedUntouched()
{
    QFETCH(QByteArray, bytes);

    const QString damaged = write(QStringLiteral("theme_d.json"), bytes);
    write(QStringLiteral("theme_e.json"), QStringLiteral("e"), {command(UserCommandNamespace::Text, "есть", "1")});
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Command file skipped"));
    const UserCommandFiles::Contents contents = loadAll();
    QCOMPARE(contents.damagedFiles, QSet<QString>{damaged});
    QCOMPARE(read(damaged), bytes);
    QVERIFY(!contents.themes.contains(QStringLiteral("d")));
    QCOMPARE(patterns(contents.commands.value(QStringLiteral("e"))), QStringList{"есть"});
    QCOMPARE(contents.commands.value(QString()).size(), 3);
}

void TestUserCommandFiles::damagedSystemRulesMeanNone_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("malformed") << QByteArray("{\"Commands\": [");
}

void TestUserCommandFiles::damagedSystemRulesMeanNone()
{
    QFETCH(QByteArray, bytes);

    QFile::remove(systemRules);
    if (!bytes.isEmpty()) {
        QFile file(systemRules);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    write(QStringLiteral("default.json"), QString(), {command(UserCommandNamespace::Text, "свой", "1")});
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("No system auto-replace rules"));
    QCOMPARE(patterns(loadAll().commands.value(QString())), QStringList{"свой"});
}

void TestUserCommandFiles::failedSaveKeepsTheOldFile()
{
    const QString path = write(QStringLiteral("default.json"), QString(), {command(UserCommandNamespace::Text, "старый", "1")});
    const QByteArray before = read(path);
    QList<UserCommand> many;
    for (int i = 0; i < 500; ++i)
        many << command(UserCommandNamespace::Text, QStringLiteral("правило %1").arg(i), QStringLiteral("замена"));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot write"));
    try {
        FileSizeLimit limit(before.size() + 1000);
        UserCommandFiles::Save(path, ClientThemeInfo(), many);
        QFAIL("a save beyond the file size limit reported success");
    } catch (const Exception& e) {
        QCOMPARE(e.message(), QStringLiteral("UserCommandsManager: Cannot open file '%1' for writing").arg(path));
    }
    QCOMPARE(read(path), before);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"default.json"});
}

void TestUserCommandFiles::themeFileNames_data()
{
    QTest::addColumn<QString>("themeId");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("all themes") << "" << "default.json";
    QTest::newRow("guid") << "{8b1c-77}" << "theme_{8b1c-77}.json";
    QTest::newRow("cyrillic") << "Терапия 2" << "theme_Терапия 2.json";
    QTest::newRow("parent folder") << "../x" << "";
    QTest::newRow("dots only") << ".." << "";
    QTest::newRow("slash") << "a/b" << "";
    QTest::newRow("backslash") << "a\\b" << "";
    QTest::newRow("line feed") << "a\nb" << "";
    QTest::newRow("wildcard") << "a*" << "";
}

void TestUserCommandFiles::themeFileNames()
{
    QFETCH(QString, themeId);
    QFETCH(QString, fileName);

    if (fileName.isEmpty()) {
        try {
            UserCommandFiles::ThemeFilePath(folder, themeId);
            QFAIL("an unsafe theme id was accepted");
        } catch (const Exception& e) {
            QCOMPARE(e.message(), QStringLiteral("UserCommandsManager: Theme ") + themeId + QStringLiteral(" not found"));
        }
    } else {
        QCOMPARE(UserCommandFiles::ThemeFilePath(folder, themeId), QDir(folder).filePath(fileName));
    }
}

void TestUserCommandFiles::shippedSystemRules()
{
    const QList<UserCommand> rules = UserCommandFiles::Load(QStringLiteral(SHIPPED_SYSTEM_RULES), nullptr, true);
    QVERIFY(rules.size() >= 10);
    QStringList normalized;
    for (const UserCommand& rule : rules) {
        QCOMPARE(rule.Type, UserCommandNamespace::Text);
        QVERIFY2(UserCommand::ValidatePatternSymbols(rule.Pattern), qPrintable(rule.Pattern));
        QVERIFY(!rule.Text.isEmpty());
        normalized << rule.get_NormalizedPattern();
    }
    // A shorter phrase wins over a longer one starting the same way, which would never apply.
    for (const QString& a : normalized) {
        for (const QString& b : normalized)
            QVERIFY2(a == b || !b.startsWith(a + QLatin1Char(' ')), qPrintable(a + " / " + b));
    }
    const auto punctuation = std::count_if(rules.begin(), rules.end(), [](const UserCommand& r) { return r.IsPunctuation; });
    QVERIFY(punctuation > 0 && punctuation < rules.size());
}

void TestUserCommandFiles::speakablePatterns_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("valid");

    QTest::newRow("russian words, digits, blanks") << "Вставить шаблон 2 Ёлка" << true;
    QTest::newRow("latin") << "open MS Word" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("hyphen") << "кто-то" << false;
    QTest::newRow("punctuation") << "стоп!" << false;
    QTest::newRow("other alphabet") << "ΣΑΣ" << false;
    QTest::newRow("tab") << "а\tб" << false;
}

void TestUserCommandFiles::speakablePatterns()
{
    QFETCH(QString, pattern);
    QFETCH(bool, valid);
    QCOMPARE(UserCommand::ValidatePatternSymbols(pattern), valid);
}

QTEST_GUILESS_MAIN(TestUserCommandFiles)
#include "TestUserCommandFiles.moc"
