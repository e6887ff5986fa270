// The whole emulated machine in one place: the processor, the LCD controller, the keyboard and
// the run-loop variables, the session clock and counters of the programs without windows.
// ResetMachine() returns all of it to the state at program start.
#pragma once

void ResetMachine();
