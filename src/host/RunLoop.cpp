// Run-loop variables (the loop itself is being written).
#include "host/RunLoop.h"

RunState g_run;
void (*ShowDebuggerHook)() = nullptr;
