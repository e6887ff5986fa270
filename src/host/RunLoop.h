// The run loop: each 10 ms run tick grants CyclesPerTick cycles and runs steps (CpuStep, then
// LcdStep) until they are spent; the 50 ms refresh tick redraws the LCD and counts down the
// self-test hold. The loop stops at a step count or a breakpoint and asks the host to show the
// debugger through the hook below.
#pragma once

#include <cstdint>

inline constexpr int kRunIntervalMs = 10;
inline constexpr int kRefreshIntervalMs = 50;
inline constexpr int kResumeDelayTicks = 30;

struct RunState {
    int32_t CyclesPerTick = 0;
    uint8_t StopRequest = 0;
    int32_t StepCount = -1;    // steps left before the loop stops; only > 0 counts
    int32_t BreakAddress = -1; // negative: no breakpoint
    int32_t ResumeDelay = 0;   // run ticks still to skip
    uint8_t PowerOn = 0;
    int32_t OscFreq = 2000; // settings: kHz
    int32_t SelfTest = 0;   // settings: refresh ticks of the self-test hold
};

extern RunState g_run;

// Called by the loop when it stops at a step count or breakpoint. The desktop program sets it
// to show the debug window; when unset, the stop only sets StopRequest and clears the counts.
extern void (*ShowDebuggerHook)();

void OnRunTimer();
void OnRefreshTimer();
// LcdReset, SelfTestCount from the SelfTest setting, CpuReset.
void PowerReset();
// CyclesPerTick from OscFreq, clamped so the balance arithmetic cannot overflow.
int32_t ComputeCyclesPerTick(int32_t oscFreq);
// The debug window's side of the contract: shown stops the loop, hidden resumes it later.
void DebuggerShown();
void DebuggerHidden();
