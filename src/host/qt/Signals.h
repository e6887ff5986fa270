// How the desktop program ends other than by its close button: SIGTERM, SIGINT and SIGHUP (a
// kill, Ctrl+C in the terminal, the terminal closing) and the end of the desktop session run the
// main window's close sequence, which saves the memory.
#pragma once

class TMainForm;

// Watches the quit signals' pipe in the event loop (the handlers themselves only write to it)
// and closes FORM when one arrives; saves when the session manager asks the program to commit
// its data, and runs the close sequence when the application is about to quit, whatever made it.
void WatchEndOfRun(TMainForm& form);
