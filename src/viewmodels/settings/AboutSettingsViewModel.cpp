#include "AboutSettingsViewModel.h"

#include "AppVariables.h"
#include "BackgroundRunner.h"
#include "ClientInfoSettings.h"
#include "GeneralSystemInformationManager.h"
#include "PropertyChange.h"
#include "TransientDialog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStandardPaths>

#include <exception>

namespace {
QString build(const char* key)
{
    return AppVariables::sm_stdVars.get(QStringLiteral("build"), QString::fromLatin1(key));
}
} // namespace

AboutSettingsViewModel::AboutSettingsViewModel(QObject* parent)
    : AppSettingsViewModel(QStringLiteral("О программе"), false, parent)
    , clientId(tr("ID пользователя: ") + ClientInfoSettings().getOrCreateDesktopId())
    , version(QCoreApplication::applicationVersion())
    , appDescription(build("AppDescription"))
    , supportLink(build("SupportLink"))
    , appLink(build("AppLink"))
    , localHelpFile(AppVariables::sm_stdVars.get(QStringLiteral("HelpFile"), QString()))
    , backgroundWidth(build("AboutViewBackgroundWidth").toInt())
    , backgroundColor(build("AboutViewBackgroundColor"))
    , archiveRunner(new BackgroundRunner(QStringLiteral("SystemInformation"), this))
{
    if (QFileInfo::exists(localHelpFile)) {
        visibleManual = true;
        emit changed_VisibleManual(true);
    }
    connect(this, &AboutSettingsViewModel::getSystemInfo, this, &AboutSettingsViewModel::collectSystemInfo);
}

AboutSettingsViewModel::~AboutSettingsViewModel() = default;

void AboutSettingsViewModel::set_BackgroundWidth(int width)
{
    changeProperty(this, backgroundWidth, width, &AboutSettingsViewModel::changed_BackgroundWidth);
}

void AboutSettingsViewModel::set_BackgroundColor(QString color)
{
    changeProperty(this, backgroundColor, color, &AboutSettingsViewModel::changed_BackgroundColor);
}

void AboutSettingsViewModel::collectSystemInfo()
{
    if (archiveRunner->isBusy()) {
        qInfo() << "System information archive: the previous one is still being written";
        return;
    }
    // Each box goes over the window that asked: when the archive is done, the
    // focus may not be back from the save dialog yet, and a box over no window
    // would leave the keys to the document the user worked in before.
    archiveOpener = QGuiApplication::focusWindow();
    try {
        const QString path = chooseArchivePath();
        if (path.isEmpty())
            return;
        struct Outcome
        {
            bool saved = false;
            QString error;
        };
        archiveRunner->run<Outcome>(
            [path](const CancellationCondition& canceled) {
                GeneralSystemInformationManager manager;
                manager.setCancellation(&canceled);
                Outcome outcome;
                // The save dialog has already asked before replacing a file.
                outcome.saved = manager.CollectSystemInformation(path, true);
                outcome.error = manager.errorText();
                return outcome;
            },
            [this, path](const Outcome& outcome) {
                if (outcome.saved)
                    showArchiveSaved(path);
                else
                    showArchiveError(outcome.error);
            });
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("Error in AboutSettingsViewModel::collectSystemInfo: ")
                + QString::fromUtf8(e.what());
    }
}

QString AboutSettingsViewModel::suggestedArchivePath()
{
    // Without a desktop folder the dialog would open wherever the program was started.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString folder = QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("SysInfo.tar.gz"));
}

QString AboutSettingsViewModel::chooseArchivePath()
{
    QFileDialog dialog(nullptr, tr("Сохранить информацию о системе"), suggestedArchivePath(), tr("Архив (*.tar.gz)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    return TransientDialog::exec(dialog, archiveOpener) == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

void AboutSettingsViewModel::showArchiveSaved(const QString& path)
{
    QMessageBox box(QMessageBox::Information, tr("Информация о системе"),
                    tr("Архив с информацией о системе сохранён:\n%1").arg(QDir::toNativeSeparators(path)),
                    QMessageBox::Ok);
    TransientDialog::exec(box, archiveOpener);
}

void AboutSettingsViewModel::showArchiveError(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, tr("Ошибка"),
                    tr("Не удалось сохранить архив с информацией о системе.\n%1").arg(text), QMessageBox::Ok);
    TransientDialog::exec(box, archiveOpener);
}
