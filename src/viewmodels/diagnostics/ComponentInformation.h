#pragma once

#include <QString>

class CancellationCondition;

// One collector of the diagnostic archive: writes its part into the given folder.
class ComponentInformation
{
public:
    virtual void CollectInformation(QString folder) = 0;
    virtual ~ComponentInformation() = default;

    // A collector that copies or runs a program stops early once this is canceled.
    void setCancellation(const CancellationCondition* condition) { cancellation = condition; }

protected:
    const CancellationCondition* cancellation = nullptr;
};
