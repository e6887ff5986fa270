// Run tick, refresh tick, power reset and the debugger's stop and resume.
#include "host/RunLoop.h"

#include "core/Cpu.h"
#include "debug/Break.h"
#include "host/Rewind.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <algorithm>

alignas(64) RunState g_run; // on a cache line, as g_cpu
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

struct TickEnd {
    int32_t Balance;
    LcdCounters Lcd;
    int64_t Steps; // with kCount
};

// The steps of a tick without a stop request, a step count, a breakpoint or a step hook:
// nothing inside a step sets any of them (they change only between ticks), so the loop only
// runs steps, with the balance kept in a local so it can live in a register. With kCount the
// steps are counted too, for the programs that report them; the desktop program runs the loop
// without. One function for the ticks with and without the step history, so that both run the
// very same machine code (two copies, executing the same instructions, differed by 5-8 % from
// code placement alone); it takes and returns the counters by value, which keeps them in
// registers.
// With kTrail the steps are entered in the debugger's step history (debug/Break.h), its count
// kept in a local as the balance is.
template <bool kCount, bool kTrail>
[[gnu::noinline, gnu::flatten]] TickEnd TickSteps(LcdCounters lcd, int32_t balance) {
    CpuState& c = g_cpu;
    [[maybe_unused]] int64_t steps = 0;
    [[maybe_unused]] uint32_t entered = g_history.Count;
    while (balance > 0) {
        [[maybe_unused]] const uint16_t pc = c.PC;
        c.StepCycles = 0;
        CpuStep();
        LcdStepOn(lcd);
        balance -= c.StepCycles;
        if constexpr (kCount) ++steps;
        if constexpr (kTrail) {
            g_history.Ring[entered % kHistorySteps] = HistoryWord(pc, c.F, c.StepCycles);
            ++entered;
        }
    }
    if constexpr (kTrail) g_history.Count = entered;
    return {balance, lcd, steps};
}

struct CheckedEnd {
    TickEnd End;
    bool Stopped;
};

// The steps of a tick with the break engine armed and nothing else of the slow loop's (no step
// count, breakpoint address or step hook): as TickSteps, with the engine's quick look after
// every step and its full check only where that finds something. The steps are always counted:
// a stop must tell the step history how many ran.
template <bool kTrail>
[[gnu::noinline, gnu::flatten]] CheckedEnd TickChecked(LcdCounters lcd, int32_t balance) {
    CpuState& c = g_cpu;
    int64_t steps = 0;
    [[maybe_unused]] uint32_t entered = g_history.Count;
    bool stopped = false;
    while (balance > 0) {
        const uint16_t pc = c.PC;
        // A step that starts halted (wai, off) only idles: it executes nothing, writes nothing
        // and leaves PC where it is, so the engine has nothing to see (a breakpoint at the
        // address of a waiting processor does not hit again at every idle step).
        const bool halted = c.OFF | c.WAIT;
        c.StepCycles = 0;
        BreakBeforeStep();
        CpuStep();
        LcdStepOn(lcd);
        balance -= c.StepCycles;
        ++steps;
        if constexpr (kTrail) {
            g_history.Ring[entered % kHistorySteps] = HistoryWord(pc, c.F, c.StepCycles);
            ++entered;
        }
        if (!halted && BreakLooksAfterStep()) [[unlikely]] {
            // A hook may look at the machine: give it the history and the LCD as they are.
            if constexpr (kTrail) g_history.Count = entered;
            LcdState& l = g_lcd;
            l.RowCycles = lcd.RowCycles;
            l.ColumnCounter = lcd.ColumnCounter;
            l.RowCounter = lcd.RowCounter;
            l.TimerPrescale = lcd.TimerPrescale;
            if (BreakAfterStep(pc)) {
                stopped = true;
                break;
            }
        }
    }
    if constexpr (kTrail) g_history.Count = entered;
    return {{balance, lcd, steps}, stopped};
}

template <bool kTrail> TickEnd TickStepsCounted(bool count, LcdCounters lcd, int32_t balance) {
    return count ? TickSteps<true, kTrail>(lcd, balance) : TickSteps<false, kTrail>(lcd, balance);
}

template <bool kHistory> void StopLoop(StopKind why) {
    if (why != StopKind::None) BreakNoteLoopStop(why);
    g_run.StopRequest = 1;
    if constexpr (kHistory) RewindBalance(g_cpu.CycleBalance, 0);
    g_cpu.CycleBalance = 0;
    DebuggerShown();
    if (ShowDebuggerHook) ShowDebuggerHook();
}

