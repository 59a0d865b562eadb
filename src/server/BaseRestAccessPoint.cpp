#include "BaseRestAccessPoint.h"

#include "AppVariables.h"
#include "BaseConnectionSettings.h"
#include "ClientInfoSettings.h"
#include "CookiesSource.h"

BaseRestAccessPoint::BaseRestAccessPoint(QObject* parent)
    : QObject(parent)
    , client(this)
{
    defaultHeaders.insert(QByteArrayLiteral("Cookie"), identityCookie());
    client.addHeaders(defaultHeaders);
}

BaseRestAccessPoint::~BaseRestAccessPoint() = default;

QByteArray BaseRestAccessPoint::identityCookie()
{
    const QMap<QString, QString> pairs{
        {QStringLiteral("CLIENT_APP_NAME"), QStringLiteral("QTClient")},
        {QStringLiteral("DESKTOP_ID"), ClientInfoSettings().getOrCreateDesktopId()},
        {QStringLiteral("VERSION"), AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("Version"))},
    };
    QByteArray cookie;
    for (auto it = pairs.cbegin(); it != pairs.cend(); ++it)
        cookie += it.key().toUtf8() + '=' + CookiesSource::encodeValue(it.value()) + ';';
    return cookie;
}

QJsonObject BaseRestAccessPoint::call(const QString& path, Method method, const QMap<QString, QString>& parameters,
                                      const QByteArray& body)
{
    {
        const std::unique_ptr<BaseConnectionSettings> settings = getSettings();
        client.initialize(settings->Ip, settings->RestPort, settings->UseTls);
    }
    const QJsonObject reply = client.execute(path, method, body, parameters);
    const QJsonValue error = reply.value(QStringLiteral("Error"));
    if (error.isUndefined() || error.isNull())
        return reply;
    const QJsonObject errorObject = error.toObject();
    throw Exception(path + QStringLiteral(": ") + errorObject.value(QStringLiteral("Text")).toString()
                    + QStringLiteral(" | ") + errorObject.value(QStringLiteral("DebugText")).toString());
}
