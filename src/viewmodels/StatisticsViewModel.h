#pragma once

#include <QObject>

// The organisation and user profile window's model.
class StatisticsViewModel : public QObject
{
    Q_OBJECT

public:
    explicit StatisticsViewModel(QObject* parent = nullptr);
    ~StatisticsViewModel() override;
};
