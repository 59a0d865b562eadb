#pragma once

#include <QString>

#include <cstdint>

// What the sound server says about one source or sink.
struct PulseDeviceInfo
{
    bool found = false;
    // A source that is the monitor of a sink; never set for sinks.
    bool isMonitor = false;
    uint32_t index = 0;
    QString description;
};
