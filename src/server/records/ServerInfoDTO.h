#pragma once

#include "JsonConvertable.h"

#include <QDateTime>
#include <QString>

// One recognition server of the balancer's list. Also a stored format: the
// server list cache keeps what toJson() writes.
class ServerInfoDTO : public JsonConvertable
{
public:
    explicit ServerInfoDTO(QJsonObject object);
    ServerInfoDTO(const ServerInfoDTO&) = default;
    ServerInfoDTO& operator=(const ServerInfoDTO&) = default;
    ~ServerInfoDTO() override;

    // Read from "LoadPerLevel" but written as "LoadPerClient", so a cached copy
    // reads back with a load per client of 0; nothing in the client uses it.
    QJsonObject toJson() const override;

    QString ServerId;
    // Split at ";" into connection settings by the server rotation.
    QString ConnectionString;
    float DeclaredLoadLevel = 0.0f;
    float EstimatedLoadLevel = 0.0f;
    bool CanAcceptClient = false;
    float LoadPerClient = 0.0f;
    // Invalid when missing or unparseable; written back as "".
    QDateTime LastUpdateDate;
};
