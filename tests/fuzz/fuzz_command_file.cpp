// A user command file (and the same bytes as the system rules) through the
// real loader: a file that loads must save and load again to the same theme
// and commands, and loading the whole folder never throws.
#include "FuzzEnvironment.h"

#include "Exception.h"
#include "UserCommandFiles.h"

#include <QDir>
#include <QFile>

using FuzzEnvironment::fail;

namespace {
QString describe(const UserCommand& c)
{
    return QStringLiteral("%1|%2|%3|%4|%5|%6")
        .arg(int(c.Type))
        .arg(c.Pattern, c.Text, c.Id)
        .arg(c.IsPunctuation)
        .arg(c.IsSystem);
}

QStringList describe(const QList<UserCommand>& commands)
{
    QStringList result;
    for (const UserCommand& c : commands)
        result << describe(c);
    return result;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const char* data, size_t size)
{
    if (size > 256 * 1024)
        return -1;
    QDir folder(FuzzEnvironment::folder() + QStringLiteral("/commands"));
    folder.removeRecursively();
    QDir().mkpath(folder.path());
    const QString path = folder.filePath(UserCommandFiles::DefaultFileName);
    FuzzEnvironment::writeFile(path, QByteArray(data, int(size)));

    for (const bool isSystem : {false, true}) {
        ClientThemeInfo theme;
        QList<UserCommand> commands;
        try {
            commands = UserCommandFiles::Load(path, &theme, isSystem);
        } catch (const Exception&) {
            continue; // a damaged file, reported as such
        }
        const QString copy = folder.filePath(QStringLiteral("copy.json"));
        UserCommandFiles::Save(copy, theme, commands);
        ClientThemeInfo reloadedTheme;
        const QList<UserCommand> reloaded = UserCommandFiles::Load(copy, &reloadedTheme, isSystem);
        if (reloadedTheme.themeId() != theme.themeId() || reloadedTheme.name() != theme.name())
            fail(QStringLiteral("the theme changed in a save and load"));
        if (describe(reloaded) != describe(commands))
            fail(QStringLiteral("the commands changed in a save and load:\n") + describe(commands).join('\n')
                 + QStringLiteral("\n---\n") + describe(reloaded).join('\n'));
        QFile::remove(copy);
    }

    // The same bytes as a user file of the folder and as the system rules at once.
    const UserCommandFiles::Contents contents = UserCommandFiles::LoadAll(folder.path(), path);
    if (contents.unreadableFiles.size() == 1)
        fail(QStringLiteral("one of two readings of the same bytes failed"));
    return 0;
}
