#include "RestAccessPoint.h"

#include "ClientConnectionSettings.h"

#include <QJsonDocument>

#include <exception>

RestAccessPoint::RestAccessPoint(QObject* parent)
    : BaseRestAccessPoint(parent)
{
}

RestAccessPoint::~RestAccessPoint() = default;

std::unique_ptr<BaseConnectionSettings> RestAccessPoint::getSettings() const
{
    return std::make_unique<ClientConnectionSettings>();
}

QList<ClientThemeInfo> RestAccessPoint::getThemes()
{
    try {
        return getList<ClientThemeInfo>(QStringLiteral("Theme"), GET,
                                         [](QJsonObject object) { return ClientThemeInfo(object); }, {},
                                         QByteArray());
    } catch (const std::exception& e) {
        qWarning().noquote() << QString::fromUtf8(e.what());
    } catch (...) {
        qWarning() << "Unknown exception on themes request";
    }
    throw Exception(QStringLiteral("Не удалось получить список тем"));
}

bool RestAccessPoint::sendClaim(ClientClaim claim)
{
    try {
        const QByteArray body = QJsonDocument(claim.toJson()).toJson(QJsonDocument::Indented);
        getObject<QJsonObject>(QStringLiteral("Claim"), POST, [](QJsonObject object) { return object; }, {}, body);
        return true;
    } catch (const std::exception& e) {
        qWarning().noquote() << QString::fromUtf8(e.what());
    } catch (...) {
        qWarning() << "Unknown exception on themes request";
    }
    return false;
}
