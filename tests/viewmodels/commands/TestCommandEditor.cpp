#include "AsrManager.h"
#include "CommandsCollectionViewModel.h"
#include "CommandsViewModel.h"
#include "EventLoopProbe.h"
#include "FakeThemeList.h"
#include "FileCopyEditModel.h"
#include "FileDialogSettings.h"
#include "HotKeyEditModel.h"
#include "ProcessExecuteEditModel.h"
#include "TestHome.h"
#include "TextReplaceEditModel.h"
#include "UserCommandFiles.h"
#include "UserCommandFixtures.h"
#include "UserCommandsManager.h"
#include "WebSocketClient.h"
#include "XHotKeyConverter.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QScopeGuard>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
using UserCommandFixtures::command;
using UserCommandFixtures::saveFile;
using UserCommandFixtures::storedFile;
constexpr UserCommandType Text = UserCommandNamespace::Text;
constexpr UserCommandType Key = UserCommandNamespace::Key;
constexpr UserCommandType Exe = UserCommandNamespace::Exe;
constexpr UserCommandType FileCopy = UserCommandNamespace::FileCopy;
const QString AllThemes = QStringLiteral("Для всех словарей");

// "type:pattern=>text", system rules marked "|system".
QStringList describe(const QList<UserCommand>& commands)
{
    QStringList result;
    for (const UserCommand& c : commands) {
        result << QStringLiteral("%1:%2=>%3%4")
                      .arg(Enum<UserCommandType>::ToInvariantString(c.Type), c.Pattern, c.Text,
                           c.IsSystem ? QStringLiteral("|system") : QString());
    }
    return result;
}

QList<UserCommand> userOnly(const QList<UserCommand>& commands)
{
    QList<UserCommand> result;
    for (const UserCommand& c : commands) {
        if (!c.IsSystem)
            result << c;
    }
    return result;
}

QStringList shownPatterns(CommandsCollectionViewModel* collection)
{
    QStringList result;
    for (int i = 0; i < collection->filteredCollection()->count(); ++i)
        result << collection->filteredCollection()->itemAt(i)->get_Pattern();
    return result;
}

// Answers the next modal file dialog as a user would: types the file's full path
// and accepts, or cancels for an empty path.
void answerFileDialog(const QString& path)
{
    QTimer::singleShot(50, [path] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* name = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!name || !name->isVisible())
            return answerFileDialog(path);
        if (path.isEmpty())
            return dialog->reject();
        name->setText(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}
} // namespace

// The command editor's models over the real commands manager, files in the
// test's data folder, system rules beside the test program and the server's
// theme list on 127.0.0.1.
class TestCommandEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { QFile::remove(UserCommandsManager::systemRulesPath()); }
    void init();
    void cleanup();
    void editsReachManagerAndFiles();
    void opensWithoutServer();
    void refusedSaveKeepsEdits();
    void filter_data();
    void filter();
    void patternRules_data();
    void patternRules();
    void secondField_data();
    void secondField();
    void documentChoice_data();
    void documentChoice();
    void slowDocumentPreview();

private:
    CommandsCollectionViewModel* collection(UserCommandType type) const { return editor->get_Collection(type); }
    UserCommandViewModel* row(UserCommandType type, const QString& pattern) const;

    std::unique_ptr<FakeThemeList> themes;
    std::unique_ptr<WebSocketClient> client;
    std::unique_ptr<AsrManager> asr;
    std::unique_ptr<UserCommandsManager> manager;
    std::unique_ptr<CommandsViewModel> editor;
};

void TestCommandEditor::initTestCase()
{
    TestHome::useApplicationIdentity();
    UserCommandFiles::Save(UserCommandsManager::systemRulesPath(), ClientThemeInfo(),
                           {command(Text, "точка", "."), command(Text, "открыть кавычки", "\u0002"),
                            command(Text, "новая строка", "\n")});
}

