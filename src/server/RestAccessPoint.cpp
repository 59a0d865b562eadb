#include "RestAccessPoint.h"

#include "ClientConnectionSettings.h"

RestAccessPoint::RestAccessPoint(QObject* parent)
    : BaseRestAccessPoint(parent)
{
}

RestAccessPoint::~RestAccessPoint() = default;

std::unique_ptr<BaseConnectionSettings> RestAccessPoint::getSettings() const
{
    return std::make_unique<ClientConnectionSettings>();
}
