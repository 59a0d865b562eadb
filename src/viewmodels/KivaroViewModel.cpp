#include "KivaroViewModel.h"

KivaroViewModel::KivaroViewModel(AsrManager* asrManager, LocalKivaroManager* kivaroManager, QObject* parent)
    : QObject(parent)
    , asrManager(asrManager)
    , kivaroManager(kivaroManager)
{
}

KivaroViewModel::~KivaroViewModel() = default;
