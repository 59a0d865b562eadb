#pragma once

#include "AppSettingsViewModel.h"

#include <QPointer>
#include <QString>
#include <QWindow>

class BackgroundRunner;

// The "О программе" page: the client id, version, product texts and links,
// all fixed when the page is built, and the diagnostic archive, written in a
// thread of its own. GUI thread.
class AboutSettingsViewModel : public AppSettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(QString ClientId READ get_ClientId CONSTANT)
    Q_PROPERTY(QString Version READ get_Version CONSTANT)
    Q_PROPERTY(bool EnableTutorial READ get_EnableTutorial NOTIFY changed_EnableTutorial)
    Q_PROPERTY(bool VisibleManual READ get_VisibleManual NOTIFY changed_VisibleManual)
    Q_PROPERTY(QString AppDescription READ get_AppDescription CONSTANT)
    Q_PROPERTY(QString SupportLink READ get_SupportLink CONSTANT)
    Q_PROPERTY(QString AppLink READ get_AppLink CONSTANT)
    Q_PROPERTY(QString LocalHelpFile READ get_LocalHelpFile CONSTANT)
    Q_PROPERTY(int BackgroundWidth READ get_BackgroundWidth WRITE set_BackgroundWidth NOTIFY changed_BackgroundWidth)
    Q_PROPERTY(QString BackgroundColor READ get_BackgroundColor WRITE set_BackgroundColor NOTIFY changed_BackgroundColor)

public:
    explicit AboutSettingsViewModel(QObject* parent = nullptr);
    ~AboutSettingsViewModel() override;

    QString get_ClientId() const { return clientId; }
    QString get_Version() const { return version; }
    bool get_EnableTutorial() const { return enableTutorial; }
    bool get_VisibleManual() const { return visibleManual; }
    QString get_AppDescription() const { return appDescription; }
    QString get_SupportLink() const { return supportLink; }
    QString get_AppLink() const { return appLink; }
    QString get_LocalHelpFile() const { return localHelpFile; }
    int get_BackgroundWidth() const { return backgroundWidth; }
    QString get_BackgroundColor() const { return backgroundColor; }

public slots:
    void set_BackgroundWidth(int width);
    void set_BackgroundColor(QString color);
    // Reached through getSystemInfo: asks where to save, then writes the archive
    // there in the background and tells how that went. Ignored while an archive
    // is being written.
    void collectSystemInfo();

public:
    // The desktop folder, or the home folder where there is none, and "SysInfo.tar.gz".
    static QString suggestedArchivePath();

signals:
    void openTutorial();
    void getSystemInfo();
    void reportProblem();
    void changed_EnableTutorial(bool enable);
    void changed_VisibleManual(bool visible);
    void changed_BackgroundWidth(int width);
    void changed_BackgroundColor(QString color);

protected:
    // The save dialog; an empty path means the user cancelled.
    virtual QString chooseArchivePath();
    virtual void showArchiveSaved(const QString& path);
    virtual void showArchiveError(const QString& text);

private:
    QString clientId;
    QString version;
    bool enableTutorial = false;
    bool visibleManual = false;
    QString appDescription;
    QString supportLink;
    QString appLink;
    QString localHelpFile;
    int backgroundWidth = 0;
    QString backgroundColor;
    // The window the archive was asked from, while its dialogs run.
    QPointer<QWindow> archiveOpener;
    // Going away (at quit) it ends tar and the copying.
    BackgroundRunner* archiveRunner;
};
