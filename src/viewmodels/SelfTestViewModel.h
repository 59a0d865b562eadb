#pragma once

#include <QObject>

// The self-test window's model.
class SelfTestViewModel : public QObject
{
    Q_OBJECT

public:
    explicit SelfTestViewModel(QObject* parent = nullptr);
    ~SelfTestViewModel() override;
};
