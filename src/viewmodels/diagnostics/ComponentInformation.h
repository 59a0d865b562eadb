#pragma once

#include <QString>

// One collector of the diagnostic archive: writes its part into the given folder.
class ComponentInformation
{
public:
    virtual void CollectInformation(QString folder) = 0;
    virtual ~ComponentInformation() = default;
};
