#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

// A short-lived object bound to one group of the settings file. Group objects
// are used by the thread that created them; writers call sync() themselves.
class Settings : public QSettings
{
    Q_OBJECT

public:
    explicit Settings(const QString& group);
    ~Settings() override;

    static void setOrganizationName(const QString& name);
    static void setApplicationName(const QString& name);
    static void setFileName(const QString& name);
    static void setIniCodec(const QString& codec);
    static void setDefaultFormat(QSettings::Format format);
    static void setScope(QSettings::Scope scope);

    // Reads every value of the settings file once, before anything else does
    // (IniFileProbe). When Qt cannot (a damaged value makes it throw, e.g.
    // std::bad_alloc for a huge declared list), the file is set aside and the
    // program goes on with defaults. Returns the path of that copy, empty when
    // the file was fine.
    static QString setAsideUnreadableFile();
    // The same for the system-wide files Qt reads under the user's (those of
    // XDG_CONFIG_DIRS), which only an administrator can mend: a damaged one is
    // left out for this run, the user's file and the defaults serve. Qt takes
    // one system folder when told: the first whose files all read is kept.
    // Call before the first settings object. Returns the files left out.
    static QStringList leaveOutUnreadableSystemFiles();

    bool isChanged() const { return changed; }
    void markChanged() { changed = true; }

protected:
    // QSettings would otherwise sync itself from the event loop of the thread
    // that created it, racing a writer in another thread.
    bool event(QEvent* event) override;

private:
    static QString applicationPart();
    static QString organizationPart();

    bool changed = false;
};