void TestCommandEditor::init()
{
    TestHome::wipe();
    QVERIFY(QDir().mkpath(UserCommandsManager::commandsFolder()));
    UserCommand punctuation = command(Text, "ад", "артериальное давление");
    punctuation.IsPunctuation = true;
    saveFile("default.json", QString(), {punctuation, command(Key, "сохранить", "Ctrl+s", "{k1}")});
    saveFile("theme_t1.json", "t1",
             {command(Exe, "калькулятор", "/usr/bin/calc", "{e1}"), command(FileCopy, "шаблон", "/tmp/ш.txt", "{f1}")});
    themes = std::make_unique<FakeThemeList>(QStringList{"t1", "t2"});
    client = std::make_unique<WebSocketClient>();
    asr = std::make_unique<AsrManager>(client.get());
    manager = std::make_unique<UserCommandsManager>();
    manager->setAsrManager(asr.get());
    manager->LoadAll();
    // As the connection does before anyone opens the editor.
    asr->get_Themes(true);
    editor = std::make_unique<CommandsViewModel>();
    editor->set_CommandsManager(manager.get(), manager->get_CommandTypes());
    editor->onLoad();
}

void TestCommandEditor::cleanup()
{
    editor.reset();
    manager.reset();
    asr.reset();
    client.reset();
    themes.reset();
}

UserCommandViewModel* TestCommandEditor::row(UserCommandType type, const QString& pattern) const
{
    for (UserCommandViewModel* r : editor->get_CommandSet(editor->get_ThemeIds().value(editor->get_ThemeIndex()), type)) {
        if (r->get_Pattern() == pattern)
            return r;
    }
    return nullptr;
}

