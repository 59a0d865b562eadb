#pragma once

#include "StatisticsProfession.h"
#include "StatisticsRegion.h"
#include "ValidatableText.h"

#include <QJsonArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QRegExp>
#include <QString>
#include <QStringList>

// The model of the one-time profile window "StatisticsWindow": region,
// settlement, organisation and profession chosen from the reference lists,
// room and full name typed, all stored in the profile files. The lists are
// read only when the stored profile is incomplete. GUI thread only.
class StatisticsViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int LogoHeight READ get_LogoHeight WRITE set_LogoHeight NOTIFY changed_LogoHeight)
    Q_PROPERTY(QStringList Regions READ get_Regions WRITE set_Regions NOTIFY changed_Regions)
    Q_PROPERTY(QStringList Cities READ get_Cities WRITE set_Cities NOTIFY changed_Cities)
    Q_PROPERTY(QStringList Companies READ get_Companies WRITE set_Companies NOTIFY changed_Companies)
    Q_PROPERTY(QStringList Professions READ get_Professions WRITE set_Professions NOTIFY changed_Professions)
    Q_PROPERTY(int SelectedRegionIndex READ get_SelectedRegionIndex WRITE set_SelectedRegionIndex
                   NOTIFY changed_SelectedRegionIndex)
    Q_PROPERTY(int SelectedCityIndex READ get_SelectedCityIndex WRITE set_SelectedCityIndex
                   NOTIFY changed_SelectedCityIndex)
    Q_PROPERTY(int SelectedCompanyIndex READ get_SelectedCompanyIndex WRITE set_SelectedCompanyIndex
                   NOTIFY changed_SelectedCompanyIndex)
    Q_PROPERTY(int SelectedProfessionIndex READ get_SelectedProfessionIndex WRITE set_SelectedProfessionIndex
                   NOTIFY changed_SelectedProfessionIndex)
    Q_PROPERTY(ValidatableText* WorkRoom READ get_WorkRoom WRITE set_WorkRoom NOTIFY changed_WorkRoom)
    Q_PROPERTY(ValidatableText* UserFullName READ get_UserFullName WRITE set_UserFullName NOTIFY changed_UserFullName)
    Q_PROPERTY(bool IsRegionSelected READ get_IsRegionSelected NOTIFY changed_IsRegionSelected)
    Q_PROPERTY(bool IsCitySelected READ get_IsCitySelected NOTIFY changed_IsCitySelected)
    Q_PROPERTY(bool IsCompanySelected READ get_IsCompanySelected NOTIFY changed_IsCompanySelected)
    Q_PROPERTY(bool NeedShow READ get_NeedShow NOTIFY changed_NeedShow)
    Q_PROPERTY(bool IsValid READ get_IsValid NOTIFY changed_IsValid)

public:
    explicit StatisticsViewModel(QObject* parent = nullptr);
    // Reads the reference lists from `referenceFolder` instead of the build's folder.
    StatisticsViewModel(const QString& referenceFolder, QObject* parent);
    ~StatisticsViewModel() override;

    // The folder named by the build value "ReferenceFolderLocation", its variables replaced.
    static QString defaultReferenceFolder();
    // The "records" array of one reference file; empty, with a critical log line, on any failure.
    static QJsonArray LoadJsonArray(const QString& path);

    int get_LogoHeight() const { return logoHeight; }
    QStringList get_Regions() const { return regions; }
    QStringList get_Cities() const { return cities; }
    QStringList get_Companies() const { return companies; }
    QStringList get_Professions() const { return professions; }
    int get_SelectedRegionIndex() const { return selectedRegionIndex; }
    int get_SelectedCityIndex() const { return selectedCityIndex; }
    int get_SelectedCompanyIndex() const { return selectedCompanyIndex; }
    int get_SelectedProfessionIndex() const { return selectedProfessionIndex; }
    ValidatableText* get_WorkRoom() const { return workRoom; }
    ValidatableText* get_UserFullName() const { return userFullName; }
    bool get_IsRegionSelected() const { return selectedRegionIndex >= 0; }
    bool get_IsCitySelected() const { return selectedCityIndex >= 0; }
    bool get_IsCompanySelected() const { return selectedCompanyIndex >= 0; }
    bool get_NeedShow() const { return needShow; }
    bool get_IsValid() const;

    bool CheckNeedShow() const;
    void Load();
    bool LoadRegions();
    bool LoadCitiesAndOrganisations();
    bool LoadProfessions();

    static void ValidateWorkRoom(ValidationArgs* args);
    // Also the feedback form's full-name check.
    static void ValidateUserFullName(ValidationArgs* args);

    // Stores the profile; false, storing nothing, while the form is incomplete.
    Q_INVOKABLE bool applyCommand();

public slots:
    void set_LogoHeight(int value);
    void set_Regions(QStringList value);
    void set_Cities(QStringList value);
    void set_Companies(QStringList value);
    void set_Professions(QStringList value);
    // An index outside the list counts as no choice (-1).
    void set_SelectedRegionIndex(int value);
    void set_SelectedCityIndex(int value);
    void set_SelectedCompanyIndex(int value);
    void set_SelectedProfessionIndex(int value);
    void set_WorkRoom(ValidatableText* value);
    void set_UserFullName(ValidatableText* value);

signals:
    void changed_LogoHeight(int logoHeight);
    void changed_Regions(QStringList regions);
    void changed_Cities(QStringList cities);
    void changed_Companies(QStringList companies);
    void changed_Professions(QStringList professions);
    void changed_SelectedRegionIndex(int index);
    void changed_SelectedCityIndex(int index);
    void changed_SelectedCompanyIndex(int index);
    void changed_SelectedProfessionIndex(int index);
    void changed_WorkRoom(ValidatableText* workRoom);
    void changed_UserFullName(ValidatableText* userFullName);
    void changed_IsRegionSelected(bool selected);
    void changed_IsCitySelected(bool selected);
    void changed_IsCompanySelected(bool selected);
    void changed_NeedShow(bool needShow);
    void changed_IsValid(bool isValid);

private slots:
    void isRegionSelectedChanged();
    void isCitySelectedChanged();
    void isCompanySelectedChanged();
    void isValidChanged();

private:
    static const QRegExp m_validateWorkRoomegEx;
    static const QRegExp m_validateUserFullNameRegEx;

    const StatisticsRegion* regionAt(int index) const;
    const StatisticsCity* cityAt(int regionIndex, int cityIndex) const;
    const StatisticsOrganisation* organisationAt(int regionIndex, int cityIndex, int organisationIndex) const;
    void setIndex(int& stored, int value, int count, void (StatisticsViewModel::*changed)(int));
    void selectStoredProfile();

    int logoHeight = 0;
    QStringList regions;
    QStringList cities;
    QStringList companies;
    QStringList professions;
    int selectedRegionIndex = -1;
    int selectedCityIndex = -1;
    int selectedCompanyIndex = -1;
    int selectedProfessionIndex = -1;
    ValidatableText* workRoom = nullptr;
    ValidatableText* userFullName = nullptr;
    bool enabled = false;
    bool needShow = false;
    QString organisationFilePath;
    QString userFilePath;
    QString referenceFolder;
    QMap<int, StatisticsRegion> regionMap;
    QList<StatisticsProfession> professionRecords;
};
