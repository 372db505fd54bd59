#pragma once

#include <QString>
#include <QStringList>

// Starts the application (windowed or headless) and returns the exit status.
int RunProgram(int argc, char **argv);

// True when there is no screen to show the window on: neither DISPLAY nor
// WAYLAND_DISPLAY is set, or the platform chosen is "offscreen" or "minimal".
bool IsHeadless();

// The short usage text (several lines, ending in a line break).
QString UsageText();

// The process's arguments without the program itself, decoded from the
// locale's character set (a batch file written under EUC-JP passes EUC-JP).
// Call after setlocale(LC_ALL, "").
QStringList ProgramArguments(int argc, char **argv);