// One run tick. With kHistory (the step history on) the tick records what it does outside its
// steps and keeps an image every 10th tick (Rewind.h); the steps themselves run in TickSteps
// either way, uncounted by the history (it makes them again as the loop does, until the balance
// is spent). The recording is compiled into its own copy of the tick so that the tick without it
// stays as it was.
// flatten: the per-step calls (CpuStep, its interrupt entry, LcdStep) are inlined into the loops
// when the optimiser sees them (link-time optimisation of the programs). noinline: the tick is
// kept whole as its own function wherever it is called from; inlined into a caller's loop (the
// Python module's run) its step loop came out about 10 % slower.
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
    const bool armed = BreakArmed();
    if (!StepHook && r.StepCount <= 0 && r.BreakAddress < 0 && armed) {
        BreakSync();
        LcdState& l = g_lcd;
        const LcdCounters lcd{l.RowCycles, l.ColumnCounter, l.RowCounter, l.TimerPrescale};
        const int32_t start = c.CycleBalance;
        const CheckedEnd checked =
            g_history.On ? TickChecked<true>(lcd, start) : TickChecked<false>(lcd, start);
        const TickEnd& end = checked.End;
        if (r.CountSteps) {
            r.StepsRun += end.Steps;
            r.CyclesRun += start - end.Balance;
        }
        c.CycleBalance = end.Balance;
        l.RowCycles = end.Lcd.RowCycles;
        l.ColumnCounter = end.Lcd.ColumnCounter;
        l.RowCounter = end.Lcd.RowCounter;
        l.TimerPrescale = end.Lcd.TimerPrescale;
        if (checked.Stopped) {
            if constexpr (kHistory) RewindTickStopped(static_cast<int32_t>(end.Steps));
            StopLoop<kHistory>(StopKind::None);
        }
        return;
    }
    if (!StepHook && r.StepCount <= 0 && r.BreakAddress < 0) {
        LcdState& l = g_lcd;
        const LcdCounters lcd{l.RowCycles, l.ColumnCounter, l.RowCounter, l.TimerPrescale};
        const int32_t start = c.CycleBalance;
        const TickEnd end = g_history.On ? TickStepsCounted<true>(r.CountSteps, lcd, start)
                                         : TickStepsCounted<false>(r.CountSteps, lcd, start);
        if (r.CountSteps) {
            r.StepsRun += end.Steps;
            r.CyclesRun += start - end.Balance; // the cycles of the steps: what the balance lost
        }
        c.CycleBalance = end.Balance;
        l.RowCycles = end.Lcd.RowCycles;
        l.ColumnCounter = end.Lcd.ColumnCounter;
        l.RowCounter = end.Lcd.RowCounter;
        l.TimerPrescale = end.Lcd.TimerPrescale;
        return;
    }
    [[maybe_unused]] int32_t steps = 0; // counted for the history, which must know where it stops
    if (armed) BreakSync();
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
        const bool halted = c.OFF | c.WAIT; // see TickChecked
        c.StepCycles = 0;
        if (armed) BreakBeforeStep();
        CpuStep();
        LcdStep();
        if constexpr (kHistory) ++steps;
        if (g_history.On) HistoryEnter(pcBefore, static_cast<uint16_t>(c.StepCycles));
        if (StepHook) StepHook(pcBefore);
        if (r.CountSteps) {
            ++r.StepsRun;
            r.CyclesRun += c.StepCycles;
        }
        c.CycleBalance -= c.StepCycles;
        if (r.StepCount > 0 && --r.StepCount == 0) {
            if constexpr (kHistory) RewindTickStopped(steps);
            StopLoop<kHistory>(StopKind::StepCount);
            return;
        }
        if (r.BreakAddress >= 0 && r.BreakAddress == c.PC) {
            if constexpr (kHistory) RewindTickStopped(steps);
            StopLoop<kHistory>(StopKind::BreakAddress);
            return;
        }
        // The break engine after the run loop's own stops; its reason is already recorded.
        if (armed && !halted && BreakLooksAfterStep() && BreakAfterStep(pcBefore)) {
            if constexpr (kHistory) RewindTickStopped(steps);
            StopLoop<kHistory>(StopKind::None);
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
    DebugCancelStep(); // a step over, step out or run to ends with any stop
    g_run.StopRequest = 1;
    g_run.StepCount = -1;
    g_run.BreakAddress = -1;
}

void DebuggerHidden() {
    g_run.ResumeDelay = kResumeDelayTicks;
    g_run.StopRequest = 0;
}
