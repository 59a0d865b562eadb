#include "WebSocketProxyServerSession.h"

#include "AsrManager.h"
#include "ClientThemeInfo.h"
#include "CookiesSource.h"
#include "DataMessageProcessor.h"
#include "ElementInfo.h"
#include "FormMetadata.h"
#include "LaunchSettings.h"
#include "LogCategories.h"
#include "MessageTypeMapper.h"
#include "ResultManager.h"
#include "TargetModeInfo.h"
#include "WebSocketClient.h"
#include "WebSocketServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkCookie>
#include <QNetworkRequest>
#include <QWebSocket>

#include <algorithm>

namespace {
const QString TypeField = QStringLiteral("MessageType");
const QString DataField = QStringLiteral("Data");

struct Envelope
{
    int type = 0;
    QJsonValue data;
};

// Anything that is not a JSON object reads as type 0 with null Data.
Envelope readEnvelope(const QString& message)
{
    const QJsonObject object = QJsonDocument::fromJson(message.toUtf8()).object();
    Envelope envelope;
    envelope.type = object.value(TypeField).toInt(0);
    envelope.data = object.value(DataField);
    if (envelope.data.isUndefined())
        envelope.data = QJsonValue(QJsonValue::Null);
    return envelope;
}

// The handshake's MIS cookies, names matched without regard to case, each kept
// under its upper-case name with the value as sent.
QList<QNetworkCookie> misCookies(const QByteArray& cookieHeader, MISInfo* info)
{
    static const QList<QByteArray> names{"MIS_TYPE", "MIS_VERSION", "MIS_USER"};
    QList<QNetworkCookie> result;
    for (const QByteArray& pair : cookieHeader.split(';')) {
        const int equals = pair.indexOf('=');
        const QByteArray name = pair.left(equals).trimmed().toUpper();
        const int index = names.indexOf(name);
        if (index < 0)
            continue;
        const QByteArray value = equals < 0 ? QByteArray() : pair.mid(equals + 1).trimmed();
        // It travels on in the recognition server's handshake.
        if (std::any_of(value.begin(), value.end(), [](char c) { return uchar(c) < 0x20 || c == 0x7f; })) {
            qCWarning(lcWebSocketServer).noquote() << "Cookie" << QString::fromLatin1(name) << "ignored: control characters";
            continue;
        }
        const QString text = QString::fromUtf8(value);
        if (index == 0)
            info->setTypeId(text);
        else if (index == 1)
            info->setVersion(text);
        else
            info->setUser(text);
        result.append(QNetworkCookie(name, value));
    }
    return result;
}
} // namespace

WebSocketProxyServerSession::WebSocketProxyServerSession(WebSocketClient* client, QWebSocket* socket,
                                                         ResultManager* resultManager, AsrManager* asrManager,
                                                         QObject* parent)
    : WebSocketServerSession(socket, parent)
    , client(client)
    , resultManager(resultManager)
    , asrManager(asrManager)
{
    const QVariant rawCookies = socket->property(WebSocketServer::RawCookieProperty);
    const QList<QNetworkCookie> cookies
        = misCookies(rawCookies.isValid() ? rawCookies.toByteArray() : socket->request().rawHeader("Cookie"), &info);
    QString more;
    if (passSessionLine(&more))
        qCInfo(lcWebSocketServer).noquote() << QStringLiteral("Form connected with %1 MIS cookies").arg(cookies.size()) << more;
    if (asrManager)
        asrManager->setFormConnected(true);
    if (!client)
        return;
    connect(client->messageProcessor(), &DataMessageProcessor::textMessageReceived, this,
            &WebSocketProxyServerSession::proxyTextMessageReceived);
    client->getCookiesSource()->setAdditionalCookies(cookies);
    // Through the form's queue: this form's opening goes after the previous form's last messages.
    client->relayJson(MessageTypeMapper::toAsr(FormMisInfoCode), info.toJson());
}

WebSocketProxyServerSession::~WebSocketProxyServerSession() = default;

bool WebSocketProxyServerSession::passSessionLine(QString* summary)
{
    // One count for all the server's sessions: each of them lives for a moment in a flood.
    auto* server = qobject_cast<WebSocketServer*>(parent());
    return !server || server->passSessionLine(summary);
}

void WebSocketProxyServerSession::closing()
{
    QString more;
    if (passSessionLine(&more)) {
        if (socket()->closeCode() == QWebSocketProtocol::CloseCodeTooMuchData)
            qCWarning(lcWebSocketServer).noquote() << "Form session closed: the form sent a message of more than"
                                                   << WebSocketServer::MaxMessageSize << "bytes" << more;
        else
            qCInfo(lcWebSocketServer).noquote()
                << QStringLiteral("Form session closed after %1 messages relayed").arg(relayed) << more;
    }
    if (asrManager)
        asrManager->setFormConnected(false);
    if (!client)
        return;
    client->getCookiesSource()->setAdditionalCookies({});
    client->relayJson(MessageTypeMapper::toAsr(FormClosedCode), QJsonValue(QJsonValue::Null));
}

void WebSocketProxyServerSession::refuseForm(const QString& why)
{
    refused = true;
    QString more;
    if (passSessionLine(&more))
        qCWarning(lcWebSocketServer).noquote() << "Form closed (1008):" << why << more;
    // Qt still reads what the form sends until it answers the close: no more signals for it.
    disconnect(socket(), &QWebSocket::textMessageReceived, this, nullptr);
    disconnect(socket(), &QWebSocket::binaryMessageReceived, this, nullptr);
    WebSocketServer::closeSocket(socket(), QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("Too much traffic"));
    emit trafficRefused(socket()->origin());
}

