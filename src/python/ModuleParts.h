// The parts of the Python module, one source file each, and what they share. Module.cpp
// defines the module and calls every Bind function once.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <string_view>

// Copies the bytes of a bytes-like object into storage and returns them.
std::string_view BufferBytes(const pybind11::buffer& data, std::string& storage);

// A count or time checked for the run functions: ValueError unless 0 to 2**52.
int64_t CheckCount(int64_t value, const char* what);

// ValueError when called from inside a breakpoint's or watchpoint's callable, which runs in the
// middle of a step: the machine must not be started, run or replaced from there.
void CheckNotInCallback();
// Raises, once, the exception a callable raised during the last run (ModuleDebug.cpp).
void RaiseCallbackError();
// Switches the step history on or off as the script chose with keep_history (after a start-up,
// which switches it on).
void ApplyHistoryChoice();
// Drops every callable from the break engine (at the interpreter's exit).
void DropCallbacks();

// disassemble, assemble, assemble_program, save_state, load_state (ModuleTools.cpp).
void BindTools(pybind11::module_& m);
// Breakpoints, watchpoints, stepping, the stop reason, call stack, history, symbols
// (ModuleDebug.cpp).
void BindDebug(pybind11::module_& m);
