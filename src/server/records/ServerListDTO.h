#pragma once

#include "JsonConvertable.h"
#include "ServerInfoDTO.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

// The balancer's answer to "Servers"; the server list cache stores what toJson() writes.
class ServerListDTO : public JsonConvertable
{
public:
    // The empty, invalid list that stands for a failed balancer request.
    ServerListDTO();
    explicit ServerListDTO(const QJsonObject& object);
    ServerListDTO(const ServerListDTO& other);
    ServerListDTO& operator=(const ServerListDTO& other);
    ~ServerListDTO() override;

    // "VacEnabled", vacReceived and valid are not written.
    QJsonObject toJson() const override;

    // Drops the servers and the recommended server; the rest stays.
    void Clear();
    // Appends the source's servers to this list (without emptying it) and copies
    // everything else; Clear() then Clone() replaces the list.
    void Clone(const ServerListDTO& source);

    QList<ServerInfoDTO> ServerList;
    QDateTime TimeStamp;
    // Null when the balancer recommends none.
    std::unique_ptr<ServerInfoDTO> RecommendedServer;
    QString Authority;
    bool vacEnabled = false;
    // True when the balancer's object held "VacEnabled" with a value other than null.
    bool vacReceived = false;
    // False only in the list that stands for a failed request.
    bool valid = false;
};
