#include "SelfTestViewModel.h"

SelfTestViewModel::SelfTestViewModel(QObject* parent)
    : QObject(parent)
{
}

SelfTestViewModel::~SelfTestViewModel() = default;
