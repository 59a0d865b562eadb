#include "BalancerRestAccessPoint.h"

#include "BalancerConnectionSettings.h"
#include "ClientInfoSettings.h"

#include <exception>

BalancerRestAccessPoint::BalancerRestAccessPoint(QObject* parent)
    : BaseRestAccessPoint(parent)
{
}

BalancerRestAccessPoint::~BalancerRestAccessPoint() = default;

std::unique_ptr<BaseConnectionSettings> BalancerRestAccessPoint::getSettings() const
{
    return std::make_unique<BalancerConnectionSettings>();
}

ServerListDTO BalancerRestAccessPoint::GetServers()
{
    const QString balancerIp = BalancerConnectionSettings().Ip;
    try {
        const QMap<QString, QString> parameters{
            {QStringLiteral("clientId"), ClientInfoSettings().getOrCreateDesktopId()},
            {QStringLiteral("getVacFeatureStatus"), QStringLiteral("true")},
            {QStringLiteral("requestIp"), balancerIp},
        };
        return getObject<ServerListDTO>(QStringLiteral("Servers"), POST,
                                        [](QJsonObject object) { return ServerListDTO(object); }, parameters,
                                        QByteArray());
    } catch (const std::exception& e) {
        qWarning("%s", e.what());
    } catch (...) {
        qWarning() << "Unknown exception on servers request";
    }
    throw Exception(QStringLiteral("Не удалось получить список серверов от балансера %1").arg(balancerIp));
}
