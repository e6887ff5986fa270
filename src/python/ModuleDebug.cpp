// The module's debugger: breakpoints and watchpoints of the core's break engine (debug/Break.h),
// each optionally with a Python callable that decides on a hit whether to stop, step over, step
// out and run to, the stop reason, the call stack, the step history, symbols and expressions.
// The engine does all the checking; a callable is reached only through the engine's hook on a
// hit, so runs without breakpoints pass through nothing of this file.
#include "ModuleParts.h"

#include "debug/Break.h"
#include "debug/Expr.h"
#include "debug/Symbols.h"
#include "host/Session.h"

#include <pybind11/functional.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace py = pybind11;

namespace {

// --- Callables --------------------------------------------------------------------------------

// An exception raised by a callable during a run: the hook stops the run, and the function that
// ran it raises the exception once the run has ended (an exception never crosses the run loop).
std::optional<py::error_already_set> g_callbackError;

bool g_inCallback = false;

// Called by each callable's hook: True (any true value) stops; an exception stops too.
template <typename... Args> bool CallHook(const py::function& f, Args&&... args) {
    if (g_callbackError) return true;
    g_inCallback = true;
    try {
        const bool stop = py::bool_(f(std::forward<Args>(args)...));
        g_inCallback = false;
        return stop;
    } catch (py::error_already_set& e) {
        g_inCallback = false;
        g_callbackError = std::move(e);
        return true;
    }
}

// --- Values handed to Python ------------------------------------------------------------------

// A breakpoint as the script sees it (the engine's record without its hook).
struct BreakpointValue {
    int Id;
    uint16_t Address;
    bool Enabled;
    std::string Condition;
    uint32_t Ignore;
    uint64_t Hits;
    std::optional<std::string> Log;
    bool HasCallback;
};

BreakpointValue ValueOf(const Breakpoint& b) {
    return {b.Id,
            b.Address,
            b.Enabled,
            b.Condition,
            b.IgnoreCount,
            b.Hits,
            b.Action == BreakAction::Log ? std::optional<std::string>(b.LogFormat) : std::nullopt,
            static_cast<bool>(b.OnHit)};
}

struct WatchpointValue {
    Watchpoint Watch; // without its hook
    bool HasCallback;
};

WatchpointValue ValueOf(const Watchpoint& w) {
    Watchpoint copy = w;
    copy.OnHit = nullptr;
    return {std::move(copy), static_cast<bool>(w.OnHit)};
}

const char* AreaName(WatchArea area) {
    switch (area) {
    case WatchArea::Ram: return "ram";
    case WatchArea::Register: return "reg";
    case WatchArea::Special: return "special";
    }
    return "";
}

const char* AccessName(uint8_t access) {
    return access == kWatchReadWrite ? "rw" : access == kWatchRead ? "r" : "w";
}

const char* KindName(StopKind kind) {
    switch (kind) {
    case StopKind::None: return "none";
    case StopKind::StepCount: return "step_count";
    case StopKind::BreakAddress: return "break_address";
    case StopKind::Breakpoint: return "breakpoint";
    case StopKind::Watchpoint: return "watchpoint";
    case StopKind::Step: return "step";
    case StopKind::StepOver: return "step_over";
    case StopKind::StepOut: return "step_out";
    case StopKind::RunTo: return "run_to";
    case StopKind::Pause: return "pause";
    }
    return "";
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

// --- Addresses and errors ---------------------------------------------------------------------

using AddressArg = std::variant<int64_t, std::string>;

uint16_t CodeAddress(const AddressArg& address) {
    if (const int64_t* n = std::get_if<int64_t>(&address)) {
        if (*n < 0 || *n > 0xFFFF)
            throw py::value_error("address must be from 0 to 0xFFFF, not " + std::to_string(*n));
        return static_cast<uint16_t>(*n);
    }
    uint16_t value = 0;
    std::string error;
    if (!ParseAddress(std::get<std::string>(address), g_symbols, value, error))
        throw py::value_error(error);
    return value;
}

[[noreturn]] void NoSuch(const char* what, int id) {
    throw py::key_error(std::string("no ") + what + " " + std::to_string(id));
}

// --- Breakpoints ------------------------------------------------------------------------------

BreakHook HookOf(const py::function& callback) {
    return [callback](const Breakpoint& b) { return CallHook(callback, ValueOf(b)); };
}

WatchHook WatchHookOf(const py::function& callback) {
    return [callback](const Watchpoint& w, const StopReason& r) {
        return CallHook(callback, ValueOf(w), r);
    };
}

int SetBreakpoint(const AddressArg& address, const std::string& condition, int64_t ignore,
                  const std::optional<std::string>& log,
                  const std::optional<py::function>& callback, bool enabled) {
    if (ignore < 0 || ignore > UINT32_MAX)
        throw py::value_error("ignore must be from 0 to 2**32-1, not " + std::to_string(ignore));
    Breakpoint bp;
    bp.Address = CodeAddress(address);
    bp.Condition = condition;
    bp.IgnoreCount = static_cast<uint32_t>(ignore);
    bp.Enabled = enabled;
    if (log) {
        bp.Action = BreakAction::Log;
        bp.LogFormat = *log;
    }
    if (callback) bp.OnHit = HookOf(*callback);
    std::string error;
    const int id = BreakAdd(bp, error);
    if (id == 0) throw py::value_error(error);
    return id;
}

void RemoveBreakpoint(int id) {
    if (!BreakRemove(id)) NoSuch("breakpoint", id);
}

void EnableBreakpoint(int id, bool enabled) {
    if (!BreakEnable(id, enabled)) NoSuch("breakpoint", id);
}

std::vector<BreakpointValue> BreakpointList() {
    std::vector<BreakpointValue> list;
    for (const Breakpoint& b : Breakpoints()) list.push_back(ValueOf(b));
    return list;
}

// --- Watchpoints ------------------------------------------------------------------------------

int SetWatchpoint(const std::string& where, const std::optional<py::function>& callback,
                  bool enabled) {
    Watchpoint wp;
    std::string error;
    if (!WatchParse(where, wp, error)) throw py::value_error(error);
    wp.Enabled = enabled;
    if (callback) wp.OnHit = WatchHookOf(*callback);
    const int id = WatchAdd(wp, error);
    if (id == 0) throw py::value_error(error);
    return id;
}

std::vector<WatchpointValue> WatchpointList() {
    std::vector<WatchpointValue> list;
    for (const Watchpoint& w : Watchpoints()) list.push_back(ValueOf(w));
    return list;
}

// --- Runs to a stop ---------------------------------------------------------------------------

// Runs armed steps (a step over, a step out, a run to) for at most timeoutMs of emulated time, in
// slices with a look for Ctrl-C between them. True when the processor stopped (at the step's end,
// or at a breakpoint or watchpoint on the way); false when the time ran out (the step is dropped).
bool RunArmed(int64_t timeoutMs) {
    while (timeoutMs > 0) {
        const int64_t slice = std::min<int64_t>(timeoutMs, 1000);
        if (RunMs(slice)) {
            RaiseCallbackError();
            return true;
        }
        timeoutMs -= slice;
        if (PyErr_CheckSignals() != 0) {
            DebugCancelStep();
            throw py::error_already_set();
        }
    }
    DebugCancelStep();
    return false;
}

bool StepOver(int64_t timeoutMs) {
    CheckCount(timeoutMs, "timeout_ms");
    CheckNotInCallback();
    ClearLastStop();
    if (!DebugStepOver()) {
        RaiseCallbackError();
        return true; // one step, made at once
    }
    return RunArmed(timeoutMs);
}

bool StepOut(int64_t timeoutMs) {
    CheckCount(timeoutMs, "timeout_ms");
    CheckNotInCallback();
    ClearLastStop();
    DebugStepOut();
    return RunArmed(timeoutMs);
}

bool RunTo(const AddressArg& address, int64_t timeoutMs) {
    const uint16_t to = CodeAddress(address);
    CheckCount(timeoutMs, "timeout_ms");
    CheckNotInCallback();
    ClearLastStop();
    DebugRunTo(to);
    return RunArmed(timeoutMs);
}

std::optional<StopReason> Stop() {
    const StopReason& r = LastStop();
    if (r.Kind == StopKind::None) return std::nullopt;
    return r;
}

// --- Symbols and expressions ------------------------------------------------------------------

size_t LoadSymbolFile(const std::filesystem::path& path) {
    std::string error;
    if (!LoadSymbols(path.string(), error)) {
        if (error.rfind("cannot read", 0) == 0) {
            PyErr_SetString(PyExc_OSError, error.c_str());
            throw py::error_already_set();
        }
        throw py::value_error(error);
    }
    return g_symbols.All().size();
}

py::dict SymbolDict() {
    py::dict names;
    for (const Symbol& s : g_symbols.All()) names[py::str(s.Name)] = s.Address;
    return names;
}

int32_t Evaluate(const std::string& text) {
    Expr expr;
    ExprError error;
    if (!expr.Parse(text, &g_symbols, error)) throw py::value_error(error.Text());
    return expr.Eval();
}

// Whether the script wants the step history kept. Off by default, as in velmora-headless without
// --history: keeping it costs every step a store (a tenth of the time of busy code, more of an
// idle loop), and a run from Python is to cost what the same run of velmora-headless costs.
bool g_keepHistory = false;

} // namespace

void ApplyHistoryChoice() {
    HistoryEnable(g_keepHistory);
}

void CheckNotInCallback() {
    if (g_inCallback)
        throw py::value_error("the machine cannot be started, run or loaded from inside a "
                              "breakpoint or watchpoint callback");
}

void RaiseCallbackError() {
    if (!g_callbackError) return;
    py::error_already_set error = std::move(*g_callbackError);
    g_callbackError.reset();
    throw error;
}

void DropCallbacks() {
    for (const Breakpoint& b : Breakpoints()) BreakSetHook(b.Id, nullptr);
    for (const Watchpoint& w : Watchpoints()) WatchSetHook(w.Id, nullptr);
    g_callbackError.reset();
}

void BindDebug(py::module_& m) {
    py::class_<BreakpointValue>(m, "Breakpoint", "A breakpoint (see set_breakpoint).")
        .def_readonly("id", &BreakpointValue::Id, "Its number, given when it was set.")
        .def_readonly("address", &BreakpointValue::Address, "The code address it watches.")
        .def_readonly("enabled", &BreakpointValue::Enabled, "Whether it is checked.")
        .def_readonly("condition", &BreakpointValue::Condition,
                      "The condition as given (empty: always).")
        .def_readonly("ignore", &BreakpointValue::Ignore, "Hits still to pass over.")
        .def_readonly("hits", &BreakpointValue::Hits,
                      "Times reached with the condition holding (this hit included).")
        .def_readonly("log", &BreakpointValue::Log,
                      "The log line's format of a logging breakpoint, else None.")
        .def_readonly("has_callback", &BreakpointValue::HasCallback,
                      "Whether a callable decides on its hits.")
        .def("__repr__", [](const BreakpointValue& b) {
            return "<Breakpoint " + std::to_string(b.Id) + " at " + Hex4(b.Address) +
                   (b.Condition.empty() ? "" : " if " + b.Condition) + ", " +
                   std::to_string(b.Hits) + " hits" + (b.Enabled ? "" : ", disabled") + ">";
        });
    py::class_<WatchpointValue>(m, "Watchpoint", "A watchpoint (see set_watchpoint).")
        .def_property_readonly(
            "id", [](const WatchpointValue& w) { return w.Watch.Id; },
            "Its number, given when it was set (one counter with the breakpoints).")
        .def_property_readonly(
            "area", [](const WatchpointValue& w) { return AreaName(w.Watch.Area); },
            "'ram', 'reg' (the register file) or 'special' (a special register).")
        .def_property_readonly(
            "first", [](const WatchpointValue& w) { return w.Watch.First; },
            "First address or register number (for 'special', the register's index).")
        .def_property_readonly(
            "last", [](const WatchpointValue& w) { return w.Watch.Last; },
            "Last address or register number, inclusive.")
        .def_property_readonly(
            "access", [](const WatchpointValue& w) { return AccessName(w.Watch.Access); },
            "'w' (a write that changes a byte), 'r' (a read, RAM only) or 'rw'.")
        .def_property_readonly(
            "enabled", [](const WatchpointValue& w) { return w.Watch.Enabled; },
            "Whether it is checked.")
        .def_property_readonly(
            "hits", [](const WatchpointValue& w) { return w.Watch.Hits; }, "Times it was hit.")
        .def_readonly("has_callback", &WatchpointValue::HasCallback,
                      "Whether a callable decides on its hits.")
        .def_property_readonly(
            "text", [](const WatchpointValue& w) { return WatchText(w.Watch); },
            "As the debugger lists it: 'RAM 0180-0189 w', 'R05 rw', 'KC w'.")
        .def("__repr__", [](const WatchpointValue& w) {
            return "<Watchpoint " + std::to_string(w.Watch.Id) + " " + WatchText(w.Watch) + ", " +
                   std::to_string(w.Watch.Hits) + " hits>";
        });
    py::class_<StopReason>(m, "Stop", "Why the processor stopped (see last_stop).")
        .def_property_readonly(
            "kind", [](const StopReason& r) { return KindName(r.Kind); },
            "'breakpoint', 'watchpoint', 'step_over', 'step_out', 'run_to', 'step', 'pause', "
            "'step_count' or 'break_address'.")
        .def_readonly("id", &StopReason::Id, "The breakpoint's or watchpoint's id.")
        .def_readonly("pc", &StopReason::Pc, "PC at the stop.")
        .def_property_readonly(
            "area", [](const StopReason& r) { return AreaName(r.Area); },
            "Watchpoints: 'ram', 'reg' or 'special'.")
        .def_readonly("address", &StopReason::Address,
                      "Watchpoints: the byte address, register number or special register's "
                      "index.")
        .def_readonly("old", &StopReason::Old, "Watchpoints: the value before the step.")
        .def_readonly("new", &StopReason::New, "Watchpoints: the value after it.")
        .def_readonly("access_pc", &StopReason::AccessPc,
                      "Watchpoints: the address of the instruction that wrote or read.")
        .def_readonly("read", &StopReason::Read, "Watchpoints: a read rather than a write.")
        .def_property_readonly(
            "text", [](const StopReason& r) { return StopText(r, &g_symbols); },
            "The reason as the dump's STOP says it: 'breakpoint 2 at loop+3 (1A2B)'.")
        .def("__repr__",
             [](const StopReason& r) { return "<Stop " + StopText(r, &g_symbols) + ">"; });
    py::class_<CallFrame>(m, "Frame", "One return address on the stack (see call_stack).")
        .def_readonly("stack_address", &CallFrame::StackAddress,
                      "Where the return address lies in RAM (its high byte).")
        .def_readonly("return_address", &CallFrame::ReturnAddress, "Where the routine returns.")
        .def_readonly("call_site", &CallFrame::CallSite, "The call (or trp) that pushed it.")
        .def("__repr__", [](const CallFrame& f) {
            return "<Frame " + Hex4(f.CallSite) + " -> " + Hex4(f.ReturnAddress) + ">";
        });
    py::class_<HistoryEntry>(m, "HistoryEntry", "One executed step (see history).")
        .def_readonly("pc", &HistoryEntry::PC, "The address of the step's instruction.")
        .def_readonly("f", &HistoryEntry::F, "The flags after it.")
        .def_readonly("cycles", &HistoryEntry::Cycles, "Its cycles.")
        .def("__repr__", [](const HistoryEntry& h) {
            return "<HistoryEntry " + Hex4(h.PC) + " f=" + std::to_string(h.F) +
                   " cycles=" + std::to_string(h.Cycles) + ">";
        });

    m.def("set_breakpoint", &SetBreakpoint, py::arg("address"), py::arg("condition") = "",
          py::kw_only(), py::arg("ignore") = 0, py::arg("log") = py::none(),
          py::arg("callback") = py::none(), py::arg("enabled") = true,
          R"(Set a breakpoint at a code ADDRESS (a number, or a text: a symbol, name+N, or a
hexadecimal number) and return its id. It is hit when PC reaches the address after a step,
CONDITION (an expression: "R[5] == 3 && Z") holds and IGNORE earlier hits have passed. A hit
stops the run (run_ms and the rest return early; last_stop() says why), or with LOG (a line
with {expression} fields) appends a line to break_log() and goes on. With CALLBACK, the
callable decides: callback(bp: Breakpoint) is called on each hit and a true value stops,
anything else goes on. An exception in it stops the run and is raised by the run function.)");
    m.def("remove_breakpoint", &RemoveBreakpoint, py::arg("id"),
          "Remove a breakpoint (KeyError if there is none with that id).");
    m.def("enable_breakpoint", &EnableBreakpoint, py::arg("id"), py::arg("enabled") = true,
          "Enable or disable a breakpoint (KeyError if there is none with that id).");
    m.def("breakpoints", &BreakpointList, "The breakpoints, in the order set.");
    m.def("clear_breakpoints", &BreakRemoveAll, "Remove every breakpoint.");
    m.def(
        "break_log", [] { return BreakLog(); },
        "The lines of logging breakpoints, oldest first (the last 1000).");
    m.def("clear_break_log", &BreakLogClear, "Forget the lines of break_log().");

