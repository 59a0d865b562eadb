#include "NetworkSettingsViewModel.h"

#include "BalancerConnectionSettings.h"
#include "FormApiSettings.h"

#include <QRegExp>
#include <QRegularExpression>

const QString NetworkSettingsViewModel::HostnamePattern = QStringLiteral("^ *(\\w|\\.|-|_)+ *$");
const QString NetworkSettingsViewModel::DefaultPortErrorMessage =
    QStringLiteral("Порт должен быть в диапазоне от 1 до 65535");

NetworkSettingsViewModel::NetworkSettingsViewModel(QObject* parent)
    : AppSettingsViewModel(QStringLiteral("Сеть"), false, parent)
    , asrServerHost(new ValidatableText(this))
    , asrServerPort(createPortField())
    , asrServerRestPort(createPortField())
    , formApiPort(createPortField())
    , restProxyPort(createPortField())
{
    asrServerHost->setTextValidator(&NetworkSettingsViewModel::ValidateHost);
}

NetworkSettingsViewModel::~NetworkSettingsViewModel() = default;

ValidatableValue<int>* NetworkSettingsViewModel::createPortField()
{
    auto* field = new ValidatableValue<int>(this, DefaultPortErrorMessage);
    field->setValueValidator(&NetworkSettingsViewModel::ValidateIPPort);
    return field;
}

namespace {
// The resolver reads a name made of numbers as an address in the old short
// forms: "65536" is 0.1.0.0, "10.1" is 10.0.0.1, "010.0.0.1" is octal,
// "0x7f.1" hexadecimal. Only the four decimal parts of an address are meant as one.
bool isNumericName(const QString& host)
{
    static const QRegularExpression numericLabel(QStringLiteral("^(\\d+|0[xX][0-9A-Fa-f]*)?$"));
    bool anyNumber = false;
    for (const QString& label : host.split(QLatin1Char('.'))) {
        if (!numericLabel.match(label).hasMatch())
            return false;
        anyNumber = anyNumber || !label.isEmpty();
    }
    return anyNumber;
}

bool isDottedQuad(const QString& host)
{
    static const QRegularExpression quad(
        QStringLiteral("^((25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)\\.){3}(25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)$"));
    return quad.match(host).hasMatch();
}
} // namespace

void NetworkSettingsViewModel::ValidateHost(ValidationArgs* args)
{
    const QString host = args->Text.trimmed();
    if (!QRegExp(HostnamePattern, Qt::CaseSensitive).exactMatch(args->Text)
        || (isNumericName(host) && !isDottedQuad(host)))
        args->Error = tr("Некорректное имя хоста. Введите IP адрес или имя сервера");
}

void NetworkSettingsViewModel::ValidateIPPort(ValidationArgs* args, int port)
{
    if (port < 1 || port > 65535)
        args->Error = DefaultPortErrorMessage;
}

bool NetworkSettingsViewModel::Validate()
{
    const std::initializer_list<ValidatableText*> fields{asrServerHost, asrServerPort, asrServerRestPort, formApiPort,
                                                          restProxyPort};
    for (ValidatableText* field : fields) {
        if (!field->CheckAndSetFocus())
            return false;
    }
    return true;
}

void NetworkSettingsViewModel::Load()
{
    BalancerConnectionSettings balancer;
    FormApiSettings formApi;
    asrServerHost->SetText(balancer.Ip);
    asrServerPort->SetValue(balancer.Port);
    asrServerRestPort->SetValue(balancer.RestPort);
    formApiPort->SetValue(formApi.Port);
    restProxyPort->SetValue(formApi.RestPort);
}

void NetworkSettingsViewModel::Apply()
{
    // Converted before anything is stored, so a field that does not convert leaves the file untouched.
    const QString host = asrServerHost->get_Text();
    const int port = asrServerPort->Value();
    const int restPort = asrServerRestPort->Value();
    const int formApiServerPort = formApiPort->Value();
    const int proxyPort = restProxyPort->Value();

    BalancerConnectionSettings balancer;
    FormApiSettings formApi;
    bool asrChanged = false;
    bool formApiChanged = false;
    bool restProxyChanged = false;

    if (get_ClientOnly()) {
        // The untrimmed text is compared on purpose: blanks the user typed count as an edit.
        const bool addressChanged = host != QString(balancer.Ip) || port != int(balancer.Port);
        if (addressChanged) {
            setLastConnectionError(QString());
            balancer.Ip = host.trimmed();
            balancer.Port = port;
            asrChanged = true;
        }
        if (restPort != int(balancer.RestPort)) {
            balancer.RestPort = restPort;
            // The local HTTP proxy forwards to this port.
            asrChanged = true;
            restProxyChanged = true;
        }
    }
    if (formApiServerPort != int(formApi.Port)) {
        formApi.Port = formApiServerPort;
        formApiChanged = true;
    }
    bool proxyPortStored = false;
    if (proxyPort != int(formApi.RestPort)) {
        formApi.RestPort = proxyPort;
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
