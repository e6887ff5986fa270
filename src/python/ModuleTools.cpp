// The module's code tools and save states: the disassembler and both assemblers of the core
// giving Python values (records, bytes, errors with their line and column), and the machine as
// the bytes of a state file. Everything here is a binding; the decoding, the encoding and the
// state format are the core's.
#include "ModuleParts.h"

#include "core/Decode.h"
#include "debug/Asem.h"
#include "debug/Dis.h"
#include "debug/Program.h"
#include "host/RunLoop.h"
#include "host/State.h"

#include <pybind11/stl.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

// --- Disassembly --------------------------------------------------------------------------------

// One decoded instruction with its text as the listing writes it.
struct InstructionValue {
    DecodedInstruction Decoded;
    std::string Operands;

    std::string Mnemonic() const { return std::string(Decoded.Mnemonic()); }
    std::string Text() const { return Operands.empty() ? Mnemonic() : Mnemonic() + " " + Operands; }
    py::bytes Bytes() const {
        return py::bytes(reinterpret_cast<const char*>(Decoded.Bytes.data()), Decoded.Length);
    }
};

uint16_t CheckAddress(int64_t address) {
    if (address < 0 || address > 0xFFFF)
        throw py::value_error("address must be from 0 to 0xFFFF, not " + std::to_string(address));
    return static_cast<uint16_t>(address);
}

std::vector<InstructionValue> Disassemble(int64_t address, int64_t count) {
    const uint16_t from = CheckAddress(address);
    // More than 0x10000 rows always wrap, so a larger count reads no further.
    if (count < 0)
        throw py::value_error("count must not be negative, not " + std::to_string(count));
    std::vector<InstructionValue> values;
    for (const DecodedInstruction& d :
         DecodeRun(from, static_cast<int>(std::min<int64_t>(count, 0x10001))))
        values.push_back({d, DisOperands(d)});
    return values;
}

std::string Hex(unsigned value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<size_t>(i)] = kDigits[value & 15];
    return text;
}

std::string InstructionRepr(const InstructionValue& v) {
    std::string bytes;
    for (int i = 0; i < v.Decoded.Length; ++i) bytes += (i ? " " : "") + Hex(v.Decoded.Bytes[i], 2);
    return "<Instruction " + Hex(v.Decoded.Address, 4) + ": " + bytes + "  " + v.Text() + ">";
}

// --- Assembly -----------------------------------------------------------------------------------

// Owned by the module for the whole run of the interpreter (never released, so that nothing
// touches it after the interpreter has ended).
PyObject* g_assemblyError = nullptr;

// The text of an error with the source line under it and a caret at its column.
std::string Pointed(const ProgramError& e, std::string_view lineText) {
    std::string text = "line " + std::to_string(e.Line) + ", column " + std::to_string(e.Column) +
                       ": " + e.Message + "\n    " + std::string(lineText) + "\n    ";
    // Tabs stay tabs, so the caret stands under the column in any tab width.
    for (int i = 1; i < e.Column; ++i) {
        const size_t at = static_cast<size_t>(i - 1);
        text += at < lineText.size() && lineText[at] == '\t' ? '\t' : ' ';
    }
    return text + "^";
}

std::string_view SourceLine(std::string_view source, int line) {
    for (int n = 1; n < line; ++n) {
        const size_t end = source.find('\n');
        if (end == std::string_view::npos) return {};
        source.remove_prefix(end + 1);
    }
    source = source.substr(0, source.find('\n'));
    if (!source.empty() && source.back() == '\r') source.remove_suffix(1);
    return source;
}

[[noreturn]] void RaiseAssemblyError(const std::string& summary,
                                     const std::vector<ProgramError>& errors,
                                     std::string_view source) {
    std::string message = summary;
    for (const ProgramError& e : errors) message += "\n" + Pointed(e, SourceLine(source, e.Line));
    py::object error = py::handle(g_assemblyError)(message);
    error.attr("errors") = py::cast(errors);
    PyErr_SetObject(g_assemblyError, error.ptr());
    throw py::error_already_set();
}

py::bytes Assemble(const std::string& line, int64_t page) {
    const uint16_t asmPage = CheckAddress(page);
    // The whole line is read: a script's line is not cut at the editor's 64 characters.
    const AsmResult r = AssembleLine(line, asmPage, std::span<const AsmValue>{});
    if (!r.Ok()) {
        const ProgramError e{1, r.AsmPos, AsmFailureText(line, r.AsmPos)};
        RaiseAssemblyError("cannot assemble the line", {e}, line);
    }
    return py::bytes(reinterpret_cast<const char*>(r.AsmBytes.data()),
                     static_cast<size_t>(r.AsmCount));
}

ProgramImage AssembleSource(const std::string& source) {
    ProgramImage image = AssembleProgram(source);
    if (!image.Ok())
        RaiseAssemblyError(std::to_string(image.Errors.size()) +
                               (image.Errors.size() == 1 ? " error" : " errors") +
                               " in the program",
                           image.Errors, source);
    return image;
}

py::bytes AsBytes(const std::vector<uint8_t>& data) {
    return py::bytes(reinterpret_cast<const char*>(data.data()), data.size());
}

// --- Save states --------------------------------------------------------------------------------

py::bytes SaveStateBytes() {
    const std::vector<uint8_t> state = SaveState(RunCounts{g_run.StepsRun, g_run.CyclesRun});
    return AsBytes(state);
}

std::vector<std::string> LoadStateBytes(const py::buffer& data) {
    CheckNotInCallback();
    std::string bytes;
    BufferBytes(data, bytes);
    const StateLoadResult r = LoadState(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    if (!r.Ok()) throw py::value_error("cannot load the state: " + r.Error);
    // The counts of the run that saved it go on, as after velmora-headless --load-state.
    g_run.StepsRun = r.Counts.Steps;
    g_run.CyclesRun = r.Counts.Cycles;
    return r.Warnings;
}

} // namespace

