// The run loop: each 10 ms run tick grants CyclesPerTick cycles and runs steps (CpuStep, then
// LcdStep) until they are spent; the 50 ms refresh tick redraws the LCD and counts down the
// self-test hold. The loop stops at a step count or a breakpoint and asks the host to show the
// debugger through the hook below.
#pragma once

#include <cstdint>

inline constexpr int kRunIntervalMs = 10;
inline constexpr int kRefreshIntervalMs = 50;
inline constexpr int kResumeDelayTicks = 30;

// The largest grant of one run tick (an oscillator of 100 GHz). The balance before a grant is 0
// or a debt of less than one step, and a step costs at most a few hundred cycles, so with this
// bound neither the grant nor any subtraction can leave the signed 32-bit range.
inline constexpr int32_t kMaxCyclesPerTick = 1'000'000'000;

struct RunState {
    int32_t CyclesPerTick = 0;
    uint8_t StopRequest = 0;
    int32_t StepCount = -1;    // steps left before the loop stops; only > 0 counts
    int32_t BreakAddress = -1; // negative: no breakpoint
    int32_t ResumeDelay = 0;   // run ticks still to skip
    uint8_t PowerOn = 0;
    int32_t OscFreq = 2000; // settings: kHz
    int32_t SelfTest = 0;   // settings: refresh ticks of the self-test hold
    // For the programs that report their runs (velmora-headless, the Python module): with
    // CountSteps set, the run tick counts the steps it runs and their cycles.
    uint8_t CountSteps = 0;
    int64_t StepsRun = 0;
    int64_t CyclesRun = 0;
};

extern RunState g_run;

// Called by the loop when it stops at a step count or breakpoint, after StopRequest, the
// balance and the counts have been set as the shown debugger sets them (DebuggerShown). The
// desktop program sets it to show the debug window; unset, the stop only does the above.
extern void (*ShowDebuggerHook)();
// Called by the refresh tick when the redraw changed LcdBitmap (LcdDirty is 1), before the
// flag is cleared: the desktop program copies LcdBitmap into its LCD image here.
extern void (*LcdImageHook)();
// Called by the run tick after every step (after LcdStep, before the balance is charged), with
// PC as it was before the step; the step's cycles are in g_cpu.StepCycles. For tracing.
extern void (*StepHook)(uint16_t pcBefore);

void OnRunTimer();
// The desktop program's run tick: OnRunTimer, then, if the tick was to run the processor (no
// resume delay, no stop request), one tick of the paced key input (PacedKeyTick).
void OnPacedRunTimer();
void OnRefreshTimer();
// The refresh tick's drawing: LcdRedraw, LcdImageHook when the bitmap changed, LcdDirty := 0.
void RefreshLcd();
// LcdReset, SelfTestCount from the SelfTest setting, CpuReset (a new starting point of the
// step history).
void PowerReset();
// 10 x oscFreq, clamped to 0 .. kMaxCyclesPerTick: an oscillator of 0 or less grants nothing.
int32_t ComputeCyclesPerTick(int32_t oscFreq);
// The machine's part of the main window's first showing: keys up, power on, loop running with
// no count and no breakpoint, the processor's off flag cleared, LcdBitmap white, CyclesPerTick
// from OscFreq, the power reset, then LastDisplayOn := 0 and LcdDirty := 1.
void StartEmulation();
// Its two halves, for the desktop program, which loads the face pictures in between: the key
// slots and run-loop variables; then the white LCD, CyclesPerTick, PowerReset and
// LastDisplayOn := 0.
void StartVariables();
void StartMachine();
// The debug window's side of the contract: shown stops the loop, hidden resumes it later.
void DebuggerShown();
void DebuggerHidden();
