#include "UserCommandExecutor.h"

UserCommandExecutor::UserCommandExecutor(QObject* parent)
    : QObject(parent)
{
}

UserCommandExecutor::~UserCommandExecutor() = default;
