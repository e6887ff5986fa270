// The parts of the Python module, one source file each, and what they share. Module.cpp
// defines the module and calls every Bind function once.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

// Copies the bytes of a bytes-like object into storage and returns them.
std::string_view BufferBytes(const pybind11::buffer& data, std::string& storage);

// disassemble, assemble, assemble_program, save_state, load_state (ModuleTools.cpp).
void BindTools(pybind11::module_& m);
