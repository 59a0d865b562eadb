#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "ClientInfo": the identity of this installation.
class ClientInfoSettings : public Settings
{
    Q_OBJECT

public:
    ClientInfoSettings();
    ~ClientInfoSettings() override;

    // The stored id, or a new upper-case UUID stored and synced. Several
    // threads asking at once on a first run all get the one id that was stored.
    QString getOrCreateDesktopId();

    Setting<QString> DesktopId;
    Setting<bool> UseProxy;
};
