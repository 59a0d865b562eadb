#pragma once

#include <QString>

// Configures easylogging++ from "log.ini" in the start folder, or from the
// built-in configuration, and routes every Qt message into it. Never throws.
void InitLogger(int argc, char** argv);

// The built-in configuration, before variable substitution.
QString fallbackLoggerConfiguration();
