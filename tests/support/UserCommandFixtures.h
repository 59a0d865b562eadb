#pragma once

#include "ClientThemeInfo.h"
#include "UserCommand.h"
#include "UserCommandFiles.h"
#include "UserCommandsManager.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

// Helpers for tests of user commands; the test links the commands library.
namespace UserCommandFixtures {

inline UserCommand command(UserCommandType type, const QString& pattern, const QString& text,
                           const QString& id = QString())
{
    UserCommand result(type);
    result.Pattern = pattern;
    result.Text = text;
    result.Id = id;
    return result;
}

// The phrases in order; system rules marked "|system".
inline QStringList patterns(const QList<UserCommand>& commands)
{
    QStringList result;
    for (const UserCommand& c : commands)
        result << c.Pattern + (c.IsSystem ? QStringLiteral("|system") : QString());
    return result;
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A program for Exe commands that leaves "<its path>.started" behind when it runs.
inline bool writeMarkerScript(const QString& path)
{
    QFile::remove(path + QStringLiteral(".started"));
    return writeFile(path, "#!/bin/sh\ntouch \"$0.started\"\n")
        && QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Puts a stand-in unzip first on PATH: it runs `script`, then prints a
// content.xml holding one paragraph. Answers the PATH to restore.
inline QByteArray installUnzip(const QString& folder, const QByteArray& script, const QString& paragraph)
{
    const QString content = QDir(folder).filePath(QStringLiteral("content.xml"));
    const QString program = QDir(folder).filePath(QStringLiteral("unzip"));
    writeFile(content, "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                       "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:text><text:p>"
                           + paragraph.toUtf8() + "</text:p></office:text></office:body></office:document-content>");
    writeFile(program, "#!/bin/sh\n" + script + "\ncat '" + QFile::encodeName(content) + "'\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray original = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(folder) + ':' + original);
    return original;
}

// A file of the user's command folder.
inline QString storedFile(const QString& name)
{
    return QDir(UserCommandsManager::commandsFolder()).filePath(name);
}

// Saves commands of a theme as the program does; answers the file's path.
inline QString saveFile(const QString& name, const QString& themeId, const QList<UserCommand>& commands)
{
    ClientThemeInfo theme;
    theme.setId(themeId);
    theme.setName(themeId + QStringLiteral(" name"));
    UserCommandFiles::Save(storedFile(name), theme, commands);
    return storedFile(name);
}

} // namespace UserCommandFixtures
