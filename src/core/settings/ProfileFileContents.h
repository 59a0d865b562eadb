#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The values of a profile file as its writer meant them. Administrators write
// these files by hand: a value is taken as written, quotes, semicolons and
// commas included. The client's own files, written by Qt, read back exactly:
// its escapes (\", \\, \x…) are decoded and a value it quoted whole loses
// those quotes. Only a small regular file of UTF-8 text is read; anything else
// is a problem, and then no value is read at all.
class ProfileFileContents
{
public:
    // A profile file holds a few short lines; a 60 MB one took gigabytes to read.
    static constexpr qint64 MaxFileSize = 64 * 1024;
    static constexpr int MaxValueLength = 1024;

    // Never blocks: a FIFO or a device at the path is a problem, not a wait.
    static ProfileFileContents read(const QString& path);

    // The value of "Group/Key"; a null string when it is missing.
    QString value(const QString& key) const { return values.value(key); }
    QStringList keys() const { return values.keys(); }
    // Why the file cannot be used; empty when it can (a missing file can).
    QString problem() const { return failure; }

private:
    void parse(const QByteArray& bytes);
    static QString decodeValue(const QString& raw);
    static QString unescape(const QString& text);

    QHash<QString, QString> values;
    QString failure;
};
