#pragma once

// What is known about the last connection to one server.
enum DisconnectStatus {
    NoDisconnect = 0,
    ConnectionLost = 1
};
