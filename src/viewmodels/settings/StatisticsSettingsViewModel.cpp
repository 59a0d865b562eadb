#include "StatisticsSettingsViewModel.h"

#include "ProfileFile.h"
#include "PropertyChange.h"
#include "TransientDialog.h"

#include <QMessageBox>

StatisticsSettingsViewModel::StatisticsSettingsViewModel(QObject* parent)
    : AppSettingsViewModel(tr("Пользователь"), false, parent)
{
}

StatisticsSettingsViewModel::~StatisticsSettingsViewModel() = default;

void StatisticsSettingsViewModel::Load()
{
    const ProfileFile organisation(ProfileFile::organisationFile());
    const ProfileFile user(ProfileFile::userFile());
    const auto read = [](const ProfileFile& file, const char* key) { return file.text(QLatin1String(key)); };
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
    for (const QString& path : {ProfileFile::organisationFile(), ProfileFile::userFile()}) {
        ProfileFile file(path);
        file.clear();
        file.sync();
    }
}

void StatisticsSettingsViewModel::RestartApplication()
{
    emit needRestartApplication();
}
