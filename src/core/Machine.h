// The whole emulated machine in one place: the processor, the LCD controller, the keyboard and
// the run-loop variables. ResetMachine() returns all of it to the state at program start (the
// step history too: off and empty).
#pragma once

void ResetMachine();
