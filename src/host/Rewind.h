// The step history: a ring of machine images (one every 100 ms of emulated time for the last
// minute, and one at every change made from outside the steps) with a log of what the machine
// did: the run ticks (each with the balance its grant left, so that its steps can be made again
// as the loop made them, without being counted as they run), key events, the self-test
// countdown, the debugger's steps. Rewind walks back through the images; step back rebuilds the
// machine as it was before the last step by restoring the nearest earlier image and running the
// log forward again, which is exact because the emulation is deterministic.
//
// What changes the machine outside the steps, and how the history learns of it:
// - run ticks (grant, skipped tick, stop) and the refresh tick's self-test countdown: the run
//   loop records them (RunLoop.cpp);
// - key slots: every change goes through SetKeySlot, which records it;
// - the debugger's single step: DebuggerSingleStep keeps an image before it;
// - everything else (the debug window's edits, the power switch, a loaded state): a new image,
//   RewindMark, after the change; a code patch also ends the replay of what came before it
//   (RewindCodeChanged), since the images do not hold the code.
// A change the history was not told of is caught when stepping back: the replay then does not
// arrive at the machine as it is, and the step back is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr int kRewindTicks = 10;       // an image every 10 run ticks: 100 ms
inline constexpr int kRewindKeepTicks = 6000; // the last 60 s of emulated time
inline constexpr int kRewindSnapshots = 1024; // ring capacity: 600 for the minute, the rest
                                              // for the images of edits and debugger steps
inline constexpr int kRewindEvents = 1 << 16; // events kept (a minute needs about 6000)

// Read by the run loop at every tick, so kept apart from the rest of the history.
struct RewindState {
    uint8_t On = 0; // recording
};
extern RewindState g_rewind;

// Starts recording (an empty history whose first image is the machine as it is) or stops it and
// frees the history's memory (about 11 MB while on, see docs/state-format.md).
void RewindEnable(bool on);
// Back to the state at program start: off and empty. The memory is kept.
void RewindClear();

// --- Recording (each does nothing while off) --------------------------------------------------
// The machine was changed from outside the steps: keep an image of it as it is now.
void RewindMark();
// The code (internal ROM or external memory) was changed: images taken before cannot be replayed.
void RewindCodeChanged();
// A run tick that will run (before its grant): counts emulated time, keeps an image every 10th.
void RewindTick();
// The tick's grant left CycleBalance at balance; its steps follow until it is spent.
void RewindTickSteps(int32_t balance);
// ... but the loop stopped after this many of them (a step count, a breakpoint, a stop request).
void RewindTickStopped(int32_t steps);
// The run loop set CycleBalance from before to after outside a step.
void RewindBalance(int32_t before, int32_t after);
// The key slots are about to become mouseKey and keyboardKey, followed by KeyboardUpdate.
void RewindKeys(int32_t mouseKey, int32_t keyboardKey);
// The refresh tick is about to count the self-test hold down and run KeyboardUpdate.
void RewindSelfTest();

// --- The debugger -----------------------------------------------------------------------------
// The debug window's single step: CpuStep alone (no LCD update, the step cycle counter not
// cleared), recorded.
void DebuggerSingleStep();
// Whether the history holds an image from which the step before the last can be rebuilt.
bool CanStepBack();
// Returns the machine to exactly the state before the last executed step, which is then
// forgotten (so repeated calls walk back step by step). Empty on success; otherwise why not,
// and the machine is unchanged.
std::string StepBack();

// --- Rewind -----------------------------------------------------------------------------------
// Restores the latest image older than the machine as it is, forgets everything after it and
// shows it on the LCD (LcdRedraw and LcdImageHook, as the refresh tick). False when there is
// none; the machine is then unchanged.
bool RewindBack();
// While the host holds the rewind key the run loop must not run: Begin sets StopRequest and
// End puts it back as it was, so letting go continues from the image shown last. The desktop
// program's paced key input (held keys still to be applied, a paste being typed) is the user's,
// not the machine's: a rewind leaves it as it is.
void RewindBegin();
void RewindEnd();

// Images held now, and the memory the history takes while on.
size_t RewindSnapshotCount();
size_t RewindMemoryBytes();
