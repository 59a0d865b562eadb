#include "StatisticsViewModel.h"

StatisticsViewModel::StatisticsViewModel(QObject* parent)
    : QObject(parent)
{
}

StatisticsViewModel::~StatisticsViewModel() = default;
