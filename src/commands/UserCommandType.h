#pragma once

#include "Enum.h"

#include <QObject>

namespace UserCommandNamespace {
Q_NAMESPACE

// Command files store the invariant names of Enum<UserCommandType>; 1 and 4 mean nothing.
enum UserCommandType {
    Undefined = -1,
    Text = 0,
    Key = 2,
    Exe = 3,
    FileCopy = 5
};
Q_ENUM_NS(UserCommandType)

} // namespace UserCommandNamespace

using UserCommandNamespace::UserCommandType;

template<> Enum<UserCommandType>::Container Enum<UserCommandType>::Values;
