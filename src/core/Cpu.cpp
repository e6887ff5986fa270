// The one processor.
#include "core/Cpu.h"

// The machine's state starts on a cache line in every program (so do g_lcd, g_kbd and g_run):
// how fast a program runs the steps then does not depend on where its linker happened to put
// them. Placed at random, velmora-headless and the Python module, running the same code, came
// out up to 20 % apart on the idle loop.
alignas(64) CpuState g_cpu;
