#pragma once

#include "ClientThemeInfo.h"
#include "UserCommand.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

// The command files: "default.json" and "theme_<id>.json" in the user's
// "commands" folder, and the read-only system rules "autoreplaces.json" in the
// program folder. Failures are raised as Exception with the texts callers show.
class UserCommandFiles
{
public:
    struct Contents
    {
        // Theme id -> theme record; the empty id is the all-themes entry.
        QMap<QString, ClientThemeInfo> themes;
        QMap<QString, QList<UserCommand>> commands;
        // User files that could not be read; they are left as they are on disk.
        QSet<QString> damagedFiles;
        // Every user file that was read, with the theme id it declares (also
        // the ones left out because another file owns their theme).
        QMap<QString, QString> fileThemes;
        // Every file that could not be read, the system rules included, in load order.
        QStringList unreadableFiles;
    };

    static const QString FolderName;
    static const QString DefaultFileName;
    static const QString ThemeFileTemplate;
    static const QString SystemRulesFileName;
    // Larger files are damaged: a command file holds a few hundred kilobytes at most.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    // Sets the theme's Id and Name from the file when a theme is given.
    static QList<UserCommand> Load(const QString& path, ClientThemeInfo* theme, bool isSystem);
    // Replaces the file as a whole or not at all.
    static void Save(const QString& path, const ClientThemeInfo& theme, const QList<UserCommand>& commands);

    // Reads the system rules and every user file of the folder, merges them by
    // theme id (a later phrase wins), system rules first. Damaged user files
    // and damaged system rules are logged and left out. One file owns a theme:
    // its own file (ThemeFilePath), else the first by name; the others that
    // declare it are reported like damaged files and left out.
    static Contents LoadAll(const QString& folder, const QString& systemRulesPath);

    // The file of a theme in the folder; raises the theme error for an id that
    // would leave the folder or is no valid file name.
    static QString ThemeFilePath(const QString& folder, const QString& themeId);
    // The file name of a theme's own file; empty for an id that can name no file.
    static QString ThemeFileName(const QString& themeId);
    static bool IsSafeThemeId(const QString& themeId);
    // Moves a damaged or superseded file out of the way (to "<name>.damaged") before a save.
    static void SetAside(const QString& path);

    static QString ThemeNotFound(const QString& themeId);
    static QString CannotWrite(const QString& path);

    // A later command with the same normalised phrase replaces an earlier one in its place.
    static QList<UserCommand> Deduplicate(const QList<UserCommand>& commands);
    // System rules first, each group in its order.
    static QList<UserCommand> SystemFirst(const QList<UserCommand>& commands);
};
