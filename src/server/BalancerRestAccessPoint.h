#pragma once

#include "BaseRestAccessPoint.h"

// The balancer ("BalancerConnection" settings).
class BalancerRestAccessPoint : public BaseRestAccessPoint
{
    Q_OBJECT

public:
    explicit BalancerRestAccessPoint(QObject* parent = nullptr);
    ~BalancerRestAccessPoint() override;

    std::unique_ptr<BaseConnectionSettings> getSettings() const override;
};
