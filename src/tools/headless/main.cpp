// velmora-headless: runs the emulator without any window, driven from the command line.
// Start-up as the desktop program's (settings, images, power reset), then a state to continue
// from (--load-state), the --set stores, a run of --steps steps or --ms milliseconds of
// emulated time, then the requested outputs (--save-state among them). Breakpoints, watchpoints
// and logging breakpoints (--break, --watch, --log) end the run where they stop it; the
// outputs then show the machine at the stop.
#include "core/Cpu.h"
#include "core/Decode.h"
#include "core/Digits.h"
#include "core/Machine.h"
#include "core/SystemRegs.h"
#include "debug/Break.h"
#include "debug/Dis.h"
#include "debug/Symbols.h"
#include "host/Files.h"
#include "host/Report.h"
#include "host/RunLoop.h"
#include "host/Session.h"
#include "host/State.h"
#include "host/WorkFolder.h"
#include "tools/ToolArgs.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

void ReportWarning(std::string_view text) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

namespace {
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // an output file could not be written
constexpr int kExitUsage = 2;  // a bad option or value; nothing was run
// Times and counts beyond this are refused: it keeps every sum of two of them exact.
constexpr int64_t kLargestNumber = int64_t{1} << 52;

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Decimal digits only; refused if empty, signed or beyond kLargestNumber.
int64_t ParseCount(const std::string& text, const std::string& what) {
    if (text.empty()) throw UsageError(what + ": a number is missing");
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') throw UsageError(what + ": not a decimal number: " + text);
        value = value * 10 + (c - '0');
        if (value > kLargestNumber) throw UsageError(what + ": number too large: " + text);
    }
    return value;
}

// Decimal or 0x hexadecimal of any length; the result is the value modulo 2^64, which keeps
// every low bit that a register mask can select.
uint64_t ParseRegisterValue(std::string_view text, const std::string& option) {
    int base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) throw UsageError("--set " + option + ": a value is missing");
    uint64_t value = 0;
    for (const char c : text) {
        const int digit = DigitValue(c);
        if (digit >= base) throw UsageError("--set " + option + ": not a number");
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    return value;
}

struct SetCommand {
    SpecialReg target;
    uint64_t value;
};

// NAME is a special register as the debug window names and masks it (16-bit, 8-bit, 7-bit).
SetCommand ParseSet(const std::string& text) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos) throw UsageError("--set " + text + ": expected NAME=VALUE");
    std::string name = text.substr(0, eq);
    for (char& ch : name)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    for (const SpecialRegInfo& r : kSpecialRegTable)
        if (name == r.Name)
            return {r.Reg, ParseRegisterValue(std::string_view(text).substr(eq + 1), text)};
    throw UsageError("--set " + text + ": unknown register " + text.substr(0, eq));
}

void ApplySet(const SetCommand& s) {
    // The value is taken modulo 2^64; the mask keeps only bits below the register's width.
    SpecialRegStore(s.target, static_cast<uint32_t>(s.value & 0xFFFF));
}

// A --key option: key Code pressed at Time ms, released Hold ms later.
struct KeyOption {
    int64_t Time;
    int32_t Code;
    int64_t Hold;
};

KeyOption ParseKey(const std::string& text) {
    const size_t first = text.find(':');
    const size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos || text.find(':', second + 1) != std::string::npos)
        throw UsageError("--key " + text + ": expected T:CODE:HOLD");
    const std::string what = "--key " + text;
    const int64_t time = ParseCount(text.substr(0, first), what);
    const int64_t code = ParseCount(text.substr(first + 1, second - first - 1), what);
    const int64_t hold = ParseCount(text.substr(second + 1), what);
    if (code > INT32_MAX) throw UsageError(what + ": key code too large");
    return {time, static_cast<int32_t>(code), hold};
}

struct Options {
    std::vector<std::string> Sets, Keys, Breaks, Watches, Logs;
    std::string Steps, Ms, Type, TracePath, PngPath, LoadStatePath, SaveStatePath, SymbolsPath,
        History;
    bool Dump = false, Save = false, LcdText = false;
};

// The break engine's options, read once the symbols are loaded (they may name addresses).
void ApplyBreakOptions(const Options& o) {
    std::string error;
    for (const std::string& text : o.Breaks) {
        Breakpoint bp;
        if (!BreakParse(text, bp, error) || BreakAdd(bp, error) == 0)
            throw UsageError("--break " + text + ": " + error);
    }
    for (const std::string& text : o.Watches) {
        Watchpoint wp;
        if (!WatchParse(text, wp, error) || WatchAdd(wp, error) == 0)
            throw UsageError("--watch " + text + ": " + error);
    }
    for (const std::string& text : o.Logs) {
        const size_t colon = text.find(':');
        if (colon == std::string::npos)
            throw UsageError("--log " + text + ": expected ADDR:FORMAT");
        Breakpoint bp;
        if (!ParseAddress(text.substr(0, colon), g_symbols, bp.Address, error))
            throw UsageError("--log " + text + ": " + error);
        bp.Action = BreakAction::Log;
        bp.LogFormat = text.substr(colon + 1);
        if (BreakAdd(bp, error) == 0) throw UsageError("--log " + text + ": " + error);
    }
}

