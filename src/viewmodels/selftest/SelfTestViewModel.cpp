#include "SelfTestViewModel.h"

#include "PropertyChange.h"

SelfTestViewModel::SelfTestViewModel(QObject* parent)
    : QObject(parent)
{
}

SelfTestViewModel::~SelfTestViewModel() = default;

void SelfTestViewModel::set_IsConnected(bool value)
{
    changeProperty(this, isConnected, value, &SelfTestViewModel::changed_IsConnected);
}

void SelfTestViewModel::set_IsStarted(bool value)
{
    changeProperty(this, isStarted, value, &SelfTestViewModel::changed_IsStarted);
}

void SelfTestViewModel::set_Loop(bool value)
{
    changeProperty(this, loop, value, &SelfTestViewModel::changed_Loop);
}

void SelfTestViewModel::set_PingCount(quint64 value)
{
    changeProperty(this, pingCount, value, &SelfTestViewModel::changed_PingCount);
}

void SelfTestViewModel::set_PongCount(quint64 value)
{
    changeProperty(this, pongCount, value, &SelfTestViewModel::changed_PongCount);
}

void SelfTestViewModel::set_MinDelay(quint64 value)
{
    changeProperty(this, minDelay, value, &SelfTestViewModel::changed_MinDelay);
}

void SelfTestViewModel::set_MaxDelay(quint64 value)
{
    changeProperty(this, maxDelay, value, &SelfTestViewModel::changed_MaxDelay);
}

void SelfTestViewModel::set_AvgDelay(double value)
{
    changeProperty(this, avgDelay, value, &SelfTestViewModel::changed_AvgDelay);
}
