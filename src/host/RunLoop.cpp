// Run tick, refresh tick, power reset and the debugger's stop and resume.
#include "host/RunLoop.h"

#include "core/Cpu.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <algorithm>

alignas(64) RunState g_run; // on a cache line, as g_cpu
void (*ShowDebuggerHook)() = nullptr;
void (*LcdImageHook)() = nullptr;
void (*StepHook)(uint16_t pcBefore) = nullptr;

namespace {
// The steps of a tick without a stop request, a step count, a breakpoint or a step hook:
// nothing inside a step sets any of them (they change only between ticks), so the loop only
// runs steps, with the balance kept in a local so it can live in a register. The LCD
// controller's counters are copied into locals for the same reason; no step reads them from
// g_lcd. With kCount the steps are counted too (their cycles are what the balance lost), for the
// programs that report them; the desktop program runs the loop without.
template <bool kCount> VELMORA_HOT_INLINE void FreeRun(CpuState& c, RunState& r) {
    LcdState& l = g_lcd;
    struct {
        int32_t RowCycles;
        uint8_t ColumnCounter, RowCounter, TimerPrescale;
    } lcd{l.RowCycles, l.ColumnCounter, l.RowCounter, l.TimerPrescale};
    int32_t balance = c.CycleBalance;
    [[maybe_unused]] int64_t steps = 0;
    while (balance > 0) {
        c.StepCycles = 0;
        CpuStep();
        LcdStepOn(lcd);
        balance -= c.StepCycles;
        if constexpr (kCount) ++steps;
    }
    if constexpr (kCount) {
        r.StepsRun += steps;
        r.CyclesRun += c.CycleBalance - balance;
    }
    c.CycleBalance = balance;
    l.RowCycles = lcd.RowCycles;
    l.ColumnCounter = lcd.ColumnCounter;
    l.RowCounter = lcd.RowCounter;
    l.TimerPrescale = lcd.TimerPrescale;
}

void StopLoop() {
    g_run.StopRequest = 1;
    g_cpu.CycleBalance = 0;
    DebuggerShown();
    if (ShowDebuggerHook) ShowDebuggerHook();
}
} // namespace

// flatten: the per-step calls (CpuStep, its interrupt entry, LcdStep) are inlined into the loop
// when the optimiser sees them (link-time optimisation of the programs). noinline: the tick is
// kept whole as its own function wherever it is called from; inlined into a caller's loop (the
// Python module's run) its step loop came out about 10 % slower.
[[gnu::flatten, gnu::noinline]] void OnRunTimer() {
    CpuState& c = g_cpu;
    RunState& r = g_run;
    if (r.ResumeDelay > 0) {
        --r.ResumeDelay;
        c.CycleBalance = 0;
        return;
    }
    c.CycleBalance += r.CyclesPerTick;
    if (c.CycleBalance > 0 && r.StopRequest) {
        c.CycleBalance = 0;
        return;
    }
    if (!StepHook && r.StepCount <= 0 && r.BreakAddress < 0) {
        if (r.CountSteps)
            FreeRun<true>(c, r);
        else
            FreeRun<false>(c, r);
        return;
    }
    while (c.CycleBalance > 0) {
        if (r.StopRequest) {
            c.CycleBalance = 0;
            return;
        }
        const uint16_t pcBefore = c.PC;
        c.StepCycles = 0;
        CpuStep();
        LcdStep();
        if (StepHook) StepHook(pcBefore);
        if (r.CountSteps) {
            ++r.StepsRun;
            r.CyclesRun += c.StepCycles;
        }
        c.CycleBalance -= c.StepCycles;
        if (r.StepCount > 0 && --r.StepCount == 0) {
            StopLoop();
            return;
        }
        if (r.BreakAddress >= 0 && r.BreakAddress == c.PC) {
            StopLoop();
            return;
        }
    }
}

void OnPacedRunTimer() {
    const bool runs = g_run.ResumeDelay <= 0 && g_run.StopRequest == 0;
    OnRunTimer();
    if (runs) PacedKeyTick();
}

void OnRefreshTimer() {
    LcdRedraw();
    if (g_lcd.LcdDirty == 1 && LcdImageHook) LcdImageHook();
    g_lcd.LcdDirty = 0;
    if (g_kbd.SelfTestCount > 0) {
        --g_kbd.SelfTestCount;
        KeyboardUpdate();
    }
}

void PowerReset() {
    LcdReset();
    g_kbd.SelfTestCount = g_run.SelfTest;
    CpuReset();
}

int32_t ComputeCyclesPerTick(int32_t oscFreq) {
    const int64_t cycles = int64_t{kRunIntervalMs} * oscFreq;
    return static_cast<int32_t>(std::clamp<int64_t>(cycles, 0, kMaxCyclesPerTick));
}

void StartVariables() {
    g_kbd.MouseKey = 0;
    g_kbd.KeyboardKey = 0;
    g_pacedKeys = PacedKeyState{};
    g_run.PowerOn = 1;
    g_run.StopRequest = 0;
    g_cpu.OFF = 0;
    g_run.ResumeDelay = 0;
    g_run.StepCount = -1;
    g_run.BreakAddress = -1;
}

void StartMachine() {
    LcdFill(kLcdLight);
    g_run.CyclesPerTick = ComputeCyclesPerTick(g_run.OscFreq);
    PowerReset();
    g_lcd.LastDisplayOn = 0;
}

void StartEmulation() {
    StartVariables();
    StartMachine();
    g_lcd.LcdDirty = 1;
}

void DebuggerShown() {
    g_run.StopRequest = 1;
    g_run.StepCount = -1;
    g_run.BreakAddress = -1;
}

void DebuggerHidden() {
    g_run.ResumeDelay = kResumeDelayTicks;
    g_run.StopRequest = 0;
}
