#include "ServerListDTO.h"

#include "JsonFields.h"

ServerListDTO::ServerListDTO() = default;

ServerListDTO::ServerListDTO(const QJsonObject& object)
    : TimeStamp(QDateTime::fromString(JsonFields::text(object, QStringLiteral("TimeStamp")), Qt::ISODateWithMs))
{
    ServerList = JsonFields::list<ServerInfoDTO>(object, QStringLiteral("ServerList"));
    const QJsonValue recommended = object.value(QStringLiteral("RecommendedServer"));
    if (recommended.isObject())
        RecommendedServer = std::make_unique<ServerInfoDTO>(recommended.toObject());
    const QJsonValue vac = object.value(QStringLiteral("VacEnabled"));
    if (!vac.isUndefined() && !vac.isNull()) {
        vacReceived = true;
        vacEnabled = vac.toBool(false);
    }
    Authority = JsonFields::text(object, QStringLiteral("Authority"));
    valid = true;
}

ServerListDTO::ServerListDTO(const ServerListDTO& other)
    : JsonConvertable(other)
{
    Clone(other);
}

ServerListDTO& ServerListDTO::operator=(const ServerListDTO& other)
{
    if (this != &other) {
        Clear();
        Clone(other);
    }
    return *this;
}

ServerListDTO::~ServerListDTO() = default;

QJsonObject ServerListDTO::toJson() const
{
    QJsonObject object{
        {QStringLiteral("TimeStamp"), TimeStamp.toString(Qt::ISODateWithMs)},
        {QStringLiteral("ServerList"), JsonFields::array(ServerList)},
        {QStringLiteral("Authority"), Authority},
    };
    if (RecommendedServer)
        object.insert(QStringLiteral("RecommendedServer"), RecommendedServer->toJson());
    return object;
}

void ServerListDTO::Clear()
{
    ServerList.clear();
    RecommendedServer.reset();
}

void ServerListDTO::Clone(const ServerListDTO& source)
{
    TimeStamp = source.TimeStamp;
    // Copy first: the source may be this list itself.
    const QList<ServerInfoDTO> servers = source.ServerList;
    ServerList.append(servers);
    RecommendedServer = source.RecommendedServer ? std::make_unique<ServerInfoDTO>(*source.RecommendedServer) : nullptr;
    Authority = source.Authority;
    valid = source.valid;
    vacEnabled = source.vacEnabled;
    vacReceived = source.vacReceived;
}
