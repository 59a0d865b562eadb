#pragma once

#include "BaseConnectionSettings.h"

// Group "FormApiServer".
class FormApiSettings : public BaseConnectionSettings
{
    Q_OBJECT

public:
    FormApiSettings();
    ~FormApiSettings() override;
};
