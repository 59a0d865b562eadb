#pragma once

// The program: sets the application's identity and runs the composition root.
int scrivoraMain(int argc, char** argv);
