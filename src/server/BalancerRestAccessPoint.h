#pragma once

#include "BaseRestAccessPoint.h"
#include "ServerListDTO.h"

// The balancer ("BalancerConnection" settings).
class BalancerRestAccessPoint : public BaseRestAccessPoint
{
    Q_OBJECT

public:
    explicit BalancerRestAccessPoint(QObject* parent = nullptr);
    ~BalancerRestAccessPoint() override;

    std::unique_ptr<BaseConnectionSettings> getSettings() const override;

    // POST /api/Servers; throws Exception "Не удалось получить список серверов от балансера <Ip>".
    ServerListDTO GetServers();
};
