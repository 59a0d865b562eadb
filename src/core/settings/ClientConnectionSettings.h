#pragma once

#include "BaseConnectionSettings.h"

// Group "AsrClient".
class ClientConnectionSettings : public BaseConnectionSettings
{
    Q_OBJECT

public:
    ClientConnectionSettings();
    ~ClientConnectionSettings() override;
};