void TestCommandEditor::editsReachManagerAndFiles()
{
    QCOMPARE(editor->get_Themes(), (QStringList{AllThemes, "t1 name", "t2 name"}));
    QCOMPARE(editor->get_typeIndex(), 0);

    // All themes: a new rule, a key command renamed (blanks folded) with Alt added, a system rule removed.
    auto* rule = qobject_cast<TextReplaceEditModel*>(collection(Text)->newCommand());
    rule->patternField()->set_Text(QStringLiteral("чсс"));
    rule->textField()->set_Text(QStringLiteral("частота сердечных сокращений"));
    QVERIFY(rule->validate());
    rule->apply();
    auto* key = qobject_cast<HotKeyEditModel*>(collection(Key)->editCommand(row(Key, "сохранить")));
    key->patternField()->set_Text(QStringLiteral(" сохранить   документ "));
    key->set_ModAlt(true);
    QVERIFY(key->validate());
    key->apply();
    collection(Text)->deleteCommand(row(Text, "точка"));

    // Theme t1: one of each action type added or changed, a program removed.
    editor->set_ThemeIndex(1);
    QCOMPARE(shownPatterns(collection(Exe)), QStringList{"калькулятор"});
    auto* chord = qobject_cast<HotKeyEditModel*>(collection(Key)->newCommand());
    chord->patternField()->set_Text(QStringLiteral("обновить"));
    chord->set_HotKey(HotKeyEditModel::converter().ConvertFromString(QStringLiteral("Ctrl+Shift+F5")));
    auto* program = qobject_cast<ProcessExecuteEditModel*>(collection(Exe)->newCommand());
    program->patternField()->set_Text(QStringLiteral("терминал"));
    program->textField()->set_Text(QStringLiteral("file:///usr/bin/xterm"));
    auto* document = qobject_cast<FileCopyEditModel*>(collection(FileCopy)->editCommand(row(FileCopy, "шаблон")));
    document->filePathField()->set_Text(QStringLiteral("/tmp/осмотр.odt"));
    for (UserCommandEditModel* model : QList<UserCommandEditModel*>{chord, program, document}) {
        QVERIFY(model->validate());
        model->apply();
    }
    collection(Exe)->deleteCommand(row(Exe, "калькулятор"));

    // A search hides what does not match; a row added meanwhile waits for the next refilter.
    collection(Key)->set_Filter(QStringLiteral("ОБНОВ"));
    QCOMPARE(shownPatterns(collection(Key)), QStringList{"обновить"});
    auto* hidden = qobject_cast<HotKeyEditModel*>(collection(Key)->newCommand());
    hidden->patternField()->set_Text(QStringLiteral("обновить всё"));
    hidden->set_HotKey(HotKeyEditModel::converter().ConvertFromString(QStringLiteral("F5")));
    QVERIFY(hidden->validate());
    hidden->apply();
    QCOMPARE(shownPatterns(collection(Key)), QStringList{"обновить"});
    collection(Key)->set_Filter(QString());
    QCOMPARE(shownPatterns(collection(Key)), (QStringList{"обновить", "обновить всё"}));

    const QMap<QString, QStringList> expected{
        {QString(),
         {"text:открыть кавычки=>\"|system", "text:новая строка=>\n|system", "text:ад=>артериальное давление",
          "text:чсс=>частота сердечных сокращений", "key:сохранить документ=>Ctrl+Alt+s"}},
        {"t1",
         {"key:обновить=>Ctrl+Shift+F5", "key:обновить всё=>F5", "exe:терминал=>/usr/bin/xterm",
          "file:шаблон=>/tmp/осмотр.odt"}},
        {"t2", {}},
    };
    const QMap<QString, QList<UserCommand>> handed = editor->collectCommands();
    QCOMPARE(handed.keys(), expected.keys());
    for (const QString& id : expected.keys())
        QCOMPARE(describe(handed.value(id)), expected.value(id));
    QCOMPARE(handed.value(QString()).last().Id, QStringLiteral("{k1}"));
    // Not shown in the editor, yet kept: a rule that came as punctuation is saved as one.
    QVERIFY(handed.value(QString()).at(2).IsPunctuation && !handed.value(QString()).at(3).IsPunctuation);
    QCOMPARE(handed.value("t1").last().Id, QStringLiteral("{f1}"));
    QVERIFY(QUuid(handed.value("t1").first().Id).version() == QUuid::Random);

    QSignalSpy saved(editor.get(), &CommandsViewModel::commandsChanged);
    QVERIFY(editor->applyCommand());
    QCOMPARE(saved.count(), 1);
    for (const QString& id : expected.keys())
        QCOMPARE(describe(manager->get_ThemeCommands(id)), expected.value(id));

    // What the files hold loads back the same, with the removed system rule back in place.
    UserCommandsManager reloaded;
    reloaded.LoadAll();
    QCOMPARE(describe(userOnly(reloaded.get_ThemeCommands(QString()))), describe(userOnly(handed.value(QString()))));
    QCOMPARE(describe(reloaded.get_ThemeCommands(QString())).first(), QStringLiteral("text:точка=>.|system"));
    QCOMPARE(describe(reloaded.get_ThemeCommands("t1")), expected.value("t1"));
    QVERIFY(!QFileInfo::exists(storedFile("theme_t2.json")));
}

void TestCommandEditor::opensWithoutServer()
{
    editor->set_ThemeIndex(2);
    editor->onClose();
    // The server fails after the last opening: the themes known then stay.
    themes->fail();
    asr->fetchThemes();
    QTRY_VERIFY_WITH_TIMEOUT(!asr->isFetchingThemes(), TestHome::scaled(5000));
    editor->onLoad();
    QCOMPARE(editor->get_Themes(), (QStringList{AllThemes, "t1 name", "t2 name"}));
    QCOMPARE(editor->get_ThemeIndex(), 2);
    editor->onClose();

    // Never connected, and the server holds its answer: the editor opens at
    // once on the commands of all themes and takes the themes in as they come,
    // keeping what was edited meanwhile.
    themes->offer({"t2", "t1"});
    themes->hold();
    const int asked = themes->requestCount();
    AsrManager waiting(client.get());
    UserCommandsManager fresh;
    fresh.setAsrManager(&waiting);
    fresh.LoadAll();
    editor->set_CommandsManager(&fresh, fresh.get_CommandTypes());
    editor->onLoad();
    QTRY_COMPARE_WITH_TIMEOUT(themes->requestCount(), asked + 1, TestHome::scaled(5000));
    QVERIFY(waiting.isFetchingThemes());
    QCOMPARE(editor->get_Themes(), QStringList{AllThemes});
    QCOMPARE(editor->get_ThemeIndex(), 0);
    QCOMPARE(shownPatterns(collection(Key)), QStringList{"сохранить"});
    collection(Key)->deleteCommand(row(Key, "сохранить"));

    QSignalSpy arrived(editor.get(), &CommandsViewModel::changed_Themes);
    themes->answerHeld();
    QVERIFY(arrived.wait(TestHome::scaled(5000)));
    QCOMPARE(editor->get_Themes(), (QStringList{AllThemes, "t1 name", "t2 name"}));
    QCOMPARE(editor->get_ThemeIndex(), 0);
    QCOMPARE(shownPatterns(collection(Key)), QStringList());
    editor->set_ThemeIndex(1);
    QCOMPARE(shownPatterns(collection(Exe)), QStringList{"калькулятор"});
    QVERIFY(editor->applyCommand());
    QCOMPARE(describe(userOnly(fresh.get_ThemeCommands(QString()))), QStringList{"text:ад=>артериальное давление"});
    editor->set_CommandsManager(manager.get(), manager->get_CommandTypes());
}

