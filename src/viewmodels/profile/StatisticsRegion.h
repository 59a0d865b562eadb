#pragma once

#include "StatisticsCity.h"

#include <QJsonValue>
#include <QList>
#include <QString>

// One region of the reference file "Regions.json" with its settlements.
class StatisticsRegion
{
public:
    StatisticsRegion() = default;
    explicit StatisticsRegion(const QJsonValue& element);

    // The settlement of that exact name, created in upper-cased name order when missing.
    StatisticsCity& GetCity(const QString& name);

    bool IsValid = false;
    int Id = 0;
    QString Name;
    // "[05] Name": the code zero-padded to two digits.
    QString DisplayName;
    QList<StatisticsCity> Cities;
};
