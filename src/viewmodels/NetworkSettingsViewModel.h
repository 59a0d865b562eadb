#pragma once

#include "AppSettingsViewModel.h"
#include "ConnectionStateInfo.h"

#include <QString>

// The "Сеть" page: where the client connects (the balancer's address and
// ports) and the ports of the local form-API servers. Apply writes only what
// changed and announces which of the three endpoints did.
class NetworkSettingsViewModel : public AppSettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(bool ClientOnly READ get_ClientOnly CONSTANT)
    Q_PROPERTY(QString LastConnectionError READ get_LastConnectionError NOTIFY changed_LastConnectionError)

public:
    explicit NetworkSettingsViewModel(QObject* parent = nullptr);
    ~NetworkSettingsViewModel() override;

    bool get_ClientOnly() const { return true; }
    QString get_LastConnectionError() const { return lastConnectionError; }

    // The edited values; the page's editable fields come with the settings window.
    QString asrServerHost;
    int asrServerPort = 0;
    int asrServerRestPort = 0;
    int formApiPort = 0;
    int restProxyPort = 0;

public slots:
    void Load() override;
    void Apply() override;
    void onConnectionStateChanged(ConnectionStateInfo stateInfo);

signals:
    void changed_LastConnectionError(QString error);
    void ApplyNetworkSettings(bool bASR_changed, bool bFormAPI_changed, bool bRestProxy_changed);

private:
    void setLastConnectionError(const QString& error);

    QString lastConnectionError;
};
