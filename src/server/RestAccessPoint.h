#pragma once

#include "BaseRestAccessPoint.h"

// The recognition server's REST port ("AsrClient" settings).
class RestAccessPoint : public BaseRestAccessPoint
{
    Q_OBJECT

public:
    explicit RestAccessPoint(QObject* parent = nullptr);
    ~RestAccessPoint() override;

    std::unique_ptr<BaseConnectionSettings> getSettings() const override;
};
