#pragma once

#include "ComponentInformation.h"

// Copies the program's log folder ("logs") and its configuration folder ("configs").
class UserInformation : public ComponentInformation
{
public:
    void CollectInformation(QString folder) override;
};
