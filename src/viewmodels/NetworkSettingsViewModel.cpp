#include "NetworkSettingsViewModel.h"

#include "BalancerConnectionSettings.h"
#include "FormApiSettings.h"

NetworkSettingsViewModel::NetworkSettingsViewModel(QObject* parent)
    : AppSettingsViewModel(QStringLiteral("Сеть"), false, parent)
{
}

NetworkSettingsViewModel::~NetworkSettingsViewModel() = default;

void NetworkSettingsViewModel::Load()
{
    BalancerConnectionSettings balancer;
    FormApiSettings formApi;
    asrServerHost = balancer.Ip;
    asrServerPort = balancer.Port;
    asrServerRestPort = balancer.RestPort;
    formApiPort = formApi.Port;
    restProxyPort = formApi.RestPort;
}

void NetworkSettingsViewModel::Apply()
{
    BalancerConnectionSettings balancer;
    FormApiSettings formApi;
    bool asrChanged = false;
    bool formApiChanged = false;
    bool restProxyChanged = false;

    // The untrimmed text is compared on purpose: blanks the user typed count as an edit.
    const bool addressChanged = asrServerHost != QString(balancer.Ip) || asrServerPort != int(balancer.Port);
    if (addressChanged) {
        setLastConnectionError(QString());
        balancer.Ip = asrServerHost.trimmed();
        balancer.Port = asrServerPort;
        asrChanged = true;
    }
    if (asrServerRestPort != int(balancer.RestPort)) {
        balancer.RestPort = asrServerRestPort;
        // The local HTTP proxy forwards to this port.
        asrChanged = true;
        restProxyChanged = true;
    }
    if (formApiPort != int(formApi.Port)) {
        formApi.Port = formApiPort;
        formApiChanged = true;
    }
    bool proxyPortStored = false;
    if (restProxyPort != int(formApi.RestPort)) {
        formApi.RestPort = restProxyPort;
        restProxyChanged = true;
        proxyPortStored = true;
    }
    if (asrChanged)
        balancer.sync();
    if (formApiChanged || proxyPortStored)
        formApi.sync();
    emit ApplyNetworkSettings(asrChanged, formApiChanged, restProxyChanged);
}

void NetworkSettingsViewModel::onConnectionStateChanged(ConnectionStateInfo stateInfo)
{
    if (!stateInfo.message().isEmpty())
        setLastConnectionError(stateInfo.message());
    if (stateInfo.state() == 14)
        setLastConnectionError(QString());
}

void NetworkSettingsViewModel::setLastConnectionError(const QString& error)
{
    lastConnectionError = error;
    emit changed_LastConnectionError(error);
}
