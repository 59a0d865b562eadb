#pragma once

#include <sys/types.h>
#include <vector>

// The test sound server as busy as at a login: stopped, its listen backlog full of
// connections that never complete the handshake, so that each new connection is refused
// at once. Released, it runs on and drops them. Used from the test's main thread.
class PulseBusyServer
{
public:
    PulseBusyServer() = default;
    ~PulseBusyServer() { release(); }
    PulseBusyServer(const PulseBusyServer&) = delete;
    PulseBusyServer& operator=(const PulseBusyServer&) = delete;

    // False when the server could not be stopped or its backlog did not fill.
    bool hold();
    void release();

private:
    pid_t stopped = 0;
    std::vector<int> waiting;
};