    m.def("set_watchpoint", &SetWatchpoint, py::arg("where"), py::kw_only(),
          py::arg("callback") = py::none(), py::arg("enabled") = true,
          R"(Set a watchpoint and return its id. WHERE as the debugger takes it: "ram:0180",
"ram:0180-0189:rw" (RAM, hexadecimal or symbols; :r, :w or :rw, w by default), "reg:r5" or
"reg:05-07" (the register file), or a special register's name ("KC", "IE:w"). A write is
seen when it changes the byte; reads are watched in RAM only. A hit stops the run, or with
CALLBACK the callable decides: callback(wp: Watchpoint, stop: Stop) gets the old and new
values in stop; a true value stops.)");
    m.def(
        "remove_watchpoint",
        [](int id) {
            if (!WatchRemove(id)) NoSuch("watchpoint", id);
        },
        py::arg("id"), "Remove a watchpoint (KeyError if there is none with that id).");
    m.def(
        "enable_watchpoint",
        [](int id, bool enabled) {
            if (!WatchEnable(id, enabled)) NoSuch("watchpoint", id);
        },
        py::arg("id"), py::arg("enabled") = true,
        "Enable or disable a watchpoint (KeyError if there is none with that id).");
    m.def("watchpoints", &WatchpointList, "The watchpoints, in the order set.");
    m.def("clear_watchpoints", &WatchRemoveAll, "Remove every watchpoint.");