void TestCommandEditor::refusedSaveKeepsEdits()
{
    // Root ignores permissions: a folder where the file should go refuses the write for anyone.
    QVERIFY(QFile::remove(storedFile("default.json")));
    QVERIFY(QDir().mkpath(storedFile("default.json")));
    QFile t1(storedFile("theme_t1.json"));
    QVERIFY(t1.open(QIODevice::ReadOnly));
    const QByteArray before = t1.readAll();
    t1.close();

    auto* rule = qobject_cast<TextReplaceEditModel*>(collection(Text)->newCommand());
    rule->patternField()->set_Text(QStringLiteral("чсс"));
    QVERIFY(rule->validate());
    rule->apply();
    editor->set_ThemeIndex(1);
    collection(Exe)->deleteCommand(row(Exe, "калькулятор"));
    QSignalSpy saved(editor.get(), &CommandsViewModel::commandsChanged);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Error in CommandsViewModel::applyCommand: "));
    QVERIFY(!editor->applyCommand());
    QCOMPARE(saved.count(), 0);
    QVERIFY(t1.open(QIODevice::ReadOnly));
    QCOMPARE(t1.readAll(), before);
    t1.close();
    QCOMPARE(describe(manager->get_ThemeCommands("t1")).size(), 2);

    // The edits are still in the window: once the way is clear they are saved.
    QVERIFY(QDir(storedFile("default.json")).removeRecursively());
    QVERIFY(editor->applyCommand());
    QCOMPARE(saved.count(), 1);
    QCOMPARE(describe(UserCommandFiles::Load(storedFile("default.json"), nullptr, false)),
             (QStringList{"text:ад=>артериальное давление", "text:чсс=>", "key:сохранить=>Ctrl+s"}));
    QCOMPARE(describe(UserCommandFiles::Load(storedFile("theme_t1.json"), nullptr, false)),
             QStringList{"file:шаблон=>/tmp/ш.txt"});
}

void TestCommandEditor::filter_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("two blanks match one blank and a tab, any case")
        << "открыть  окно" << QStringList{"Открыть окно", "тире"};
    QTest::newRow("Cyrillic in the text only") << "АРТЕРИАЛЬНОЕ" << QStringList{"ад"};
    QTest::newRow("a full stop is a full stop") << "о.кно" << QStringList{};
    QTest::newRow("other themes never show") << "чужое" << QStringList{};
}

void TestCommandEditor::filter()
{
    QFETCH(QString, search);
    CommandsCollectionViewModel rows(Text, editor.get());
    rows.append(new UserCommandViewModel(command(Text, "Открыть окно", "1"), QString(), &rows));
    rows.append(new UserCommandViewModel(command(Text, "ад", "артериальное давление"), QString(), &rows));
    rows.append(new UserCommandViewModel(command(Text, "тире", "открыть\tокно"), QString(), &rows));
    rows.append(new UserCommandViewModel(command(Text, "чужое", "открыть окно"), QStringLiteral("t1"), &rows));
    rows.set_Filter(search);
    QTEST(shownPatterns(&rows), "shown");
}

