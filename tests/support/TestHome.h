#pragma once

#include <QString>

// The per-test folders that CTest hands each test (XDG_*_HOME under SCRIVORA_TEST_HOME).
namespace TestHome {
// Removes everything the test wrote under its home, so each run starts fresh,
// and keeps the test's settings, data and cache folders there.
void wipe();
QString path();
QString settingsFile();
// The application identity main() sets: organisation, application and settings file name.
void useApplicationIdentity();
// A time limit of a test, stretched by SCRIVORA_TEST_TIME_SCALE (set for the
// sanitizer build, where every allocation and free costs a stack walk).
int scaled(int msecs);
} // namespace TestHome
