#pragma once

#include "UserCommand.h"

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

inline UserCommand text(const QString& pattern, const QString& replacement)
{
    return command(UserCommandNamespace::Text, pattern, replacement);
}

// The phrases in order; system rules marked "|system".
inline QStringList patterns(const QList<UserCommand>& commands)
{
    QStringList result;
    for (const UserCommand& c : commands)
        result << c.Pattern + (c.IsSystem ? QStringLiteral("|system") : QString());
    return result;
}

// A program for Exe commands that leaves "<its path>.started" behind when it runs.
inline bool writeMarkerScript(const QString& path)
{
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return false;
    script.write("#!/bin/sh\ntouch \"$0.started\"\n");
    script.close();
    QFile::remove(path + QStringLiteral(".started"));
    return script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace UserCommandFixtures