void TestCommandEditor::patternRules_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("theme");
    QTest::addColumn<QString>("edited");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("error");

    const QString emptyRule = "Образец автозамены пуст";
    const QString emptyCommand = "Текст команды не должен быть пустым";
    const QString unspeakable = "Команда должна содержать произносимый текст";
    const QString knownRule = "Такой образец автозамены уже есть";
    const QString knownCommand = "Такая команда/автозамена уже существует";
    QTest::newRow("blank rule") << int(Text) << 0 << "" << " \t " << emptyRule;
    QTest::newRow("blank command") << int(Key) << 0 << "" << "  " << emptyCommand;
    QTest::newRow("hyphen in a command") << int(Exe) << 0 << "" << "блок-нот" << unspeakable;
    QTest::newRow("hyphen in a rule") << int(Text) << 0 << "" << "блок-нот" << "";
    QTest::newRow("own phrase unchanged") << int(Key) << 0 << "сохранить" << "сохранить" << "";
    QTest::newRow("other type, case and blanks") << int(Exe) << 0 << "" << " СОХРАНИТЬ " << knownCommand;
    QTest::newRow("system rule") << int(Text) << 0 << "" << "Точка" << knownRule;
    QTest::newRow("inner blanks as stored") << int(Text) << 0 << "" << "новая  строка" << knownRule;
    QTest::newRow("rename onto another row") << int(Text) << 0 << "ад" << "точка" << knownRule;
    QTest::newRow("same phrase, other theme") << int(Text) << 1 << "" << "ад" << "";
    QTest::newRow("hidden row of the theme") << int(Key) << 1 << "" << "калькулятор" << knownCommand;
}

void TestCommandEditor::patternRules()
{
    QFETCH(int, type);
    QFETCH(int, theme);
    QFETCH(QString, edited);
    QFETCH(QString, pattern);
    editor->set_ThemeIndex(theme);
    // Out of sight of the search: the check still sees it.
    collection(Exe)->set_Filter(QStringLiteral("нет такого"));
    CommandsCollectionViewModel* rows = collection(UserCommandType(type));
    auto* model = qobject_cast<PatternEditModel*>(edited.isEmpty() ? rows->newCommand()
                                                                   : rows->editCommand(row(UserCommandType(type), edited)));
    QVERIFY(model);
    model->patternField()->set_Text(pattern);
    QTEST(model->patternField()->get_Error(), "error");
}

void TestCommandEditor::secondField_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("error");

    const QString tooLong = "Размер текста в поле ввода не может превышать 128 символов";
    QTest::newRow("129 characters") << int(Text) << "п" << QString(129, 'a') << QString(129, 'a') << tooLong;
    QTest::newRow("bad phrase: text unchecked") << int(Text) << " " << QString(129, 'a') << QString(129, 'a') << "";
    QTest::newRow("no program") << int(Exe) << "п" << "  " << "  " << "Адрес программы не должен быть пустым";
    QTest::newRow("file URL") << int(Exe) << "п" << "file:///opt/%D0%B0%20b.sh" << "/opt/а b.sh" << "";
    QTest::newRow("typed path kept") << int(Exe) << "п" << "/opt/run?x#y" << "/opt/run?x#y" << "";
    QTest::newRow("no key") << int(Key) << "п" << "" << "" << "Не задана горячая клавиша";
    QTest::newRow("no document") << int(FileCopy) << "п" << " " << " " << "Путь к файлу не может быть пустым";
}

void TestCommandEditor::secondField()
{
    QFETCH(int, type);
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(QString, stored);
    QFETCH(QString, error);
    auto* model = qobject_cast<PatternEditModel*>(collection(UserCommandType(type))->newCommand());
    auto* second = model->findChildren<ValidatableText*>().value(1);
    QVERIFY(second && second != model->patternField());
    model->patternField()->SetText(pattern);
    second->SetText(text);
    QSignalSpy failed(second, &ValidatableText::validateFailed);

    const bool valid = model->validate();
    QCOMPARE(second->get_Error(), error);
    QCOMPARE(failed.count(), error.isEmpty() ? 0 : 1);
    QCOMPARE(second->get_Text(), stored);
    if (!valid)
        return;
    model->apply();
    QCOMPARE(editor->get_CommandSet(QString(), UserCommandType(type)).last()->get_Text(), stored);
}

