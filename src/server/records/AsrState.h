#pragma once

#include <QMetaType>

// The state of one recognition mode as the server reports it.
enum AsrState {
    Starting = 0,
    Started = 1,
    Stopped = 2,
    Stopping = 3
};

Q_DECLARE_METATYPE(AsrState)
