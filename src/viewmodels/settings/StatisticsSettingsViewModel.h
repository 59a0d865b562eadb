#pragma once

#include "AppSettingsViewModel.h"

#include <QString>

// The "Пользователь" page: the stored organisation and user profile, read-only,
// and its reset, which empties both profile files and asks for a restart so
// that the profile window is offered again. GUI thread.
class StatisticsSettingsViewModel : public AppSettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(bool isRoomFiledVisible READ get_isRoomFiledVisible NOTIFY changed_isRoomFiledVisible)
    Q_PROPERTY(QString RegionCode READ get_RegionCode NOTIFY changed_RegionCode)
    Q_PROPERTY(QString RegionName READ get_RegionName NOTIFY changed_RegionName)
    Q_PROPERTY(QString AreaName READ get_AreaName NOTIFY changed_AreaName)
    Q_PROPERTY(QString OrganisationName READ get_OrganisationName NOTIFY changed_OrganisationName)
    Q_PROPERTY(QString OrganisationFullName READ get_OrganisationFullName NOTIFY changed_OrganisationFullName)
    Q_PROPERTY(QString OrganisationOID READ get_OrganisationOID NOTIFY changed_OrganisationOID)
    Q_PROPERTY(QString OrganisationPSRN READ get_OrganisationPSRN NOTIFY changed_OrganisationPSRN)
    Q_PROPERTY(QString Room READ get_Room NOTIFY changed_Room)
    Q_PROPERTY(QString UserFullName READ get_UserFullName NOTIFY changed_UserFullName)
    Q_PROPERTY(QString UserSpecialisation READ get_UserSpecialisation NOTIFY changed_UserSpecialisation)

public:
    explicit StatisticsSettingsViewModel(QObject* parent = nullptr);
    ~StatisticsSettingsViewModel() override;

    bool get_isRoomFiledVisible() const { return isRoomFiledVisible; }
    QString get_RegionCode() const { return regionCode; }
    QString get_RegionName() const { return regionName; }
    QString get_AreaName() const { return areaName; }
    QString get_OrganisationName() const { return organisationName; }
    QString get_OrganisationFullName() const { return organisationFullName; }
    QString get_OrganisationOID() const { return organisationOid; }
    QString get_OrganisationPSRN() const { return organisationPsrn; }
    QString get_Room() const { return room; }
    QString get_UserFullName() const { return userFullName; }
    QString get_UserSpecialisation() const { return userSpecialisation; }

    // Asks first; on yes empties both profile files and asks for a restart.
    Q_INVOKABLE void resetCommand();

public slots:
    void Load() override;

signals:
    void needRestartApplication();
    void changed_isRoomFiledVisible(bool visible);
    void changed_RegionCode(QString value);
    void changed_RegionName(QString value);
    void changed_AreaName(QString value);
    void changed_OrganisationName(QString value);
    void changed_OrganisationFullName(QString value);
    void changed_OrganisationOID(QString value);
    void changed_OrganisationPSRN(QString value);
    void changed_Room(QString value);
    void changed_UserFullName(QString value);
    void changed_UserSpecialisation(QString value);

protected:
    // A modal question; true for any answer but No.
    bool ConfirmMessageBox();
    void ClearConfigFiles();
    void RestartApplication();

private:
    bool isRoomFiledVisible = false;
    QString regionCode;
    QString regionName;
    QString areaName;
    QString organisationName;
    QString organisationFullName;
    QString organisationOid;
    QString organisationPsrn;
    QString room;
    QString userFullName;
    QString userSpecialisation;
};