void TestCommandEditor::documentChoice_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("preview");
    QTest::addColumn<bool>("isError");
    QTest::addColumn<QString>("lastPath");

    const QString document = TestHome::path() + QStringLiteral("/осмотр.txt");
    QTest::newRow("chosen") << document << document << "Жалоб нет.\n" << false << document;
    QTest::newRow("cancelled") << "" << "/tmp/ш.txt" << "Файла не существует" << true << TestHome::path();
}

void TestCommandEditor::documentChoice()
{
    QFETCH(QString, chosen);
    QVERIFY(UserCommandFixtures::writeFile(TestHome::path() + QStringLiteral("/осмотр.txt"), "Жалоб нет.\n"));
    FileDialogSettings settings;
    settings.LastFilePath = TestHome::path();
    settings.sync();
    editor->set_ThemeIndex(1);
    // The stored document is gone: the preview says so, and the command can still be saved.
    auto* model = qobject_cast<FileCopyEditModel*>(collection(FileCopy)->editCommand(row(FileCopy, "шаблон")));
    QTRY_COMPARE_WITH_TIMEOUT(model->get_PreviewText(), QStringLiteral("Файла не существует"), TestHome::scaled(5000));
    QVERIFY(model->get_IsError());

    answerFileDialog(chosen);
    model->selectFile();
    QTEST(model->filePathField()->get_Text(), "path");
    QFETCH(QString, preview);
    QTRY_COMPARE_WITH_TIMEOUT(model->get_PreviewText(), preview, TestHome::scaled(5000));
    QTEST(model->get_IsError(), "isError");
    QTEST(QString(FileDialogSettings().LastFilePath), "lastPath");
    QVERIFY(model->validate());
}

// A document that takes a while to read does not hold the editor up; a
// document chosen meanwhile is the one shown.
void TestCommandEditor::slowDocumentPreview()
{
    const QString bin = TestHome::path() + QStringLiteral("/bin");
    QVERIFY(QDir().mkpath(bin));
    const QByteArray path = UserCommandFixtures::installUnzip(bin, "sleep 1", QStringLiteral("документ"));
    // Also when a check fails: later cases must find the real unzip.
    const auto restorePath = qScopeGuard([path] { qputenv("PATH", path); });
    const QString slow = TestHome::path() + QStringLiteral("/осмотр.odt");
    const QString quick = TestHome::path() + QStringLiteral("/осмотр.txt");
    QVERIFY(UserCommandFixtures::writeFile(slow, "read by the stand-in unzip"));
    QVERIFY(UserCommandFixtures::writeFile(quick, "Жалоб нет.\n"));
    auto* model = qobject_cast<FileCopyEditModel*>(collection(FileCopy)->newCommand());

    EventLoopProbe probe;
    model->filePathField()->SetText(slow);
    QTRY_COMPARE_WITH_TIMEOUT(model->get_PreviewText(), QStringLiteral("документ\r\n"), TestHome::scaled(10000));
    QVERIFY2(probe.longestStall() < TestHome::scaled(500), qPrintable(QString::number(probe.longestStall())));
    QSignalSpy shown(model, &FileCopyEditModel::changed_PreviewText);
    model->filePathField()->SetText(slow + QStringLiteral("x"));
    model->filePathField()->SetText(slow);
    model->filePathField()->SetText(quick);
    QTRY_COMPARE_WITH_TIMEOUT(model->get_PreviewText(), QStringLiteral("Жалоб нет.\n"), TestHome::scaled(10000));
    for (const QList<QVariant>& text : shown)
        QVERIFY2(text.at(0).toString() != QStringLiteral("документ\r\n"), "a document chosen before was shown");
}

QTEST_MAIN(TestCommandEditor)
#include "TestCommandEditor.moc"