    m.def("step_over", &StepOver, py::arg("timeout_ms") = 10000,
          R"(Step over the instruction at PC: a call (cal, scal) or trp runs until it has
returned, any other instruction is one step. Runs paced, as run_ms, for at most TIMEOUT_MS
of emulated time. True when it stopped (done, or at a breakpoint or watchpoint on the way:
see last_stop()); False when the time ran out.)");
    m.def("step_out", &StepOut, py::arg("timeout_ms") = 10000,
          R"(Run until a return takes the processor out of the routine it is in (or a breakpoint
or watchpoint stops it), for at most TIMEOUT_MS of emulated time. True when it stopped.)");
    m.def("run_to", &RunTo, py::arg("address"), py::arg("timeout_ms") = 10000,
          R"(Run until PC reaches ADDRESS (a number or a text as set_breakpoint takes) after at
least one step, or a breakpoint or watchpoint stops it, for at most TIMEOUT_MS of emulated
time. True when it stopped.)");
    m.def("last_stop", &Stop,
          R"(Why the last run stopped, as a Stop, or None when it ran to its end. Every run
(run_ms, run_steps, tap, type, step_over, step_out, run_to) forgets the stop before it.)");
    m.def(
        "call_stack", [](int maxDepth) { return CallStack(maxDepth); }, py::arg("max_depth") = 64,
        "The return addresses on the stack, innermost first, as Frame records.");
    m.def(
        "history", [](int count) { return History(count); }, py::arg("count") = kHistorySteps,
        "The last COUNT executed steps (at most 4096), oldest first, as HistoryEntry records; "
        "the steps run since keep_history() (none before it).");
    m.def("clear_history", &HistoryClear, "Forget the step history.");
    m.def(
        "keep_history",
        [](bool on) {
            g_keepHistory = on;
            ApplyHistoryChoice();
        },
        py::arg("on") = true,
        R"(Keep (or stop keeping) the history of the last 4096 steps for history(), from now on and
after every start-up. Off until asked for, as in velmora-headless without --history: keeping it
makes every step a little slower.)");
    ApplyHistoryChoice();

    m.def("load_symbols", &LoadSymbolFile, py::arg("path"),
          R"(Load a symbol file ("ADDRESS NAME" a line, the address as four hexadecimal digits),
replacing the symbols; returns how many. OSError if it cannot be read, ValueError for a
malformed line (the symbols are then empty).)");
    m.def(
        "add_symbol",
        [](const std::string& name, int64_t address) { g_symbols.Add(CodeAddress(address), name); },
        py::arg("name"), py::arg("address"), "Name a code address.");
    m.def(
        "clear_symbols", [] { g_symbols.Clear(); }, "Forget every symbol.");
    m.def("symbols", &SymbolDict, "The symbols as a dict of name to address, by address.");
    m.def(
        "describe", [](int64_t address) { return g_symbols.Describe(CodeAddress(address)); },
        py::arg("address"),
        "An address through the symbols: 'name', 'name+1A', or '' with no symbol near below.");
    m.def("evaluate", &Evaluate, py::arg("expression"),
          R"(The value of a debugger expression on the machine as it stands: registers, flags,
R[n], M[addr] or M[area:addr], numbers, symbols, and C's operators ("SP - 2", "R[5] & 0x0F").)");

    // Callables must not outlive the interpreter in the engine's tables.
    py::module_::import("atexit").attr("register")(py::cpp_function(&DropCallbacks));
}
