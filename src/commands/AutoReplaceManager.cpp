#include "AutoReplaceManager.h"

AutoReplaceManager::AutoReplaceManager(QObject* parent)
    : QObject(parent)
{
}

AutoReplaceManager::~AutoReplaceManager() = default;
