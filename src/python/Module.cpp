// The Python module velmora: the core's one emulated machine, driven from Python. The machine
// is global, as in every program on the core, so the module offers functions and attributes
// at module level: the start-up, runs and keys of the session (host/Session.h), the registers,
// flags and memories, the LCD, the dump. The memories are views straight onto the machine's own
// arrays, so a write is seen by the next step.
#include "ModuleParts.h"

#include "core/Cpu.h"
#include "core/SystemRegs.h"
#include "debug/Break.h"
#include "debug/DebugPanes.h"
#include "debug/Notation.h"
#include "host/Files.h"
#include "host/Png.h"
#include "host/Report.h"
#include "host/RunLoop.h"
#include "host/Session.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <nlohmann/json.hpp>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace py = pybind11;

namespace {
std::vector<std::string> g_warnings;
// Times and counts beyond this are refused, as velmora-headless refuses them: it keeps every
// sum of two of them exact.
constexpr int64_t kLargestNumber = int64_t{1} << 52;
} // namespace

int64_t CheckCount(int64_t value, const char* what) {
    if (value < 0 || value > kLargestNumber)
        throw py::value_error(std::string(what) + " must be from 0 to 2**52, not " +
                              std::to_string(value));
    return value;
}

std::string_view BufferBytes(const py::buffer& data, std::string& storage) {
    const py::buffer_info info = data.request();
    storage.assign(static_cast<const char*>(info.ptr),
                   static_cast<size_t>(info.size * info.itemsize));
    return storage;
}

// Every message the core has for the user is kept for the function that caused it.
void ReportWarning(std::string_view text) {
    g_warnings.emplace_back(text);
}

