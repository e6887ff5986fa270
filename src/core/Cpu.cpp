// The one processor.
#include "core/Cpu.h"

CpuState g_cpu;
