#include "StatisticsSettingsViewModel.h"

#include "ProfileFiles.h"
#include "PropertyChange.h"
#include "TransientDialog.h"

#include <QMessageBox>
#include <QSettings>

StatisticsSettingsViewModel::StatisticsSettingsViewModel(QObject* parent)
    : AppSettingsViewModel(tr("Пользователь"), false, parent)
{
}

StatisticsSettingsViewModel::~StatisticsSettingsViewModel() = default;

void StatisticsSettingsViewModel::Load()
{
    const QSettings organisation(ProfileFiles::organisationFile(), QSettings::IniFormat);
    const QSettings user(ProfileFiles::userFile(), QSettings::IniFormat);
    const auto read = [](const QSettings& file, const char* key) {
        return file.value(QLatin1String(key), QString()).toString();
    };
    using Self = StatisticsSettingsViewModel;
    changeProperty(this, regionCode, read(organisation, "Organisation/RegionCode"), &Self::changed_RegionCode);
    changeProperty(this, regionName, read(organisation, "Organisation/RegionName"), &Self::changed_RegionName);
    changeProperty(this, areaName, read(organisation, "Organisation/AreaName"), &Self::changed_AreaName);
    changeProperty(this, organisationName, read(organisation, "Organisation/OrganisationName"),
                   &Self::changed_OrganisationName);
    changeProperty(this, organisationFullName, read(organisation, "Organisation/OrganisationFullName"),
                   &Self::changed_OrganisationFullName);
    changeProperty(this, organisationOid, read(organisation, "Organisation/OrganisationOid"),
                   &Self::changed_OrganisationOID);
    changeProperty(this, organisationPsrn, read(organisation, "Organisation/OrganisationPSRN"),
                   &Self::changed_OrganisationPSRN);
    changeProperty(this, room, read(organisation, "Organisation/Room"), &Self::changed_Room);
    changeProperty(this, userFullName, read(user, "UserInfo/UserName"), &Self::changed_UserFullName);
    changeProperty(this, userSpecialisation, read(user, "UserInfo/Specialisation"), &Self::changed_UserSpecialisation);
    changeProperty(this, isRoomFiledVisible, !room.isEmpty(), &Self::changed_isRoomFiledVisible);
}

void StatisticsSettingsViewModel::resetCommand()
{
    if (!ConfirmMessageBox())
        return;
    ClearConfigFiles();
    RestartApplication();
}

bool StatisticsSettingsViewModel::ConfirmMessageBox()
{
    QMessageBox box(QMessageBox::Question, tr("Сброс информации"),
                    tr("Вы уверены, что хотите сбросить информацию о пользователе? Приложение будет перезагружено."),
                    QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return TransientDialog::exec(box) != QMessageBox::No;
}

void StatisticsSettingsViewModel::ClearConfigFiles()
{
    // Every key goes, also those of other programs or versions.
    for (const QString& path : {ProfileFiles::organisationFile(), ProfileFiles::userFile()}) {
        QSettings file(path, QSettings::IniFormat);
        file.clear();
        file.sync();
    }
}

void StatisticsSettingsViewModel::RestartApplication()
{
    emit needRestartApplication();
}
