// The desktop program's start before any window: its command line, the display check and the
// working folder, then the application object built so that a display that cannot be opened
// after all ends the program with one line instead of Qt's abort.
#pragma once

#include <optional>

// Parses the command line (--help, --version: printed, status 0; anything unknown: the usage
// on standard error, status 2) and checks that a display is there (status 1 with one line on
// standard error if not). Returns the exit status when the program should end here.
std::optional<int> PrepareStart(int argc, char** argv);

// Enters the working folder the command line chose (--dir, --user; else the current directory
// stays). A folder that cannot be created or entered is reported on standard error and in a
// warning box, and the program ends with status 1.
std::optional<int> EnterChosenFolder();

// Around the construction of the application object: while on, a platform that fails to start
// ends the program with one line on standard error and status 1, and Qt's messages are held
// back (and handed on when it is switched off again).
void CatchPlatformFailure(bool on);
