// The break engine: execution breakpoints (with conditions, ignore counts, hit counters, and an
// action that stops or logs a line), watchpoints on RAM, the register file and the special
// registers, step over, step out and run to an address, the call stack, the history of the last
// executed steps, and the record of why the processor stopped. The desktop program's debug
// window, the headless runner and the Python module all use it; it has no windows of its own.
//
// How it meets the run loop. The run loop (host/RunLoop.cpp) tests BreakArmed() once per tick; only
// while it is set does the tick run its steps through the checking loop, which calls
// BreakAfterStep after every step (after the seed's step-count and breakpoint-address tests).
// With nothing set the ticks run exactly as before. A stop of the engine stops the loop as the
// step count does (StopRequest, the balance dropped, DebuggerShown, ShowDebuggerHook), with
// LastStop() saying why.
//
// The seed's StepCount and BreakAddress keep their meaning; their stops are recorded as
// StopKind::StepCount and StopKind::BreakAddress.
//
// ResetMachine() (core/Machine.h) returns the engine to its state at program start too: no
// breakpoints, no watchpoints, no pending step, an empty history, no stop reason. The symbol
// table (debug/Symbols.h) describes the firmware files and is kept.
//
// Everything here runs on the GUI thread (or the one thread of a command-line program), between
// steps or inside the run tick; nothing is locked.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/SystemRegs.h"

class SymbolTable;

// --- Why the processor stopped ----------------------------------------------------------------

enum class StopKind : uint8_t {
    None,         // nothing stopped it yet (or the machine was reset)
    StepCount,    // the run loop's step count ran out
    BreakAddress, // the run loop's single breakpoint address (BreakAddress) was reached
    Breakpoint,   // an execution breakpoint of the engine
    Watchpoint,   // a watchpoint
    Step,         // a single step (DebugStepInto) is done
    StepOver,     // a step over is done
    StepOut,      // a step out is done
    RunTo,        // run to an address reached it
    Pause,        // the user paused the processor
};

enum class WatchArea : uint8_t {
    Ram,      // area 3, addresses 0x0000-0x1FFF
    Register, // the main register file, 0x00-0x7F
    Special,  // a special register (First holds its SpecialReg index)
};

struct StopReason {
    StopKind Kind = StopKind::None;
    int Id = 0;      // the breakpoint's or watchpoint's Id
    uint16_t Pc = 0; // PC at the stop
    // Watchpoints: what was written or read.
    WatchArea Area = WatchArea::Ram;
    uint16_t Address = 0;  // byte address, register number, or SpecialReg index
    uint16_t Old = 0;      // value before the step (a special register may be 16 bits)
    uint16_t New = 0;      // value after it
    uint16_t AccessPc = 0; // PC of the instruction that wrote or read
    bool Read = false;     // a read rather than a write
};

// The reason as a line of text, addresses named through symbols where they have a name:
//   "breakpoint 2 at print_number+3 (1A2B)"
//   "watchpoint 1: RAM 0180 written by k_mem_add+12 (1C05): 00 -> 05"
//   "step count", "breakpoint address 1A2B", "step", "step over done", "step out done",
//   "run to 1A2B", "paused"; "" for StopKind::None.
std::string StopText(const StopReason& reason, const SymbolTable* symbols);
// The stop the engine or the run loop made last; StopKind::None after a reset.
const StopReason& LastStop();
// Forgets the last stop (the front end does this when it lets the processor run again).
void ClearLastStop();
// Whether the processor is halted: "wai" (waiting for an interrupt or a key), "off", or "" when
// it runs.
std::string_view HaltState();

// --- Execution breakpoints --------------------------------------------------------------------

enum class BreakAction : uint8_t {
    Stop, // stop the processor
    Log,  // append a line made from LogFormat to the log (BreakLog) and go on
};

struct Breakpoint;
// Called on a hit (the breakpoint enabled, its condition holding, its ignore count spent), after
// the hit counter counted it and before the action. Returns true to stop, false to go on. While
// set, it decides instead of Action (a Log breakpoint still logs its line first). Only ever
// called on a hit, so it costs nothing while the breakpoint's address is not reached.
using BreakHook = std::function<bool(const Breakpoint&)>;