void BindTools(py::module_& m) {
    py::class_<InstructionValue>(m, "Instruction",
                                 "One instruction as the disassembler reads it (see disassemble).")
        .def_property_readonly(
            "address", [](const InstructionValue& v) { return v.Decoded.Address; },
            "Its code address: below 0x1800 an internal-ROM word, above an external byte.")
        .def_property_readonly(
            "next", [](const InstructionValue& v) { return v.Decoded.Next; },
            "Where PC stands once the instruction's bytes are read: the next instruction.")
        .def_property_readonly(
            "length", [](const InstructionValue& v) { return v.Decoded.Length; },
            "Its bytes, 1 to 3 (an internal-ROM word holds 3 whatever the length).")
        .def_property_readonly("bytes", &InstructionValue::Bytes,
                               "Its bytes in storage order (length of them).")
        .def_property_readonly(
            "index", [](const InstructionValue& v) { return v.Decoded.Index; },
            "The opcode index, 0 to 735, that selects its handler.")
        .def_property_readonly("mnemonic", &InstructionValue::Mnemonic,
                               "The mnemonic as the listing writes it (\"stlm\" included).")
        .def_property_readonly(
            "operands", [](const InstructionValue& v) { return v.Operands; },
            "The operand text as the listing writes it (empty for none).")
        .def_property_readonly("text", &InstructionValue::Text,
                               "Mnemonic and operands, one blank between: a line assemble() takes.")
        .def_property_readonly(
            "row", [](const InstructionValue& v) { return ListingRow(v.Decoded); },
            "The listing row: address, mnemonic from column 6, operands from column 12.")
        .def("__repr__", &InstructionRepr);
    m.def("disassemble", &Disassemble, py::arg("address"), py::arg("count") = 1,
          R"(Up to COUNT instructions from ADDRESS on, each where the one before ended, as
Instruction records; the walk stops after the instruction at which the address wraps past
0xFFFF. Reads the code memories only: PC and the rest of the machine stay as they are.)");

    g_assemblyError = PyErr_NewExceptionWithDoc(
        "velmora.AssemblyError",
        "A line or a program the assembler refused. str() shows each error with its source line "
        "and a caret under the column; .errors lists them as ProgramError records.",
        PyExc_ValueError, nullptr);
    if (!g_assemblyError) throw py::error_already_set();
    m.attr("AssemblyError") = py::handle(g_assemblyError);
    py::class_<ProgramError>(m, "ProgramError", "One error of the assembler: where and what.")
        .def_readonly("line", &ProgramError::Line, "The 1-based source line.")
        .def_readonly("column", &ProgramError::Column,
                      "The 1-based column at which the assembler stopped (one past the end of "
                      "the line when the line ended too early).")
        .def_readonly("message", &ProgramError::Message, "What is wrong.")
        .def("__repr__",
             [](const ProgramError& e) {
                 return "<ProgramError " + std::to_string(e.Line) + ":" + std::to_string(e.Column) +
                        " " + e.Message + ">";
             })
        .def("__str__", [](const ProgramError& e) {
            return std::to_string(e.Line) + ":" + std::to_string(e.Column) + ": " + e.Message;
        });
    m.def("assemble", &Assemble, py::arg("line"), py::arg("page") = 0,
          R"(The bytes of one line of the listing's notation (an instruction, or db with up to three
bytes; an empty line or a comment gives b""). PAGE is the address the bytes will be stored
at: the short jumps (sjmp, scal) must stay in its 256-address page. Raises AssemblyError
with the column at which the assembler stopped.)");

    py::class_<ProgramImage>(m, "Program", "An assembled program (see assemble_program).")
        .def_property_readonly(
            "rom", [](const ProgramImage& p) { return AsBytes(p.Rom); },
            "The internal ROM image (rom0.bin): 6144 words of 3 bytes, unused bytes 0.")
        .def_property_readonly(
            "ext", [](const ProgramImage& p) { return AsBytes(p.Ext); },
            "The external memory image (rom1.bin): 32768 bytes, unused bytes 0.")
        .def_property_readonly(
            "labels",
            [](const ProgramImage& p) {
                py::dict labels;
                for (const ProgramLabel& l : p.Labels) labels[py::str(l.Name)] = l.Address;
                return labels;
            },
            "The program's labels (not equ names) as a dict of name to address, by address: "
            "for add_symbol.")
        .def_readonly("listing", &ProgramImage::Listing,
                      "The listing as velmora-asm -l writes it: address, bytes, source line.");
    m.def("assemble_program", &AssembleSource, py::arg("source"),
          R"(Assemble a whole program as velmora-asm does (labels, equ, org, db/dw, expressions).
Returns a Program whose rom and ext go to start_from(rom0=..., rom1=...). Raises
AssemblyError listing every error (up to a few dozen) with its line and column.)");

    m.def("save_state", &SaveStateBytes,
          R"(The whole machine as the bytes of a state file (the format of velmora-headless
--save-state and the desktop program's slots), with the STEPS and CYCLES counts of the dump.)");
    m.def("load_state", &LoadStateBytes, py::arg("state"),
          R"(Replace the machine with a state from save_state() or a state file's bytes. Every part
is checked first: a damaged or foreign state raises ValueError and changes nothing. The code
images stay those of the machine; returns the warnings (a state saved with other code
images, or at another oscillator frequency) as a list of strings. The emulated clock of
elapsed_ms() goes on; STEPS and CYCLES continue from the state's.)");
}
