#pragma once

#include "BaseRestAccessPoint.h"
#include "ClientClaim.h"
#include "ClientThemeInfo.h"

#include <QList>

// The recognition server's REST port ("AsrClient" settings).
class RestAccessPoint : public BaseRestAccessPoint
{
    Q_OBJECT

public:
    explicit RestAccessPoint(QObject* parent = nullptr);
    ~RestAccessPoint() override;

    std::unique_ptr<BaseConnectionSettings> getSettings() const override;

    // Throws Exception "Не удалось получить список тем" on any failure.
    QList<ClientThemeInfo> getThemes();
    // False on any failure, after logging it.
    bool sendClaim(ClientClaim claim);
};
