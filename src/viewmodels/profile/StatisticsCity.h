#pragma once

#include "StatisticsOrganisation.h"

#include <QList>
#include <QString>

// One settlement of a region with the organisations filed under it.
class StatisticsCity
{
public:
    StatisticsCity() = default;
    explicit StatisticsCity(const QString& name);

    // By upper-cased display name; equal names keep their file order.
    void SortOrganisations();

    QString Name;
    QList<StatisticsOrganisation> Organisations;
};
