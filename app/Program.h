#pragma once

// Starts the application (windowed or headless) and returns the exit status.
int RunProgram(int argc, char **argv);
