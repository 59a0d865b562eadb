#include "BalancerRestAccessPoint.h"

#include "BalancerConnectionSettings.h"

BalancerRestAccessPoint::BalancerRestAccessPoint(QObject* parent)
    : BaseRestAccessPoint(parent)
{
}

BalancerRestAccessPoint::~BalancerRestAccessPoint() = default;

std::unique_ptr<BaseConnectionSettings> BalancerRestAccessPoint::getSettings() const
{
    return std::make_unique<BalancerConnectionSettings>();
}