struct Breakpoint {
    int Id = 0; // given by BreakAdd: 1, 2, ..., never reused until a reset
    uint16_t Address = 0;
    bool Enabled = true;
    std::string Condition;    // as typed; empty: always
    uint32_t IgnoreCount = 0; // hits still to pass over (counts down; a passed hit is counted)
    uint64_t Hits = 0;        // times reached with the condition holding
    BreakAction Action = BreakAction::Stop;
    std::string LogFormat; // for Log: text with {expression} fields (debug/Expr.h)
    BreakHook OnHit;
};

// Adds a breakpoint (Id is ignored and assigned); the condition and log format are compiled
// against g_symbols. Returns the new Id, or 0 with a message in error ("condition at 5:
// expected ')'") and nothing added.
int BreakAdd(const Breakpoint& bp, std::string& error);
// Reads "ADDR", "ADDR if COND" or "ADDR:COND" (ADDR as ParseAddress takes it) into a Stop
// breakpoint. False with a message.
bool BreakParse(std::string_view text, Breakpoint& bp, std::string& error);
bool BreakRemove(int id);
void BreakRemoveAll();
bool BreakEnable(int id, bool enabled);
// Changes a breakpoint's condition or log format (false with a message, unchanged, when it does
// not compile), its ignore count, action or hook.
bool BreakSetCondition(int id, std::string_view condition, std::string& error);
bool BreakSetLog(int id, std::string_view format, std::string& error); // action Log
bool BreakSetAction(int id, BreakAction action);
bool BreakSetIgnore(int id, uint32_t count);
bool BreakSetHook(int id, BreakHook hook);
void BreakResetHits(); // all hit counters to 0
// All breakpoints, in the order added.
const std::vector<Breakpoint>& Breakpoints();
const Breakpoint* FindBreakpoint(int id);
// The Id of the first breakpoint at an address (enabled or not), 0 when none: for the listing's
// markers.
int BreakAt(uint16_t address);
// Adds a plain breakpoint at an address, or removes the breakpoints there: the listing's click.
// Returns the Id added, or 0 when it removed.
int BreakToggle(uint16_t address);

// Log lines of Log breakpoints, oldest first; at most kBreakLogLines are kept. Each is also
// handed to the log hook, when one is set (the headless runner prints them as they come).
inline constexpr int kBreakLogLines = 1000;
const std::vector<std::string>& BreakLog();
void BreakLogClear();
using BreakLogHook = std::function<void(const std::string& line)>;
void SetBreakLogHook(BreakLogHook hook);

// --- Watchpoints ------------------------------------------------------------------------------

enum WatchAccess : uint8_t {
    kWatchWrite = 1, // stop when a byte is written (with a changed value)
    kWatchRead = 2,  // stop when an instruction reads a byte (RAM only)
    kWatchReadWrite = 3,
};

struct Watchpoint;
// As BreakHook, for watchpoints: the reason holds the old and new values and the PC.
using WatchHook = std::function<bool(const Watchpoint&, const StopReason&)>;

struct Watchpoint {
    int Id = 0; // given by WatchAdd, from the same counter as breakpoints' Ids
    WatchArea Area = WatchArea::Ram;
    uint16_t First = 0; // first address or register number; SpecialReg index for Special
    uint16_t Last = 0;  // last one, inclusive (First for one byte)
    uint8_t Access = kWatchWrite;
    bool Enabled = true;
    uint64_t Hits = 0;
    WatchHook OnHit;
};

