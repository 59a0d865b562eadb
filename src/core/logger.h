#pragma once

#include <QString>

#include <functional>

// Configures easylogging++ from "log.ini" in the start folder, or from the
// built-in configuration, and routes every Qt message into it. Never throws.
void InitLogger(int argc, char** argv);

// The built-in configuration, before variable substitution.
QString fallbackLoggerConfiguration();

// Told once per run, from the thread that met it, when the log file cannot be
// written (a full disk, a folder that cannot be made; stderr hears it too). A
// failure met before a handler is set is handed to the first one at once.
// An empty handler stops the telling.
void setLogWriteFailureHandler(std::function<void(const QString& path)> handler);
