#include "StatisticsCity.h"

#include <algorithm>

StatisticsCity::StatisticsCity(const QString& name)
    : Name(name)
{
}

void StatisticsCity::SortOrganisations()
{
    std::stable_sort(Organisations.begin(), Organisations.end(),
                     [](const StatisticsOrganisation& a, const StatisticsOrganisation& b) {
                         return a.Name.toUpper() < b.Name.toUpper();
                     });
}