// Adds a watchpoint. Returns the new Id, or 0 with a message (a range outside the area, a read
// watch on something other than RAM, a special register that cannot be watched: PC).
int WatchAdd(const Watchpoint& wp, std::string& error);
// Reads "AREA:ADDR[-END][:r|w|rw]" with AREA ram (or 3) or reg (ADDR a register number: hex, or
// r5 style), or the name of a special register alone ("KC", "IE", "S6", optionally ":w"). ADDR
// and END as ParseAddress takes them. False with a message.
bool WatchParse(std::string_view text, Watchpoint& wp, std::string& error);
bool WatchRemove(int id);
void WatchRemoveAll();
bool WatchEnable(int id, bool enabled);
bool WatchSetHook(int id, WatchHook hook);
const std::vector<Watchpoint>& Watchpoints();
const Watchpoint* FindWatchpoint(int id);
// "RAM 0200-0209 w", "R05 rw", "KC w": a watchpoint as the lists show it. The RAM address
// is not named: the symbols name code addresses, and RAM is another space.
std::string WatchText(const Watchpoint& wp);

// --- Stepping ---------------------------------------------------------------------------------

// One step as the debug window's single step makes it (DebuggerSingleStep: CpuStep alone,
// recorded in the rewind history), entered in the step history, with watchpoints checked (their
// hit counters count, and LastStop() says what was written). LastStop() is Step or Watchpoint.
void DebugStepInto();
// Arms a step over. When the instruction at PC is a call (cal, scal) or a trp, the processor is
// to run until the stack is back at its level with PC past the call (for trp: wherever the trap
// routine returns to), or a breakpoint or watchpoint hits: returns true, and the front end lets
// the run loop run (it stops with StopKind::StepOver). Otherwise it makes one step at once as
// DebugStepInto, and returns false.
bool DebugStepOver();
// Arms a step out: the processor runs until a return (rtn, rti) takes it out of the routine it is
// in now, or a breakpoint or watchpoint hits (StopKind::StepOut). The front end lets the loop run.
void DebugStepOut();
// Arms a run to an address: the loop stops when PC reaches it (after at least one step), or
// a breakpoint or watchpoint hits (StopKind::RunTo).
void DebugRunTo(uint16_t address);
// Drops an armed step over, step out or run to. Any stop does this too, and so does showing the
// debugger (DebuggerShown, host/RunLoop.h): arm a step after showing it, then let the loop run
// (DebuggerHidden).
void DebugCancelStep();
// Whether one of them is armed.
bool DebugStepPending();
// Stops a running processor: StopRequest := 1, the balance dropped, LastStop() Pause. It does
// not show the debugger (ShowDebuggerHook is not called).
void DebugPause();

// Runs the machine as the run loop does (run ticks of CyclesPerTick) until the loop stops by
// itself (the engine, a step count, a breakpoint address) or maxTicks ticks have run; for the
// command-line programs and tests. Returns whether it stopped. StopRequest is left as the stop
// left it.
bool RunUntilStop(int64_t maxTicks);

// --- Call stack -------------------------------------------------------------------------------

struct CallFrame {
    uint16_t StackAddress = 0;  // where the return address lies in RAM (its high byte)
    uint16_t ReturnAddress = 0; // where the routine returns to
    uint16_t CallSite = 0;      // address of the call (or trp) that pushed it
};
// The return addresses from sp upward, innermost first, as long as they look like return
// addresses into code: the instruction before them is a cal or scal (or, for an address
// pushed by trp, the instruction at it is a trp). At most maxDepth frames.
std::vector<CallFrame> CallStack(int maxDepth = 64);

// --- Step history -----------------------------------------------------------------------------

inline constexpr int kHistorySteps = 4096;

struct HistoryEntry {
    uint16_t PC = 0;     // address of the step's instruction (PC before the step)
    uint8_t F = 0;       // flags after it
    uint16_t Cycles = 0; // the step's cycles (LCD transfer included in the run loop; 255 for
                         // 255 or more)
};
// The last count steps executed (at most kHistorySteps), oldest first. The run loop and the
// debugger's steps enter every step while the history is on (it is on from the start).
std::vector<HistoryEntry> History(int count = kHistorySteps);
void HistoryClear();
// Forgets the latest entry (a step back undid it).
void HistoryDropLast();
void HistoryEnable(bool on);
bool HistoryEnabled();