// The last n steps: address (and name), instruction, f after it, cycles.
void PrintHistory(int64_t n) {
    const AddressNamer namer = g_symbols.ExactNamer();
    for (const HistoryEntry& h : History(static_cast<int>(std::min<int64_t>(n, kHistorySteps)))) {
        const std::string where = g_symbols.Describe(h.PC);
        const std::string row = ListingRow(Decode(h.PC), g_symbols.Empty() ? nullptr : &namer);
        std::printf("%-40s %-20s f=%02X %u\n", row.c_str(), where.c_str(),
                    static_cast<unsigned>(h.F), static_cast<unsigned>(h.Cycles));
    }
}

void Validate(const CLI::App& app, const Options& o) {
    const bool steps = app.count("--steps") > 0, ms = app.count("--ms") > 0;
    if (steps && ms) throw UsageError("--steps and --ms cannot be used together");
    if (!ms && app.count("--key") > 0) throw UsageError("--key needs --ms");
    if (!ms && app.count("--type") > 0) throw UsageError("--type needs --ms");
    // The parser would take a following option as the file name; write ./-name for such a file.
    for (const auto& [option, path] : {std::pair{"--trace", &o.TracePath},
                                       {"--lcd-png", &o.PngPath},
                                       {"--load-state", &o.LoadStatePath},
                                       {"--save-state", &o.SaveStatePath}})
        if (app.count(option) > 0 && (path->empty() || (*path)[0] == '-'))
            throw UsageError(std::string(option) + ": a FILE name is missing");
}
} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Runs the Velmora emulator without a window, in the current directory: reads "
                 "velmora.ini and the images, resets, applies the --set stores, runs, and writes "
                 "the requested outputs.",
                 "velmora-headless"};
    Options o;
    app.add_option("--set", o.Sets,
                   "Store VALUE (decimal or 0x hex, masked) into a special "
                   "register: PC LA KC KI IE DS AS PD PE S4 S5 S6 S7 S8 TM F")
        ->type_name("NAME=VALUE");
    app.add_option("--steps", o.Steps, "Run exactly N steps, unpaced")->type_name("N");
    app.add_option("--ms", o.Ms,
                   "Run N ms of emulated time: N/10 run ticks, a refresh tick "
                   "after every 5th")
        ->type_name("N");
    app.add_option("--key", o.Keys,
                   "With --ms: press key CODE at T ms and release it HOLD ms "
                   "later")
        ->type_name("T:CODE:HOLD");
    app.add_option("--type", o.Type,
                   "With --ms: type TEXT through the key map, character i at "
                   "500+200i ms for 100 ms; \\n is Enter")
        ->type_name("TEXT");
    app.add_flag("--dump", o.Dump, "Print the machine state as one JSON line");
    app.add_flag("--save", o.Save, "Write ram.bin and register.bin as at close");
    app.add_option("--trace", o.TracePath, "Write one line per step: index PC f cycles")
        ->type_name("FILE");
    app.add_option("--lcd-png", o.PngPath, "Redraw and write the 192x128 LCD image as PNG")
        ->type_name("FILE");
    app.add_flag("--lcd-text", o.LcdText, "Print the 64 display lines, # dark, . light");
    app.add_option("--load-state", o.LoadStatePath,
                   "Continue from a state file: loaded after the start-up, before the --set "
                   "stores; --key and --type times count from it")
        ->type_name("FILE");
    app.add_option("--save-state", o.SaveStatePath,
                   "Write the machine as a state file after the run")
        ->type_name("FILE");
    app.add_option("--break", o.Breaks,
                   "Stop the run when PC reaches ADDR (hex or a symbol, name+N) and COND holds")
        ->type_name("ADDR[:COND]");
    app.add_option("--watch", o.Watches,
                   "Stop the run when the bytes are written (w, the default) or read (r): AREA "
                   "is ram or reg; or a special register alone (KC, IE, S6, ...)")
        ->type_name("AREA:ADDR[-END][:r|w|rw]");
    app.add_option("--log", o.Logs,
                   "Print a line when PC reaches ADDR and go on; {PC}, {R[5]}, {M[3:0x180]} "
                   "fields are filled in")
        ->type_name("ADDR:FORMAT");
    app.add_option("--symbols", o.SymbolsPath,
                   "Read the symbol file FILE (default: symbols.sym, when the folder has one)")
        ->type_name("FILE");
    app.add_option("--history", o.History, "After the run, print the last N steps (up to 4096)")
        ->type_name("N");
    AddVersionFlag(app, "velmora-headless");

    std::vector<SetCommand> sets;
    std::vector<KeyOption> keys;
    int64_t steps = 0, ms = 0, history = 0;
    try {
        app.parse(argc, argv);
        Validate(app, o);
        for (const std::string& s : o.Sets) sets.push_back(ParseSet(s));
        for (const std::string& k : o.Keys) keys.push_back(ParseKey(k));
        if (app.count("--steps")) steps = ParseCount(o.Steps, "--steps");
        if (app.count("--ms")) ms = ParseCount(o.Ms, "--ms");
        if (app.count("--history")) history = ParseCount(o.History, "--history");
    } catch (const CLI::CallForHelp&) {
        std::printf("%s", app.help().c_str());
        return kExitOk;
    } catch (const CLI::CallForVersion& e) {
        std::printf("%s\n", e.what());
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "velmora-headless: %s\n%s", e.what(), app.help().c_str());
        return kExitUsage;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "velmora-headless: %s\n%s", e.what(), app.help().c_str());
        return kExitUsage;
    }

    // The symbols first: the break options may name addresses. The options are read here, before
    // anything runs, so that a bad one stops the program as the other bad options do; the
    // start-up (which resets the machine, the break engine too) then takes them again.
    std::string error;
    if (!o.SymbolsPath.empty()) {
        if (!LoadSymbols(o.SymbolsPath, error)) {
            std::fprintf(stderr, "velmora-headless: %s\n", error.c_str());
            return kExitFailed;
        }
    } else if (std::FILE* f = std::fopen(kDefaultSymbolFile, "rb")) {
        std::fclose(f);
        if (!LoadSymbols(kDefaultSymbolFile, error))
            std::fprintf(stderr, "velmora-headless: %s\n", error.c_str());
    }
    try {
        ApplyBreakOptions(o);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "velmora-headless: %s\n%s", e.what(), app.help().c_str());
        return kExitUsage;
    }

    std::FILE* trace = nullptr;
    if (!o.TracePath.empty()) {
        trace = std::fopen(o.TracePath.c_str(), "w");
        if (!trace) {
            std::fprintf(stderr, "velmora-headless: cannot write the trace file %s: %s\n",
                         o.TracePath.c_str(), std::strerror(errno));
            return kExitFailed;
        }
        static char traceBuffer[1 << 16];
        std::setvbuf(trace, traceBuffer, _IOFBF, sizeof traceBuffer);
    }

    // Start-up as the desktop program's, in the current directory.
    StartInFolder({});
    ApplyBreakOptions(o); // read without fault above
    // The step history only when it is to be printed: the run is then as fast as before.
    HistoryEnable(history > 0);
    SetBreakLogHook([](const std::string& line) { std::printf("%s\n", line.c_str()); });
    if (!o.LoadStatePath.empty()) {
        // The counts of the run that saved the state go on (the dump's STEPS and CYCLES).
        RunCounts counts;
        if (!LoadStateFile(o.LoadStatePath, &counts)) {
            if (trace) std::fclose(trace);
            return kExitFailed;
        }
        g_run.StepsRun = counts.Steps;
        g_run.CyclesRun = counts.Cycles;
    }
    for (const SetCommand& s : sets) ApplySet(s);
    for (size_t i = 0; i < keys.size(); ++i)
        ScheduleKey(keys[i].Time, keys[i].Code, keys[i].Hold, static_cast<int>(i));
    ScheduleType(o.Type, kTypeStartMs);

    g_session.Trace = trace;
    if (app.count("--steps"))
        RunSteps(steps);
    else if (app.count("--ms"))
        RunMs(ms);
    g_session.Trace = nullptr;
    SetBreakLogHook(nullptr);
    if (LastStop().Kind != StopKind::None)
        std::fprintf(stderr, "velmora-headless: stopped: %s\n",
                     StopText(LastStop(), &g_symbols).c_str());

    int status = kExitOk;
    if (trace && std::fclose(trace) != 0) {
        std::fprintf(stderr, "velmora-headless: cannot write the trace file %s\n",
                     o.TracePath.c_str());
        status = kExitFailed;
    }
    if (o.Dump) std::printf("%s\n", DumpJson().c_str());
    if (o.LcdText) std::fputs(LcdText().c_str(), stdout);
    if (history > 0) PrintHistory(history);
    std::fflush(stdout);
    if (!o.PngPath.empty() && !WriteLcdPng(o.PngPath)) {
        std::fprintf(stderr, "velmora-headless: cannot write the PNG file %s\n", o.PngPath.c_str());
        status = kExitFailed;
    }
    if (o.Save && !SaveImages()) status = kExitFailed;
    if (!o.SaveStatePath.empty() &&
        !SaveStateFile(o.SaveStatePath, RunCounts{g_run.StepsRun, g_run.CyclesRun}))
        status = kExitFailed;
    return status;
}
