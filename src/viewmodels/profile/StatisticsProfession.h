#pragma once

#include <QJsonValue>
#include <QString>

// One profession of the reference file "Specialisations.json".
class StatisticsProfession
{
public:
    StatisticsProfession() = default;
    explicit StatisticsProfession(const QJsonValue& element);

    bool IsValid = false;
    int Id = 0;
    QString Name;
    // "0" marks a top-level profession, the only ones offered.
    QString Parent;
};