void WebSocketProxyServerSession::textMessageReceived(QString message)
{
    if (isFinished() || refused || !client)
        return;
    // Checked before any parsing, so a flood costs the form server next to nothing.
    if (!messageBudget.take() || !byteBudget.take(message.size())) {
        refuseForm(QStringLiteral("more than %1 messages or %2 bytes a second")
                       .arg(MaxMessagesPerSecond)
                       .arg(MaxBytesPerSecond));
        return;
    }
    if (client->relayBacklog() > MaxRelayBacklogBytes) {
        refuseForm(QStringLiteral("more than %1 bytes wait for the link to the server").arg(MaxRelayBacklogBytes));
        return;
    }
    const Envelope envelope = readEnvelope(message);
    TargetModeInfo* target = asrManager ? asrManager->getTargetModeInfo() : nullptr;
    const QJsonValue data = target ? applyFormMessage(envelope.type, envelope.data, target) : envelope.data;
    const int type = MessageTypeMapper::toAsr(MessageFromClientCode(envelope.type));
    QString more;
    if (lcWebSocketServer().isDebugEnabled() && formLog.pass(&more))
        qCDebug(lcWebSocketServer).noquote()
            << QStringLiteral("Form code %1 -> type %2, %3 bytes").arg(envelope.type).arg(type).arg(message.size()) << more;
    if (type == MessageTypeMapper::None)
        return;
    client->relayJson(type, data);
    ++relayed;
}

QJsonValue WebSocketProxyServerSession::applyFormMessage(int code, const QJsonValue& data, TargetModeInfo* target)
{
    switch (code) {
    case FormElementCode: {
        const QString element = data.toString();
        target->BackupTargetElement(&element);
        break;
    }
    case FormMetadataCode: {
        const FormMetadata form(data.toObject());
        const RecognitionMode mode
            = form.mode() == 0 ? RecognitionModeNamespace::TemplatedForm : RecognitionModeNamespace::TemplatedWizardForm;
        target->BackupTargetMode(&mode, &form, nullptr, asrManager->getSelectedTheme().id());
        break;
    }
    case FormIdleModeCode:
        if (LaunchSettings().VoiceActivationEnabled) {
            const RecognitionMode mode = RecognitionModeNamespace::VoiceActivation;
            target->BackupTargetMode(&mode, nullptr, nullptr, asrManager->getSelectedTheme().id());
            return 1;
        }
        target->ResetTargetMode();
        return 0;
    case FormThemeCode:
        target->UpdateTargetTheme(ClientThemeInfo(data.toObject()).id());
        break;
    case FormSettingsCode:
        target->UpdateTargetFormSettings(data.toObject());
        break;
    case FormCommandSetCode:
        target->UpdateTargetCommandSet(data.toArray());
        break;
    default:
        break;
    }
    return data;
}

void WebSocketProxyServerSession::proxyTextMessageReceived(QString message)
{
    if (isFinished() || refused)
        return;
    Envelope envelope = readEnvelope(message);
    const int code = MessageTypeMapper::toServerMessage(MessageType(envelope.type));
    if (code == MessageTypeMapper::None)
        return;
    TargetModeInfo* target = asrManager ? asrManager->getTargetModeInfo() : nullptr;
    if (!prepareForForm(code, &envelope.data, target))
        return;
    QString more;
    if (lcWebSocketServer().isDebugEnabled() && serverLog.pass(&more))
        qCDebug(lcWebSocketServer).noquote()
            << QStringLiteral("Server type %1 -> form code %2, %3 bytes").arg(envelope.type).arg(code).arg(message.size())
            << more;
    // A form that does not read must not make the client keep everything for it.
    if (WebSocketServer::abortWhenBacklogged(socket()))
        return;
    sendJson(code, envelope.data);
}

bool WebSocketProxyServerSession::prepareForForm(int code, QJsonValue* data, TargetModeInfo* target)
{
    switch (code) {
    case FormAnyCode:
        return asrManager && asrManager->getEnabled();
    case FormValuedElementCode:
        if (data->isObject()) {
            QJsonObject element = data->toObject();
            processValuedElement(element);
            *data = element;
        }
        break;
    case FormFocusedElementCode:
        if (target) {
            const QString key = ElementInfo(data->toObject()).key();
            target->BackupTargetElement(&key);
        }
        break;
    case FormValuedElementsCode:
        if (data->isArray()) {
            QJsonArray groups;
            for (const QJsonValue& group : data->toArray())
                groups.append(group.isArray() ? QJsonValue(processedElements(group.toArray())) : group);
            *data = groups;
        }
        break;
    case FormInterimTextCode:
        if (data->isString())
            *data = formatted(data->toString(), false);
        break;
    default:
        break;
    }
    return true;
}

QJsonArray WebSocketProxyServerSession::processedElements(const QJsonArray& elements)
{
    QJsonArray result;
    for (const QJsonValue& value : elements) {
        if (!value.isObject()) {
            result.append(value);
            continue;
        }
        QJsonObject element = value.toObject();
        processValuedElement(element);
        result.append(element);
    }
    return result;
}

void WebSocketProxyServerSession::processValuedElement(QJsonObject& element)
{
    static const QString valueField = QStringLiteral("Value");
    const int type = element.value(QStringLiteral("Type")).toInt(0);
    // Only text values are formatted: a number or a list read as text would be lost.
    if ((type != 0 && type != 7) || !element.value(valueField).isString())
        return;
    element.insert(valueField, formatted(element.value(valueField).toString(), true));
}

QString WebSocketProxyServerSession::formatted(const QString& text, bool isFinal)
{
    return resultManager ? resultManager->formatTextResult(text, isFinal) : text;
}
