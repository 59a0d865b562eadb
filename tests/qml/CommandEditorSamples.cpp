#include "CommandEditorSamples.h"

#include "CommandsCollectionViewModel.h"
#include "CommandsViewModel.h"
#include "TestHome.h"
#include "UserCommandFiles.h"
#include "UserCommandsManager.h"

#include <QDir>
#include <QFile>

namespace {
UserCommand sample(UserCommandType type, const QString& pattern, const QString& text, bool isSystem = false)
{
    UserCommand command(type);
    command.Pattern = pattern;
    command.Text = text;
    command.IsSystem = isSystem;
    return command;
}

QString sampleDocument()
{
    const QString path = QDir(TestHome::path()).filePath(QStringLiteral("Осмотр.txt"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("Жалобы: нет.\nОбщее состояние удовлетворительное.\nКожные покровы обычной окраски.\n");
    return path;
}
} // namespace

void CommandEditorSamples::writeUserCommands()
{
    using namespace UserCommandNamespace;
    const QString folder = UserCommandsManager::commandsFolder();
    QDir().mkpath(folder);
    ClientThemeInfo theme;
    UserCommandFiles::Save(QDir(folder).filePath(UserCommandFiles::DefaultFileName), theme,
                           {sample(Text, "ад", "артериальное давление"), sample(Text, "чсс", "частота сердечных сокращений"),
                            sample(Key, "сохранить документ", "Ctrl+s"), sample(Key, "обновить страницу", "Ctrl+Shift+F5"),
                            sample(Exe, "открыть калькулятор", "/usr/bin/gnome-calculator"),
                            sample(FileCopy, "шаблон осмотра", sampleDocument())});
    theme.setId(QStringLiteral("t1"));
    theme.setName(QStringLiteral("Терапия"));
    UserCommandFiles::Save(QDir(folder).filePath(UserCommandFiles::ThemeFileTemplate.arg(theme.id())), theme,
                           {sample(Text, "жкт", "желудочно-кишечный тракт")});
}

CommandEditorSamples::CommandEditorSamples()
    : editor(std::make_unique<CommandsViewModel>())
{
    using namespace UserCommandNamespace;
    editor->set_CommandsManager(nullptr, UserCommandsManager().get_CommandTypes());
    const QList<QPair<UserCommandType, QList<UserCommand>>> rows{
        {Text, {sample(Text, "точка", ".", true), sample(Text, "новая строка", "\n", true),
                sample(Text, "ад", "артериальное давление"), sample(Text, "чсс", "частота сердечных сокращений")}},
        {Key, {sample(Key, "сохранить документ", "Ctrl+s"), sample(Key, "обновить страницу", "Ctrl+Shift+F5")}},
        {Exe, {sample(Exe, "открыть калькулятор", "/usr/bin/gnome-calculator")}},
        {FileCopy, {sample(FileCopy, "шаблон осмотра", sampleDocument())}},
    };
    const QStringList names{QStringLiteral("Text"), QStringLiteral("Key"), QStringLiteral("Exe"),
                            QStringLiteral("FileCopy")};
    for (int i = 0; i < rows.size(); ++i) {
        auto* collection = new CommandsCollectionViewModel(rows[i].first, editor.get());
        for (const UserCommand& command : rows[i].second)
            collection->append(new UserCommandViewModel(command, QString(), collection));
        objects.append({QStringLiteral("sample%1Commands").arg(names[i]), collection});
        // The last row of each list, as when it is edited.
        objects.append({QStringLiteral("sample%1Edit").arg(names[i]),
                        collection->editCommand(collection->sourceCollection()->itemAt(rows[i].second.size() - 1))});
    }
}

CommandEditorSamples::~CommandEditorSamples() = default;
