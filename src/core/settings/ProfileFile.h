#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

// One of the organisation and user profile files beside the settings file:
// "Organisation.ini" (group Organisation) and "UserInfo.ini" (group UserInfo).
// Every reader and writer opens them through this class. Qt shares one parsed
// copy of a file between all its QSettings objects, whichever codec parsed it,
// so all must decode alike: UTF-8 text, as hand-prepared files are written
// (files written earlier with \x escapes read the same). Used by the thread
// that created it.
class ProfileFile : public QSettings
{
    Q_OBJECT

public:
    explicit ProfileFile(const QString& path);
    ~ProfileFile() override;

    // A value as text; empty when missing. An unquoted value with commas reads
    // as written, with one blank after each comma.
    QString text(const QString& key) const;

    static QString folder();
    static QString organisationFile();
    static QString userFile();
    // Both files checked before anything reads them (IniFileProbe); the copies
    // of those that could not be read and were set aside.
    static QStringList setAsideUnreadable();
};
