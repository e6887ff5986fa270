// Run tick, refresh tick, power reset and the debugger's stop and resume.
#include "host/RunLoop.h"

#include "core/Cpu.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <algorithm>

RunState g_run;
void (*ShowDebuggerHook)() = nullptr;
void (*LcdImageHook)() = nullptr;
void (*StepHook)(uint16_t pcBefore) = nullptr;

namespace {
void StopLoop() {
    g_run.StopRequest = 1;
    g_cpu.CycleBalance = 0;
    DebuggerShown();
    if (ShowDebuggerHook) ShowDebuggerHook();
}
} // namespace

// flatten: the per-step calls (CpuStep, its interrupt entry, LcdStep) are inlined into the loop
// when the optimiser sees them (link-time optimisation of the programs).
[[gnu::flatten]] void OnRunTimer() {
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
    // Nothing inside a step sets StopRequest, a step count, a breakpoint or the hook: they
    // change only between ticks. Without any of them the loop only runs steps, with the
    // balance kept in a local so it can live in a register.
    // The LCD controller's counters are copied into locals for the same reason; no step reads
    // them from g_lcd.
    if (!StepHook && r.StepCount <= 0 && r.BreakAddress < 0) {
        LcdState& l = g_lcd;
        struct {
            int32_t RowCycles;
            uint8_t ColumnCounter, RowCounter, TimerPrescale;
        } lcd{l.RowCycles, l.ColumnCounter, l.RowCounter, l.TimerPrescale};
        int32_t balance = c.CycleBalance;
        while (balance > 0) {
            c.StepCycles = 0;
            CpuStep();
            LcdStepOn(lcd);
            balance -= c.StepCycles;
        }
        c.CycleBalance = balance;
        l.RowCycles = lcd.RowCycles;
        l.ColumnCounter = lcd.ColumnCounter;
        l.RowCounter = lcd.RowCounter;
        l.TimerPrescale = lcd.TimerPrescale;
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
