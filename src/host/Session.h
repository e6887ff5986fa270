// Driving the machine from a program instead of from windows, as velmora-headless and the
// Python module do: the start-up in a folder or from images in memory, runs of steps and of
// emulated milliseconds (run ticks with a refresh tick after every 5th), key events paced as
// a typist presses them, and the machine shown as the tools show it: the dump's fields, the
// LCD as text and as PNG.
#pragma once

#include "host/RunLoop.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kEnterKey = 61;
// Typing: character i is pressed at 500 + 200 i ms (from when the typing starts) and held
// 100 ms, so the firmware sees every key go up before the next one comes down.
inline constexpr int64_t kTypeStartMs = 500;
inline constexpr int64_t kTypePitchMs = 200;
inline constexpr int64_t kTypeHoldMs = 100;
inline constexpr int kRefreshEveryTicks = kRefreshIntervalMs / kRunIntervalMs; // 5

// A key change applied before the first run tick that starts at Time or later. At the same
// time releases go first, then the events in the order of Source and Order.
struct KeyEvent {
    int64_t Time;
    int Kind;      // kKeyRelease or kKeyPress
    int Source;    // the kind of command that made it (kSourceKey before kSourceType)
    int Order;     // position among the events of its source
    int32_t Code;  // kSourceKey: the key code pressed
    int Character; // kSourceType: the character typed, or -1 for Enter
};
inline constexpr int kKeyRelease = 0;
inline constexpr int kKeyPress = 1;
inline constexpr int kSourceKey = 0;
inline constexpr int kSourceType = 1;

// The program's own record of its runs, not part of the machine: ResetMachine leaves it alone,
// the start-ups below begin it afresh.
struct SessionState {
    int64_t TickMs = 0;           // start of the next run tick, from the start-up
    int64_t Ms = 0;               // emulated time asked for so far (TickMs <= Ms < TickMs + 10)
    std::FILE* Trace = nullptr;   // when set, one line per step: index, PC before, f, cycles
    std::vector<KeyEvent> Events; // not applied yet, in the order in which they apply
    int NextOrder = 0;            // Order of the next event made by ScheduleKey
};

extern SessionState g_session;

// --- Start-up ---------------------------------------------------------------------------------
// The programs' start-up with the files of FOLDER (empty: the current directory): the whole
// machine and the session reset, velmora.ini, the images, then the main window's first showing
// (the power reset). Warnings go to ReportWarning as usual.
void StartInFolder(const std::filesystem::path& folder);

// The same start-up from images held in memory: each is copied as a file of that name would be
// read (its first bytes, up to the size of the destination); a missing one leaves its
// destination zero. No file is read, no message is given.
struct StartImages {
    std::string_view Rom0, Rom1, Ram, Register, KeyMap;
    int32_t OscFreq = 2000;
    int32_t SelfTest = 0;
};
void StartFromImages(const StartImages& images);

// --- Runs -------------------------------------------------------------------------------------
// N steps, unpaced: step cycles := 0, CpuStep, LcdStep; counted like the steps of run ticks
// (g_run.StepsRun and CyclesRun, the dump's STEPS and CYCLES). No emulated time passes. With
// breakpoints or watchpoints set (debug/Break.h) the run ends at their stop: true.
bool RunSteps(int64_t steps);
// MS more milliseconds of emulated time: every run tick that ends within it runs (a refresh
// tick after every 5th run tick since the start-up), each after the key events due at its
// start. Time left over (less than a tick) counts towards the next run. A stop of the break
// engine (a breakpoint, a watchpoint, a step over or out, a run to) ends the run after its tick,
// dropping the time asked for beyond it: true.
bool RunMs(int64_t ms);

// Key events: key CODE pressed at AT ms and released HOLD ms later (velmora-headless's --key);
// ORDER ranks events at the same time (the position of the option), or -1 for the next number.
void ScheduleKey(int64_t at, int32_t code, int64_t hold, int order = -1);
// TEXT typed through the key map from START ms on, one character every 200 ms. Typed Enter is
// the two characters backslash and n, or with newlineIsEnter also a newline character. Returns
// the number of key presses (a backslash-n counts one).
int64_t ScheduleType(std::string_view text, int64_t start, bool newlineIsEnter = false);
// Presses a key now, as a PC key held down (KeyboardKey), or releases the PC key.
void PressKey(int32_t code);
void ReleaseKey();

// --- The machine as the tools show it -----------------------------------------------------------
// The fields of velmora-headless's --dump, in its order.
nlohmann::ordered_json DumpFields();
std::string DumpJson(); // one line of JSON, without the newline
// The 64 display lines, top first, each 96 characters ('#' dark, '.' light) and a newline.
std::string LcdText();
// One more redraw of LcdBitmap, then the bitmap as a 192 x 128 RGB PNG file. False when the file
// could not be written.
bool WriteLcdPng(const std::filesystem::path& path);
