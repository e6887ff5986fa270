// Run tick, refresh tick, power reset and the debugger's stop and resume.
#include "host/RunLoop.h"

#include "core/Cpu.h"
#include "host/Rewind.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <algorithm>

RunState g_run;
void (*ShowDebuggerHook)() = nullptr;
void (*LcdImageHook)() = nullptr;
void (*StepHook)(uint16_t pcBefore) = nullptr;

namespace {
// The LCD controller's counters, copied out of g_lcd for a tick's steps so that the compiler can
// keep them in registers: no step reads them from g_lcd.
struct LcdCounters {
    int32_t RowCycles;
    uint8_t ColumnCounter, RowCounter, TimerPrescale;
};

// The loop of a tick without a stop, a breakpoint or a hook: steps until the balance is spent.
// One function for the ticks with and without the step history, so that both run the very same
// machine code; it takes and returns the counters by value, which keeps them in registers.
struct TickEnd {
    int32_t Balance;
    LcdCounters Lcd;
};
[[gnu::noinline, gnu::flatten]] TickEnd RunSteps(LcdCounters lcd, int32_t balance) {
    CpuState& c = g_cpu;
    while (balance > 0) {
        c.StepCycles = 0;
        CpuStep();
        LcdStepOn(lcd);
        balance -= c.StepCycles;
    }
    return {balance, lcd};
}

template <bool kHistory> void StopLoop() {
    g_run.StopRequest = 1;
    if constexpr (kHistory) RewindBalance(g_cpu.CycleBalance, 0);
    g_cpu.CycleBalance = 0;
    DebuggerShown();
    if (ShowDebuggerHook) ShowDebuggerHook();
}

// One run tick. With kHistory (the step history on) the tick records what it does outside its
// steps and keeps an image every 10th tick (Rewind.h); the steps themselves run in RunSteps
// either way, uncounted (the history makes them again as the loop does, until the balance is
// spent). The recording is compiled into its own copy of the tick so that the tick without it
// stays as it was.
// flatten: the per-step calls (CpuStep, its interrupt entry, LcdStep) are inlined into the loops
// when the optimiser sees them (link-time optimisation of the programs).
template <bool kHistory> [[gnu::noinline, gnu::flatten]] void RunTick() {
    CpuState& c = g_cpu;
    RunState& r = g_run;
    if (r.ResumeDelay > 0) {
        --r.ResumeDelay;
        if constexpr (kHistory) RewindBalance(c.CycleBalance, 0);
        c.CycleBalance = 0;
        return;
    }
    [[maybe_unused]] const int32_t before = c.CycleBalance;
    if constexpr (kHistory)
        if (!r.StopRequest) RewindTick();
    c.CycleBalance += r.CyclesPerTick;
    if (c.CycleBalance > 0 && r.StopRequest) {
        c.CycleBalance = 0;
        if constexpr (kHistory) RewindBalance(before, 0);
        return;
    }
    if constexpr (kHistory) RewindTickSteps(c.CycleBalance);
    // Nothing inside a step sets StopRequest, a step count, a breakpoint or the hook: they
    // change only between ticks. Without any of them the loop only runs steps, with the
    // balance kept in a local so it can live in a register.
    // The LCD controller's counters are copied into locals for the same reason.
    if (!StepHook && r.StepCount <= 0 && r.BreakAddress < 0) {
        LcdState& l = g_lcd;
        const TickEnd end =
            RunSteps({l.RowCycles, l.ColumnCounter, l.RowCounter, l.TimerPrescale}, c.CycleBalance);
        c.CycleBalance = end.Balance;
        l.RowCycles = end.Lcd.RowCycles;
        l.ColumnCounter = end.Lcd.ColumnCounter;
        l.RowCounter = end.Lcd.RowCounter;
        l.TimerPrescale = end.Lcd.TimerPrescale;
        return;
    }
    [[maybe_unused]] int32_t steps = 0; // counted for the history, which must know where it stops
    while (c.CycleBalance > 0) {
        if (r.StopRequest) {
            if constexpr (kHistory) {
                RewindTickStopped(steps);
                RewindBalance(c.CycleBalance, 0);
            }
            c.CycleBalance = 0;
            return;
        }
        const uint16_t pcBefore = c.PC;
        c.StepCycles = 0;
        CpuStep();
        LcdStep();
        if constexpr (kHistory) ++steps;
        if (StepHook) StepHook(pcBefore);
        c.CycleBalance -= c.StepCycles;
        if (r.StepCount > 0 && --r.StepCount == 0) {
            if constexpr (kHistory) RewindTickStopped(steps);
            StopLoop<kHistory>();
            return;
        }
        if (r.BreakAddress >= 0 && r.BreakAddress == c.PC) {
            if constexpr (kHistory) RewindTickStopped(steps);
            StopLoop<kHistory>();
            return;
        }
    }
}
} // namespace

void OnRunTimer() {
    if (g_rewind.On)
        RunTick<true>();
    else
        RunTick<false>();
}

void OnPacedRunTimer() {
    const bool runs = g_run.ResumeDelay <= 0 && g_run.StopRequest == 0;
    OnRunTimer();
    if (runs) PacedKeyTick();
}

void RefreshLcd() {
    LcdRedraw();
    if (g_lcd.LcdDirty == 1 && LcdImageHook) LcdImageHook();
    g_lcd.LcdDirty = 0;
}

void OnRefreshTimer() {
    RefreshLcd();
    if (g_kbd.SelfTestCount > 0) {
        RewindSelfTest();
        --g_kbd.SelfTestCount;
        KeyboardUpdate();
    }
}

void PowerReset() {
    LcdReset();
    g_kbd.SelfTestCount = g_run.SelfTest;
    CpuReset();
    RewindMark();
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
