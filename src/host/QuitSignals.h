// Ending the program by signal: SIGTERM, SIGINT and SIGHUP only write their number into a pipe,
// the one thing a signal handler can safely do; the program watches the pipe's read end in its
// event loop and runs its ordinary close sequence from there.
#pragma once

// Installs the handlers for SIGTERM, SIGINT and SIGHUP; returns the pipe's read end
// (non-blocking, closed on exec), the same one when called again, or -1 if no pipe could be made
// (the signals then keep their default action).
int InstallQuitSignals();
// Drains the pipe; returns the number of the last signal that arrived, or 0 if none.
int TakeQuitSignal(int fd);
