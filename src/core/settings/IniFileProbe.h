#pragma once

#include <QString>

// Reads every value of an INI file once, in a fresh copy of the program, before
// the program does. Some damaged values (a "@Variant(…)" declaring a huge list,
// or a GUI type) make Qt throw in every read, or crash, which nothing in the
// program could catch; such a file is set aside so that the program can go on
// without it. No object: called at start, which it holds up to 10 s a file.
class IniFileProbe
{
public:
    // Moves an unreadable file to "<file>.damaged" (".damaged.1" and so on: an
    // earlier copy is never overwritten). Returns the path of that copy; empty
    // when the file reads, is missing, or could not be moved (logged).
    static QString setAsideUnreadable(const QString& path);
    // What goes wrong reading the file; empty when it reads or is missing, and
    // when the probe could not start or finish (logged: the file is not judged).
    // Anything but a regular file (a FIFO would hold the reader) is refused.
    static QString readProblem(const QString& path);
    // Moves the file aside as above, for the problem given (logged).
    static QString setAside(const QString& path, const QString& problem);
};
