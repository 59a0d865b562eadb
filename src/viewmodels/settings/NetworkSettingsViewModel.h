#pragma once

#include "AppSettingsViewModel.h"
#include "ConnectionStateInfo.h"
#include "ValidatableValue.h"

#include <QString>

// The "Сеть" page: where the client connects (the balancer's address and
// ports) and the ports of the local form-API servers. Apply writes only what
// changed and announces which of the three endpoints did. GUI thread.
class NetworkSettingsViewModel : public AppSettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(bool ClientOnly READ get_ClientOnly CONSTANT)
    Q_PROPERTY(QString LastConnectionError READ get_LastConnectionError NOTIFY changed_LastConnectionError)
    // QML sees the port fields through their QObject side.
    Q_PROPERTY(ValidatableText* ASRServerHost READ get_ASRServerHost NOTIFY changed_ASRServerHost)
    Q_PROPERTY(ValidatableText* ASRServerPort READ get_ASRServerPort NOTIFY changed_ASRServerPort)
    Q_PROPERTY(ValidatableText* ASRServerRestPort READ get_ASRServerRestPort NOTIFY changed_ASRServerRestPort)
    Q_PROPERTY(ValidatableText* FormAPIPort READ get_FormAPIPort NOTIFY changed_FormAPIPort)
    Q_PROPERTY(ValidatableText* RestProxyPort READ get_RestProxyPort NOTIFY changed_RestProxyPort)

public:
    static const QString HostnamePattern;
    static const QString DefaultPortErrorMessage;

    explicit NetworkSettingsViewModel(QObject* parent = nullptr);
    ~NetworkSettingsViewModel() override;

    bool get_ClientOnly() const { return true; }
    QString get_LastConnectionError() const { return lastConnectionError; }
    ValidatableText* get_ASRServerHost() const { return asrServerHost; }
    ValidatableValue<int>* get_ASRServerPort() const { return asrServerPort; }
    ValidatableValue<int>* get_ASRServerRestPort() const { return asrServerRestPort; }
    ValidatableValue<int>* get_FormAPIPort() const { return formApiPort; }
    ValidatableValue<int>* get_RestProxyPort() const { return restProxyPort; }

    static void ValidateHost(ValidationArgs* args);
    static void ValidateIPPort(ValidationArgs* args, int port);

public slots:
    bool Validate() override;
    void Load() override;
    void Apply() override;
    void onConnectionStateChanged(ConnectionStateInfo stateInfo);

signals:
    void changed_LastConnectionError(QString error);
    void changed_ASRServerHost();
    void changed_ASRServerPort();
    void changed_ASRServerRestPort();
    void changed_FormAPIPort();
    void changed_RestProxyPort();
    void ApplyNetworkSettings(bool bASR_changed, bool bFormAPI_changed, bool bRestProxy_changed);

private:
    ValidatableValue<int>* createPortField();
    void setLastConnectionError(const QString& error);

    QString lastConnectionError;
    ValidatableText* asrServerHost;
    ValidatableValue<int>* asrServerPort;
    ValidatableValue<int>* asrServerRestPort;
    ValidatableValue<int>* formApiPort;
    ValidatableValue<int>* restProxyPort;
};
