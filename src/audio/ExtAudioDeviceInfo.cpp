#include "ExtAudioDeviceInfo.h"

ExtAudioDeviceInfo::ExtAudioDeviceInfo(const QAudioDeviceInfo& device, const QString& description)
    : m_device(device)
    , m_description(description)
{
}