namespace {
// Long runs go in slices of this many milliseconds, with a look for Ctrl-C between them.
constexpr int64_t kRunSliceMs = 1000;
// A tap holds the key, then leaves it up this long, as typing does between two characters.
constexpr int64_t kTapGapMs = kTypePitchMs - kTypeHoldMs;

[[noreturn]] void RaiseOsError(const std::string& text) {
    PyErr_SetString(PyExc_OSError, text.c_str());
    throw py::error_already_set();
}

std::vector<std::string> TakeWarnings() {
    std::vector<std::string> taken;
    taken.swap(g_warnings);
    return taken;
}

py::memoryview View(uint8_t* bytes, size_t size, bool readonly = false) {
    return py::memoryview::from_memory(bytes, static_cast<py::ssize_t>(size), readonly);
}

// --- Start-up and runs ------------------------------------------------------------------------

std::vector<std::string> Start(const std::filesystem::path& folder) {
    CheckNotInCallback();
    g_warnings.clear();
    // Made absolute now, so that save_images() finds the same folder after a chdir.
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
    StartInFolder(ec ? folder : absolute);
    ApplyHistoryChoice();
    return TakeWarnings();
}

void StartFrom(const py::buffer& rom0, const py::buffer& rom1, const std::optional<py::buffer>& ram,
               const std::optional<py::buffer>& registers, const std::optional<py::buffer>& keymap,
               int32_t oscFreq, int32_t selfTest) {
    CheckNotInCallback();
    std::string rom0Bytes, rom1Bytes, ramBytes, registerBytes, keymapBytes;
    StartImages images;
    images.Rom0 = BufferBytes(rom0, rom0Bytes);
    images.Rom1 = BufferBytes(rom1, rom1Bytes);
    if (ram) images.Ram = BufferBytes(*ram, ramBytes);
    if (registers) images.Register = BufferBytes(*registers, registerBytes);
    if (keymap) images.KeyMap = BufferBytes(*keymap, keymapBytes);
    images.OscFreq = oscFreq;
    images.SelfTest = selfTest;
    g_fileFolder.clear();
    StartFromImages(images);
    ApplyHistoryChoice();
}

// The runs forget the last stop first; a stop of the break engine ends them early (and raises
// what a callable raised).
void RunMsChecked(int64_t ms) {
    CheckCount(ms, "ms");
    CheckNotInCallback();
    ClearLastStop();
    while (ms > 0) {
        const int64_t slice = std::min(ms, kRunSliceMs);
        if (RunMs(slice)) return RaiseCallbackError();
        ms -= slice;
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
}

void RunStepsChecked(int64_t steps) {
    CheckCount(steps, "steps");
    CheckNotInCallback();
    ClearLastStop();
    constexpr int64_t kSlice = 1'000'000;
    while (steps > 0) {
        const int64_t slice = std::min(steps, kSlice);
        if (RunSteps(slice)) return RaiseCallbackError();
        steps -= slice;
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
}

int32_t CheckKeyCode(int64_t code) {
    if (code < 0 || code > 255)
        throw py::value_error("key code must be from 0 to 255, not " + std::to_string(code));
    return static_cast<int32_t>(code);
}

void Tap(int64_t code, int64_t holdMs) {
    const int32_t key = CheckKeyCode(code);
    CheckCount(holdMs, "hold_ms");
    CheckNotInCallback();
    ScheduleKey(g_session.Ms, key, holdMs);
    RunMsChecked(holdMs + kTapGapMs);
}

void Type(const std::string& text) {
    CheckNotInCallback();
    const int64_t presses = ScheduleType(text, g_session.Ms + kTypeStartMs, true);
    if (presses > 0) RunMsChecked(kTypeStartMs + kTypePitchMs * presses);
}

void Release(std::optional<int64_t> code) {
    if (!code || g_kbd.KeyboardKey == *code) ReleaseKey();
}

void SaveImagesIn(const std::optional<std::filesystem::path>& folder) {
    const std::filesystem::path previous = g_fileFolder;
    if (folder) g_fileFolder = *folder;
    g_warnings.clear();
    const bool saved = SaveImages();
    g_fileFolder = previous;
    const std::vector<std::string> warnings = TakeWarnings();
    if (!saved) {
        std::string text;
        for (const std::string& w : warnings) text += (text.empty() ? "" : "; ") + w;
        RaiseOsError(text);
    }
}

// --- Registers and flags ------------------------------------------------------------------------

// The names a script reads and writes: the special registers with their masks (the flag
// register F among them), and the eight pointer registers kept in the register file.
std::vector<std::string> RegisterNames() {
    std::vector<std::string> names;
    for (const SpecialRegInfo& r : kSpecialRegTable) names.emplace_back(r.Name);
    for (std::string_view p : kPointerNames) names.emplace_back(p);
    return names;
}

struct RegisterRef {
    int Special = -1; // index into kSpecialRegTable
    int Pointer = -1; // pointer register number
};

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

std::optional<RegisterRef> FindRegister(std::string_view name) {
    const std::string upper = Upper(name);
    for (int i = 0; i < kSpecialRegCount; ++i)
        if (upper == kSpecialRegTable[i].Name) return RegisterRef{i, -1};
    for (int p = 0; p < static_cast<int>(kPointerNames.size()); ++p)
        if (upper == Upper(kPointerNames[p])) return RegisterRef{-1, p};
    return std::nullopt;
}

RegisterRef Register(const std::string& name) {
    const auto ref = FindRegister(name);
    if (!ref) throw py::key_error("no register named " + name);
    return *ref;
}

struct RegisterView {};
struct FlagView {};

int RegisterGet(const std::string& name) {
    const RegisterRef r = Register(name);
    if (r.Pointer >= 0) return PtrGet(r.Pointer);
    return SpecialRegValue(kSpecialRegTable[r.Special].Reg);
}

// Any Python int; the register keeps the bits its mask selects (so -1 sets them all).
void RegisterSet(const std::string& name, const py::int_& value) {
    const RegisterRef r = Register(name);
    const uint32_t mask = r.Special >= 0 ? kSpecialRegTable[r.Special].Mask : 0xFFFF;
    const py::int_ masked =
        py::reinterpret_steal<py::int_>(PyNumber_And(value.ptr(), py::int_(mask).ptr()));
    if (!masked) throw py::error_already_set();
    const uint32_t v = masked.cast<uint32_t>();
    if (r.Pointer >= 0)
        PtrSet(r.Pointer, static_cast<uint16_t>(v));
    else
        SpecialRegStore(kSpecialRegTable[r.Special].Reg, v);
}

struct FlagName {
    const char* Name;
    uint8_t Mask;
};
constexpr FlagName kFlags[] = {{"C", kFlagC}, {"H", kFlagH},   {"V", kFlagV},
                               {"Z", kFlagZ}, {"UZ", kFlagUZ}, {"LZ", kFlagLZ}};

uint8_t FlagMask(const std::string& name) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const FlagName& f : kFlags)
        if (upper == f.Name) return f.Mask;
    throw py::key_error("no flag named " + name);
}

// --- Display and dump ---------------------------------------------------------------------------

py::list LcdRows() {
    constexpr int kColumns = kLcdRowBytes * 8;
    py::list rows;
    std::string row(kColumns, '\0');
    for (int y = 0; y < kLcdRows; ++y) {
        for (int x = 0; x < kColumns; ++x) row[x] = LcdDot(g_lcd.FrameBuffer, x, y) ? 1 : 0;
        rows.append(py::bytes(row));
    }
    return rows;
}

py::bytes LcdRgb() {
    LcdRedraw();
    std::string rgb(static_cast<size_t>(kLcdWidth) * kLcdHeight * 3, '\0');
    for (int i = 0; i < kLcdWidth * kLcdHeight; ++i) {
        const uint32_t pixel = g_lcd.LcdBitmap[i];
        rgb[3 * i] = static_cast<char>(pixel >> 16);
        rgb[3 * i + 1] = static_cast<char>(pixel >> 8);
        rgb[3 * i + 2] = static_cast<char>(pixel);
    }
    return py::bytes(rgb);
}

py::object ToPython(const nlohmann::ordered_json& j) {
    if (j.is_object()) {
        py::dict d;
        for (const auto& [key, value] : j.items()) d[py::str(key)] = ToPython(value);
        return d;
    }
    if (j.is_array()) {
        py::list l;
        for (const auto& value : j) l.append(ToPython(value));
        return l;
    }
    if (j.is_string()) return py::str(j.get<std::string>());
    if (j.is_number_unsigned()) return py::int_(j.get<uint64_t>());
    return py::int_(j.get<int64_t>());
}

py::tuple ReadPngTuple(const std::filesystem::path& path) {
    std::string error;
    const auto image = ReadPngFile(path, &error);
    if (!image) throw py::value_error(path.string() + ": " + error);
    return py::make_tuple(
        image->Width, image->Height,
        py::bytes(reinterpret_cast<const char*>(image->Pixels.data()), image->Pixels.size()));
}

void Patch(int64_t address, const py::buffer& data) {
    if (address < 0 || address > 0xFFFF)
        throw py::value_error("address must be from 0 to 0xFFFF, not " + std::to_string(address));
    std::string bytes;
    BufferBytes(data, bytes);
    if (bytes.empty() || bytes.size() > 3)
        throw py::value_error("an instruction is 1 to 3 bytes, not " +
                              std::to_string(bytes.size()));
    PatchCode(static_cast<uint16_t>(address), reinterpret_cast<const uint8_t*>(bytes.data()),
              static_cast<int>(bytes.size()));
}
// --- The module, one function an area ---------------------------------------------------------

// The start-up from a folder or from images, and the power switch's reset.
void BindStartUp(py::module_& m) {
    m.def("start", &Start, py::arg("folder") = ".",
          R"(Start the machine as the programs do in FOLDER: velmora.ini, then keymap.dat, rom0.bin,
rom1.bin, ram.bin and register.bin from that folder, then the power reset. Resets
everything first, the emulated clock included. Returns the warnings (such as "Failed to
load the file rom0.bin") as a list of strings.)");
    m.def("start_from", &StartFrom, py::kw_only(), py::arg("rom0") = py::bytes(),
          py::arg("rom1") = py::bytes(), py::arg("ram") = py::none(),
          py::arg("register") = py::none(), py::arg("keymap") = py::none(),
          py::arg("osc_freq") = kDefaultOscFreq, py::arg("self_test") = kDefaultSelfTest,
          R"(Start the machine from images in memory (bytes-like), each copied as its file would be
read: its first bytes, up to the size of the memory; what is missing stays zero. No file is
read. osc_freq is in kHz; self_test the refresh ticks of the self-test hold.)");
    m.def(
        "power_reset",
        [] {
            CheckNotInCallback();
            PowerReset();
        },
        "The power switch's reset: LCD controller, self-test hold, processor. Memories stay.");
}

// Runs, keys and the emulated clock.
void BindRuns(py::module_& m) {
    m.def("run_steps", &RunStepsChecked, py::arg("n"),
          R"(Run N steps, unpaced (as velmora-headless --steps). No emulated time passes. A
breakpoint or watchpoint that stops ends the run there (see last_stop()).)");
    m.def("run_ms", &RunMsChecked, py::arg("ms"),
          R"(Run MS milliseconds of emulated time as velmora-headless --ms runs them: a run tick
every 10 ms, a refresh tick after every 5th. A rest below 10 ms counts towards the next
run, so run_ms(15) twice is run_ms(30). A breakpoint or watchpoint that stops ends the run
with the tick of the stop (see last_stop()).)");
    m.def(
        "press", [](int64_t code) { PressKey(CheckKeyCode(code)); }, py::arg("code"),
        "Press the key with that key code (held, as a PC key, until released).");
    m.def("release", &Release, py::arg("code") = py::none(),
          "Release the held key (only if it is CODE, when a code is given).");
    m.def("tap", &Tap, py::arg("code"), py::arg("hold_ms") = 100,
          R"(Press key CODE, run HOLD_MS milliseconds, release it and run 100 ms more, so the
firmware sees the key go up before whatever comes next.)");
    m.def("type", &Type, py::arg("text"),
          R"(Type TEXT through the key map, paced as velmora-headless --type: character i is pressed
500 + 200 i ms from now and held 100 ms. A newline (or backslash and n) is Enter. Runs until
100 ms after the last release, that is 500 + 200 * len ms (nothing for an empty text).)");
    m.def(
        "elapsed_ms", [] { return g_session.Ms; }, "Emulated milliseconds run since the start-up.");
}

// Registers, flags, the memories as views, code patches.
void BindState(py::module_& m) {
    py::class_<RegisterView>(
        m, "Registers", "The registers by name: reg['PC'] = 0x1800; reg['sp'] reads a pointer.")
        .def("__getitem__", [](RegisterView, const std::string& n) { return RegisterGet(n); })
        .def("__setitem__",
             [](RegisterView, const std::string& n, const py::int_& v) { RegisterSet(n, v); })
        .def("__contains__",
             [](RegisterView, const py::object& n) {
                 return py::isinstance<py::str>(n) && FindRegister(n.cast<std::string>());
             })
        .def("__len__", [](RegisterView) { return RegisterNames().size(); })
        .def("__iter__", [](RegisterView) { return py::iter(py::cast(RegisterNames())); })
        .def("keys", [](RegisterView) { return RegisterNames(); })
        .def("items",
             [](RegisterView) {
                 py::list items;
                 for (const std::string& n : RegisterNames())
                     items.append(py::make_tuple(n, RegisterGet(n)));
                 return items;
             })
        .def("__repr__", [](RegisterView) {
            std::string text = "{";
            for (const std::string& n : RegisterNames())
                text +=
                    (text.size() > 1 ? ", '" : "'") + n + "': " + std::to_string(RegisterGet(n));
            return text + "}";
        });
    py::class_<FlagView>(m, "Flags", "The flags of F by name (C H V Z UZ LZ), as booleans.")
        .def("__getitem__",
             [](FlagView, const std::string& n) { return (g_cpu.F & FlagMask(n)) != 0; })
        .def("__setitem__",
             [](FlagView, const std::string& n, bool on) {
                 const uint8_t mask = FlagMask(n);
                 g_cpu.F = static_cast<uint8_t>(on ? g_cpu.F | mask : g_cpu.F & ~mask);
             })
        .def("__len__", [](FlagView) { return std::size(kFlags); })
        .def("__iter__",
             [](FlagView) {
                 std::vector<std::string> names;
                 for (const FlagName& f : kFlags) names.emplace_back(f.Name);
                 return py::iter(py::cast(names));
             })
        .def("__repr__", [](FlagView) {
            std::string text = "{";
            for (const FlagName& f : kFlags)
                text += std::string(text.size() > 1 ? ", '" : "'") + f.Name +
                        "': " + ((g_cpu.F & f.Mask) ? "True" : "False");
            return text + "}";
        });
    m.attr("reg") = RegisterView{};
    m.attr("flags") = FlagView{};
    m.attr("R") = View(g_cpu.R, sizeof g_cpu.R);
    m.attr("ram") = View(g_cpu.Ram, sizeof g_cpu.Ram);
    m.attr("ext") = View(g_cpu.Ext, sizeof g_cpu.Ext);
    m.attr("rom") = View(g_cpu.Rom, sizeof g_cpu.Rom);
    m.attr("keymap") = View(g_kbd.KeyMap, sizeof g_kbd.KeyMap);
    m.attr("frame_buffer") = View(g_lcd.FrameBuffer, sizeof g_lcd.FrameBuffer, true);
    m.def("patch", &Patch, py::arg("address"), py::arg("data"),
          R"(Write the bytes of one instruction (1 to 3) at a code address as the debug window's
listing does: below 0x1800 over the start of that internal-ROM word, above into consecutive
external-memory bytes.)");
}

// The LCD, the dump, PNG files, the saved images.
void BindDisplay(py::module_& m) {
    m.def("lcd_rows", &LcdRows,
          "The LCD as 64 rows (top first) of 96 dots (left first): bytes of 1 (dark) and 0.");
    m.def(
        "lcd_text", [] { return LcdText(); },
        "The LCD as velmora-headless --lcd-text prints it: 64 lines of 96 '#' and '.'.");
    m.def("lcd_rgb", &LcdRgb,
          "One more redraw, then the 192 x 128 LCD picture as RGB bytes (3 a pixel, rows top "
          "first).");
    m.def(
        "lcd_png",
        [](const std::filesystem::path& path) {
            if (!WriteLcdPng(path)) RaiseOsError("cannot write the PNG file " + path.string());
        },
        py::arg("path"),
        "One more redraw, then the LCD picture as a 192 x 128 PNG file (OSError if it cannot be "
        "written).");
    m.def("read_png", &ReadPngTuple, py::arg("path"),
          "A PNG file as (width, height, RGB bytes): for comparing with lcd_rgb().");
    m.def(
        "dump", [] { return ToPython(DumpFields()); },
        "The machine state with the fields of velmora-headless --dump, as a dict.");
    m.def("save_images", &SaveImagesIn, py::arg("folder") = py::none(),
          R"(Write ram.bin and register.bin as the program does at close, into FOLDER or the folder
of start() (the current directory after start_from()). Raises OSError if one could not be
written.)");
}

} // namespace

PYBIND11_MODULE(velmora, m) {
    m.doc() = R"(The Velmora calculator emulator, driven from Python.

There is one emulated machine per process: every function and attribute here acts on it.
Start it with start(folder) or start_from(...), run it with run_ms/run_steps, press keys with
tap/type/press/release, and read or change registers, flags and memories at any time.)";

    BindStartUp(m);
    BindRuns(m);
    BindState(m);
    BindDisplay(m);
    BindTools(m);
    BindDebug(m);
}
