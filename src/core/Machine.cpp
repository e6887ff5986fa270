// Resetting the whole machine at once, for program start and for tests.
#include "core/Machine.h"

#include "core/Cpu.h"
#include "debug/Break.h"
#include "host/Rewind.h"
#include "host/RunLoop.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

void ResetMachine() {
    g_cpu = CpuState{};
    g_lcd = LcdState{};
    g_kbd = KeyboardState{};
    g_pacedKeys = PacedKeyState{};
    g_run = RunState{};
    RewindClear();
    BreakReset();
}