// The ring the run loop writes: entry (Count - 1) % kHistorySteps is the latest. An entry is one
// 32-bit word (PC in bits 0-15, f in 16-23, the cycles in 24-31: a step costs at most a few dozen
// cycles; more shows as 255): one store per step, which the compiler knows leaves the machine's
// bytes alone (stores of single bytes might be any of them, and made it load them again after
// every step), and a ring of 16 KB, which leaves room in the first-level cache.
struct StepHistory {
    uint8_t On = 1;
    uint32_t Count = 0; // steps entered since the last clear
    uint32_t Ring[kHistorySteps] = {};
};
extern StepHistory g_history;

[[gnu::always_inline]] inline uint32_t HistoryWord(uint16_t pc, uint8_t f, int32_t cycles) {
    const uint32_t c = cycles < 0 ? 0u : cycles > 255 ? 255u : static_cast<uint32_t>(cycles);
    return uint32_t{pc} | uint32_t{f} << 16 | c << 24;
}

// Enters a step in the ring: PC before the step, f after it, the step's cycles.
[[gnu::always_inline]] inline void HistoryEnter(uint16_t pc, uint16_t cycles) {
    StepHistory& h = g_history;
    h.Ring[h.Count % kHistorySteps] = HistoryWord(pc, g_cpu.F, cycles);
    ++h.Count;
}

// --- For the run loop -------------------------------------------------------------------------

// Whether the engine has anything to check after a step (an enabled breakpoint or watchpoint,
// an armed step). Tested once per tick.
bool BreakArmed();

// What the checking loop looks at after every step, without a call, to find the steps the
// engine must see (BreakLooksAfterStep); kept by the engine from its lists.
struct BreakFastState {
    uint8_t Pending = 0;  // a step over, step out or run to is armed
    uint8_t Groups = 0;   // 8-byte groups of the register file with a watched byte
    uint8_t Specials = 0; // special registers watched
    uint8_t GroupIndex[kRegBytes / 8] = {};
    uint64_t GroupMask[kRegBytes / 8] = {}; // the watched bytes of each group
    uint8_t SpecialIndex[kSpecialRegCount] = {};
    alignas(8) uint8_t RegShadow[kRegBytes] = {}; // watched bytes as the engine last saw them
    uint16_t SpecialShadow[kSpecialRegCount] = {};
    uint8_t BreakMap[0x10000 / 8] = {}; // bit per address: an enabled breakpoint there
};
extern BreakFastState g_breakFast;

// True when the step just made may concern the engine: a watched RAM access, an armed step, a
// breakpoint at the new PC, a watched register that changed. Then BreakAfterStep decides.
[[gnu::always_inline]] inline bool BreakLooksAfterStep() {
    const BreakFastState& f = g_breakFast;
    const CpuState& c = g_cpu;
    if (g_ramWatch.Hit | f.Pending) return true;
    if ((f.BreakMap[c.PC >> 3] >> (c.PC & 7)) & 1) return true;
    for (int i = 0; i < f.Groups; ++i) {
        uint64_t now, was;
        std::memcpy(&now, c.R + 8 * f.GroupIndex[i], 8);
        std::memcpy(&was, f.RegShadow + 8 * f.GroupIndex[i], 8);
        if ((now ^ was) & f.GroupMask[i]) return true;
    }
    for (int i = 0; i < f.Specials; ++i)
        if (SpecialRegValue(static_cast<SpecialReg>(f.SpecialIndex[i])) !=
            f.SpecialShadow[f.SpecialIndex[i]])
            return true;
    return false;
}
// Takes the machine as it is now as the base of the watchpoints on registers (at the start of a
// checking tick, after the user may have edited them), and forgets RAM accesses made outside
// the steps (the debug window's edits).
void BreakSync();
// Before every step of a checking tick: forgets a RAM access noted outside a step.
[[gnu::always_inline]] inline void BreakBeforeStep() {
    g_ramWatch.Hit = 0;
}
// After a step of a checking tick for which BreakLooksAfterStep is true (or after every step),
// with PC as it was before the step. True: stop (the reason is in LastStop()).
[[gnu::noinline, gnu::cold]] bool BreakAfterStep(uint16_t pcBefore);
// The run loop's own stops, recorded as the reason.
void BreakNoteLoopStop(StopKind kind);
// Back to the state at program start (called by ResetMachine).
void BreakReset();
