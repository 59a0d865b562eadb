#pragma once

#include <QJsonValue>
#include <QString>

// One organisation of the reference file "Clinics.json".
class StatisticsOrganisation
{
public:
    StatisticsOrganisation() = default;
    explicit StatisticsOrganisation(const QJsonValue& element);

    bool IsValid = false;
    int Id = -1;
    // What the window lists: the short name when the record has one, else the full name.
    QString Name;
    QString ShortName;
    QString FullName;
    int OrganizationType = -1;
    QString Oid;
    QString Psrn;
    int RegionId = -1;
    bool HasAreaName = false;
    QString AreaName;
    QString StreetName;
    QString House;
};
