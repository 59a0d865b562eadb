#pragma once

#include "BaseConnectionSettings.h"

// Group "BalancerConnection".
class BalancerConnectionSettings : public BaseConnectionSettings
{
    Q_OBJECT

public:
    BalancerConnectionSettings();
    ~BalancerConnectionSettings() override;
};
