#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "SSL".
class SslSettings : public Settings
{
    Q_OBJECT

public:
    SslSettings();
    ~SslSettings() override;

    Setting<QString> SslCertificateVerification;
};
