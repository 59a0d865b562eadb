#pragma once

#include <QMap>
#include <QString>
#include <QVector>

// The keycodes a writer has lent to characters on one X display, in a file of
// the user's runtime folder written before each change of the keyboard map.
// A copy of the client that ends without giving them back (killed, crashed)
// leaves its record behind, and the next start on that display gives them back.
class LentKeysRecord
{
public:
    // Keycode and every keysym the writer may have put on it.
    using Keys = QMap<quint8, QVector<unsigned long>>;

    // The record of this writer, one of this process.
    explicit LentKeysRecord(const QString& displayName);

    QString path() const { return filePath; }
    // False (and said once in the log) when the record cannot be written.
    bool save(const Keys& keys);
    void remove();

    // What writers no longer running left lent on the display; their records go.
    static Keys takeLeftByEndedCopies(const QString& displayName);

private:
    QString filePath;
    bool saveFailureLogged = false;
};
