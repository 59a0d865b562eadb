#pragma once

#include "TestHome.h"

#include <QString>
#include <QStringList>

#include <sys/types.h>

// The private sound server of a test run, as scripts/headless-services.sh starts it
// (PULSE_SERVER and XDG_RUNTIME_DIR exported, its configuration in test.pa of its runtime folder).
namespace PulseTestServer {
// The daemon's runtime folder, where its socket lies (each test has an XDG_RUNTIME_DIR of its own).
QString runtimeDir();
// Runs pactl; the standard output, or a null string when it failed.
QString pactl(const QStringList& args, int timeoutMsecs = TestHome::scaled(10000));
bool isRunning();
// The daemon's process id; 0 when unknown.
pid_t pid();
// Ends the server abruptly (SIGKILL) and waits until it is gone.
bool kill();
// Starts the server with the run's configuration and waits until it answers.
bool start();
// Starts the server when it is not running; tests that stop it call this on every exit path.
bool ensureRunning();
// Points this process, and the pactl it runs, at a server of its own in dir (created,
// mode 0700) with the given configuration lines, so that stopping it disturbs no other
// test. Call before anything in the process talks to a sound server; start() starts it.
bool usePrivateServer(const QString& dir, const QStringList& configuration);
// A configuration with one sink, test_sink, and no source: the only microphones are the
// pipes a test loads.
QStringList sinkOnlyConfiguration();
// Drops the connection of the client of that name, as the server does to a client it
// throws out; false when there is no such client.
bool killClient(const QString& name);
} // namespace PulseTestServer
