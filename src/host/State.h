// Save states: the whole machine as the bytes of a state file (docs/state-format.md), the
// fixed-size machine images that the rewind ring keeps, state files and the ten slots
// state-0.vst .. state-9.vst in the working folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr uint32_t kStateFormatVersion = 1;
inline constexpr int kStateSlots = 10;

// Counts a front end keeps of its own run (the headless runner's STEPS and CYCLES). They travel
// in the state, so that a run continued from a state goes on counting where the first stopped.
struct RunCounts {
    int64_t Steps = 0;
    int64_t Cycles = 0;
};

// The whole machine (processor, register file, RAM, LCD controller, keyboard, run-loop
// variables, the SHA-256 of both code images, the emulator's version) as a state file.
std::vector<uint8_t> SaveState(const RunCounts& counts = {});

struct StateLoadResult {
    std::string Error;                 // empty: loaded; otherwise why nothing was changed
    std::vector<std::string> Warnings; // what differs and was loaded past (other code images)
    RunCounts Counts;                  // as saved; 0 when the state carries none
    bool Ok() const { return Error.empty(); }
};

// Checks all of BYTES (magic, checksum, version, every chunk and every field) and only then
// replaces the machine with it; a state that fails any check changes nothing. The code images
// and the program's own run controls (oscillator, debugger stop, power switch) stay as they
// are: a state saved with other code images loads with a warning naming them. SUBJECT starts
// the warnings ("The state", "The state file s.vst"). A loaded state is a new starting point of
// the step history.
StateLoadResult LoadState(std::span<const uint8_t> bytes, std::string_view subject = "The state");

// The state as a file, written whole or not at all (as ram.bin is). Reports "Failed to save
// the file NAME" and returns false when it cannot be written.
bool SaveStateFile(const std::string& path, const RunCounts& counts = {});
// Loads a state file. Reports one line, "Failed to load the state file NAME: why", when it
// cannot be read or is refused (the machine is then unchanged), and each warning of the load.
bool LoadStateFile(const std::string& path, RunCounts* counts = nullptr);

// The slots: "state-N.vst" in the working folder, N = 0 .. 9.
std::string StateSlotFile(int slot);
bool SaveStateSlot(int slot);
bool LoadStateSlot(int slot);
// When the slot was last saved (the file's modification time), or nothing for an empty slot.
std::optional<std::time_t> StateSlotTime(int slot);
// That time as local "YYYY-MM-DD HH:MM:SS" for the slot's menu line, or "empty".
std::string StateSlotTimeText(int slot);

// --- Machine images ---------------------------------------------------------------------------
// The machine's part of a state (processor, register file, RAM, LCD controller, keyboard) laid
// out as the payloads of its chunks, back to back: what the rewind ring keeps. Neither the
// code images nor the run-loop variables are in it.
size_t MachineImageBytes();
void CaptureMachine(uint8_t* image);
void RestoreMachine(const uint8_t* image);
// Whether two images hold the same machine, leaving out the working values of a step (step
// cycle counter, step direction, instruction buffer, byte position): nothing the machine does
// later depends on them (the run loop clears the counter before each step, every instruction
// sets the others before it reads them), and the debug window's listing changes them in passing.
bool SameMachine(const uint8_t* a, const uint8_t* b);
