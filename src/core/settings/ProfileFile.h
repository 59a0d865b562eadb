#pragma once

#include "ProfileFileContents.h"

#include <QSettings>
#include <QString>
#include <QStringList>

#include <optional>

// One of the organisation and user profile files beside the settings file:
// "Organisation.ini" (group Organisation) and "UserInfo.ini" (group UserInfo).
// Every reader and writer opens them through this class. Values are read as
// their writer meant them (ProfileFileContents), not as Qt would parse them;
// writes go through Qt, in UTF-8. Used by the thread that created it.
class ProfileFile : public QSettings
{
    Q_OBJECT

public:
    // Anything but a regular file at the path (a FIFO would hold the program)
    // is neither read nor written.
    explicit ProfileFile(const QString& path);
    ~ProfileFile() override;

    // A value as text; empty when missing or when the file cannot be read (logged).
    QString text(const QString& key) const;
    // Before a write: every value of the file set again as text() reads it, so
    // that Qt writes back what no writer changes as it was meant.
    void keepReadValues();

    static QString folder();
    static QString organisationFile();
    static QString userFile();
    // Both files checked before anything reads them: one that is not a small
    // regular file of UTF-8 text, or that Qt cannot read (IniFileProbe), is
    // set aside; the copies of those that were.
    static QStringList setAsideUnreadable();

private:
    const ProfileFileContents& contents() const;

    const QString path;
    mutable std::optional<ProfileFileContents> readContents;
};
