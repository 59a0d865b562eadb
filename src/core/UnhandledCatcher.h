#pragma once

// Installs a terminate handler that logs an exception nothing caught and ends
// the process with -1; the previous handler is kept and restored when it runs.
void set_unhandled_catcher();
