#pragma once

#include <QString>

// The per-test folders that CTest hands each test (XDG_*_HOME under SCRIVORA_TEST_HOME).
namespace TestHome {
// Removes everything the test wrote under its home, so each run starts fresh,
// and keeps the test's settings, data and cache folders there.
void wipe();
QString path();
QString settingsFile();
// For a test run inside the client's own process, called before the client
// starts a thread: Qt Test adds QT_QTESTLIB_RUNNING when the run begins, and
// adding a variable moves glibc's environment array under a thread that reads
// it (libpulse, ALSA). Set before, it is only replaced then.
void setRunningInsideTheClient();
// The application identity main() sets: organisation, application and settings file name.
void useApplicationIdentity();
// SCRIVORA_TEST_TIME_SCALE: 1, or 3 in the sanitizer build, where every
// allocation and free costs a stack walk.
int timeScale();
// The most a limit grows with the machine's load; the CTest timeouts allow for
// it (SCRIVORA_TEST_LOAD_FACTOR_CAP in tests/CMakeLists.txt, the same number).
constexpr int LoadFactorCap = 4;
// A time limit of a test, stretched by timeScale() and by the machine's load
// at the time of the call. Every limit a test waits for goes through here;
// pauses that are part of the input do not.
int scaled(int msecs);
} // namespace TestHome
