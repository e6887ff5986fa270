// velmora-bench: how fast the emulator runs. Every figure is the median of several runs.
//
// Times are thread CPU time (see Clock below). Workloads are firmware images (rom0.bin, rom1.bin)
// in sub-folders of the workload folder, assembled by the build from tests/bench/*.asm; the default
// firmware is measured too when its images are found. Each workload runs through the real run loop
// (OnRunTimer) with a large grant; a second pass records the PC of every step, which a bare
// fetch-and-dispatch loop then replays: it consumes each instruction's bytes and charges its base
// cost with empty handler bodies, the structural floor the real core is compared with.
#include "KeyMapTable.h"
#include "core/Cpu.h"
#include "core/Fetch.h"
#include "core/Machine.h"
#include "debug/Break.h"
#include "exec/Handlers.h"
#include "host/Rewind.h"
#include "host/RunLoop.h"
#include "host/State.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include "tools/ToolArgs.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifndef VELMORA_BENCH_WORKLOADS
#define VELMORA_BENCH_WORKLOADS "."
#endif
#ifndef VELMORA_BENCH_FIRMWARE
#define VELMORA_BENCH_FIRMWARE ""
#endif

void ReportWarning(std::string_view text) {
    std::fprintf(stderr, "%.*s\n", int(text.size()), text.data());
}

namespace {
namespace fs = std::filesystem;

// Times are the CPU time of this thread, so that other work on the machine (builds, other
// programs) does not count against the emulator; sleeping does not count either.
struct Clock {
    using time_point = double;
    static time_point now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
    }
};

double Seconds(Clock::time_point a, Clock::time_point b) {
    return b - a;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

bool ReadFile(const fs::path& path, uint8_t* dst, size_t size) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.read(reinterpret_cast<char*>(dst), static_cast<std::streamsize>(size));
    return true;
}

struct Workload {
    std::string name, description;
    fs::path dir;
    std::string keys; // typed through the key map, one character every 200 ms
};

// A machine ready to run a workload: images loaded, powered up as the desktop program does.
void Boot(const Workload& w) {
    ResetMachine();
    ReadFile(w.dir / "rom0.bin", g_cpu.Rom, sizeof g_cpu.Rom);
    ReadFile(w.dir / "rom1.bin", g_cpu.Ext, sizeof g_cpu.Ext);
    // The face's own key map, as data/ generates keymap.dat from it.
    const auto keyMap = BuildKeyMap();
    std::copy(keyMap.begin(), keyMap.end(), g_kbd.KeyMap);
    g_run.OscFreq = 2000;
    StartEmulation();
}

// Key events of a typed sequence, applied between ticks of 10 emulated ms.
void ApplyKeys(const Workload& w, int tick) {
    if (w.keys.empty()) return;
    const int t = tick * kRunIntervalMs - 500;
    if (t < 0) return;
    const size_t i = static_cast<size_t>(t / 200) % w.keys.size();
    const int phase = t % 200;
    if (phase == 0)
        KeyboardChar(static_cast<unsigned char>(w.keys[i]));
    else if (phase == 100)
        KeyboardKeyUp();
}

// Boots the workload and runs `ticks` calls of the run loop with a grant of kBenchGrant cycles.
constexpr int32_t kBenchGrant = 2'000'000; // cycles per OnRunTimer call while measuring
void RunTicks(const Workload& w, int ticks) {
    Boot(w);
    g_run.CyclesPerTick = kBenchGrant;
    for (int i = 0; i < ticks; ++i) {
        ApplyKeys(w, i);
        OnRunTimer();
    }
}

// --- The bare loop --------------------------------------------------------------------------
// Bytes and base cycles of each opcode index, as the opcode map gives them (runs at one byte).
struct FloorCost {
    uint8_t bytes, cycles;
};

constexpr FloorCost FloorCostOf(int index) {
    if (index >= 640) {
        const int b0 = index - 480, hi = b0 >> 4, cc = b0 & 15;
        switch (hi) {
        case 0xA: return cc == 15 ? FloorCost{1, 0} : FloorCost{3, 4};   // off, jmp
        case 0xB: return cc == 15 ? FloorCost{1, 0} : FloorCost{3, 8};   // wai, cal
        case 0xC: return cc == 15 ? FloorCost{0, 10} : FloorCost{1, 10}; // rti, rtn
        case 0xD: return cc < 8 ? FloorCost{3, 4} : FloorCost{2, 8};     // ldw, sbw/adw
        case 0xE: return cc == 15 ? FloorCost{1, 4} : FloorCost{2, 4};   // nop, sjmp
        default: return cc == 15 ? FloorCost{1, 10} : FloorCost{2, 8};   // trp, scal
        }
    }
    const int b0 = index >> 2, column = index & 3;
    if (b0 == 0x30 && column < 2) return {1, 4};
    if (b0 < 0x40) return {3, 4};
    if (b0 < 0x60) return {2, 8};
    if (b0 < 0x68) return {2, 4};
    if (b0 < 0x70) return {2, 10};
    if (b0 < 0x78) return {3, 4};
    if (b0 < 0x80) return {3, 8};
    if (b0 < 0x88) return {3, 10};
    if (b0 < 0x90) return {2, 4};
    if (b0 < 0x98) return {3, 8};
    if (b0 < 0x9E) return {2, 4};
    return {2, 12};
}

// The bytes are read through the same primitives as a handler reads them, and stored to a
// volatile sink so that the reads stay (a plain store: no dependence from one step to the next).
volatile uint8_t g_floorSink = 0;
template <int kBytes, int kCycles> void FloorHandler(const OpArg&) {
    static_assert(kBytes <= 3);
    InstructionStart();
    // Written out rather than as a loop, as the handlers read their bytes: the optimiser then
    // keeps what InstructionStart tells it.
    uint8_t bytes = 0;
    if constexpr (kBytes >= 1) bytes ^= NextByte();
    if constexpr (kBytes >= 2) bytes ^= NextByte();
    if constexpr (kBytes >= 3) bytes ^= NextByte();
    g_floorSink = bytes;
    g_cpu.StepCycles += kCycles;
}

// Entries shaped as the real dispatch table's (handler and argument), called as the real
// dispatcher calls them.
struct FloorEntry {
    Handler handler;
    OpArg arg = {};
};
template <size_t... I>
constexpr std::array<FloorEntry, sizeof...(I)> BuildFloor(std::index_sequence<I...>) {
    return {FloorEntry{&FloorHandler<FloorCostOf(I).bytes, FloorCostOf(I).cycles>}...};
}
constexpr auto kFloor = BuildFloor(std::make_index_sequence<kOpcodeIndices>{});
static_assert(kFloor.size() == kOpcodeIndices);

// --- Measurements ---------------------------------------------------------------------------
struct Throughput {
    double cyclesPerSecond = 0, nsPerStep = 0, floorCyclesPerSecond = 0, floorNsPerStep = 0;
    double ratio = 0, ratioLow = 0, ratioHigh = 0; // core / floor per step: median, range
    long long steps = 0;
};

std::vector<uint16_t> g_trace;
long long g_traceSteps = 0;
void RecordStep(uint16_t pcBefore) {
    if (g_trace.size() < g_trace.capacity()) g_trace.push_back(pcBefore);
    ++g_traceSteps;
}

Throughput Measure(const Workload& w, int ticks, int runs) {
    Throughput t;
    // Calibration pass: count the steps and record their PCs.
    g_trace.clear();
    g_trace.reserve(8'000'000);
    g_traceSteps = 0;
    StepHook = RecordStep;
    RunTicks(w, ticks);
    StepHook = nullptr;
    t.steps = g_traceSteps;
    const double cycles = double(ticks) * kBenchGrant - g_cpu.CycleBalance;

    // The core and the floor run in turns, so that both see the machine in the same state (the
    // shared build machine's speed drifts over a measurement); the ratio is the median of the
    // ratios of each pair.
    std::vector<double> times, floorTimes, ratios;
    double floorCycles = 0;
    const long long traced = static_cast<long long>(g_trace.size());
    const long long replays = std::max(1LL, (t.steps + traced / 2) / std::max(1LL, traced));
    const double floorSteps = double(replays * traced);
    for (int r = 0; r < runs; ++r) {
        auto start = Clock::now();
        RunTicks(w, ticks);
        const double core = Seconds(start, Clock::now());

        // The bare loop over the recorded steps, replayed as often as it takes to make about as
        // many steps as the core's run, so that both last about as long.
        Boot(w);
        long long total = 0;
        start = Clock::now();
        for (long long k = 0; k < replays; ++k) {
            for (uint16_t pc : g_trace) {
                g_cpu.PC = pc;
                g_cpu.StepCycles = 0;
                const int index = FetchInstruction(); // what ExecuteInstruction does
                g_cpu.StepDir = 1;
                const FloorEntry& entry = kFloor[index];
                entry.handler(entry.arg);
                total += g_cpu.StepCycles;
            }
        }
        const double floor = Seconds(start, Clock::now());
        floorCycles = double(total);

        times.push_back(core);
        floorTimes.push_back(floor);
        ratios.push_back((core / double(t.steps)) / (floor / floorSteps)); // per step
    }
    const double s = Median(times);
    t.cyclesPerSecond = cycles / s;
    t.nsPerStep = s / double(t.steps) * 1e9;
    const double fs = Median(floorTimes);
    t.floorNsPerStep = fs / floorSteps * 1e9;
    t.floorCyclesPerSecond = floorCycles / fs;
    t.ratio = Median(ratios);
    t.ratioLow = *std::min_element(ratios.begin(), ratios.end());
    t.ratioHigh = *std::max_element(ratios.begin(), ratios.end());
    return t;
}

// Host time of one 10 ms tick at oscFreq, back to back or paced 10 ms apart (microseconds).
double TickMicros(const Workload& w, int32_t oscFreq, int ticks, bool paced) {
    Boot(w);
    g_run.OscFreq = oscFreq;
    g_run.CyclesPerTick = ComputeCyclesPerTick(oscFreq);
    for (int i = 0; i < 50; ++i) OnRunTimer(); // past the power-up
    std::vector<double> times;
    for (int i = 0; i < ticks; ++i) {
        ApplyKeys(w, 50 + i);
        if (paced) std::this_thread::sleep_for(std::chrono::milliseconds(kRunIntervalMs));
        const auto start = Clock::now();
        OnRunTimer();
        times.push_back(Seconds(start, Clock::now()) * 1e6);
    }
    return Median(times);
}

double RedrawMicros(bool changeEverything, int calls) {
    ResetMachine();
    g_cpu.S6 = 1;
    LcdRedraw();
    std::vector<double> times;
    for (int i = 0; i < calls; ++i) {
        if (changeEverything)
            for (uint8_t& b : g_lcd.FrameBuffer) b = static_cast<uint8_t>(~b);
        const auto start = Clock::now();
        LcdRedraw();
        times.push_back(Seconds(start, Clock::now()) * 1e6);
    }
    return Median(times);
}

// The fastest oscillator (kHz) whose 10 ms tick still takes less than 9 ms of host time back
// to back, leaving a millisecond for the timer's hand-over and the refresh.
int32_t FastestRealTime(const Workload& w, double cyclesPerSecond) {
    int32_t lo = 2000, hi = static_cast<int32_t>(std::min(cyclesPerSecond / 1000 * 1.5, 1e8));
    while (hi - lo > std::max(lo / 50, 1)) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (TickMicros(w, mid, 15, false) < 9000)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

// --- The step history -----------------------------------------------------------------------
// Host time of `ticks` ticks of the desktop program's size (10 ms at 2000 kHz), keys typed as
// for the other figures, with the step history on or off.
double HistoryRun(const Workload& w, int ticks, bool on) {
    Boot(w);
    g_run.CyclesPerTick = ComputeCyclesPerTick(2000);
    RewindEnable(on);
    const auto start = Clock::now();
    for (int i = 0; i < ticks; ++i) {
        ApplyKeys(w, i);
        OnRunTimer();
    }
    const double t = Seconds(start, Clock::now());
    RewindEnable(false);
    return t;
}

struct Ratio {
    double median = 0, low = 0, high = 0; // of the pairs' ratios
    double fastest = 0;                   // fastest on / fastest off
};

// On against off in turns, so that both halves of a pair see the machine in the same state; on
// the shared machine the fastest runs are the least disturbed, so their ratio is given too.
Ratio HistoryRatio(const Workload& w, int ticks, int pairs) {
    std::vector<double> ratios, offs, ons;
    for (int r = 0; r < pairs; ++r) {
        offs.push_back(HistoryRun(w, ticks, false));
        ons.push_back(HistoryRun(w, ticks, true));
        ratios.push_back(ons.back() / offs.back());
    }
    return {Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
            *std::max_element(ratios.begin(), ratios.end()),
            *std::min_element(ons.begin(), ons.end()) /
                *std::min_element(offs.begin(), offs.end())};
}

// Median microseconds of one call of f, timed in batches.
template <typename F> double MicrosPerCall(F f, int batches, int perBatch) {
    std::vector<double> times;
    for (int b = 0; b < batches; ++b) {
        const auto start = Clock::now();
        for (int i = 0; i < perBatch; ++i) f();
        times.push_back(Seconds(start, Clock::now()) * 1e6 / perBatch);
    }
    return Median(times);
}

void HistoryFigures(const std::vector<Workload>& list, int runs, bool quick) {
    const int ticks = quick ? 50 : 1000, pairs = quick ? 1 : std::max(15, 3 * runs);
    std::printf("\nstep history on against off, %d pairs of %d ticks of 20000 cycles: time ratio "
                "(median of the pairs, their range; fastest on / fastest off)\n",
                pairs, ticks);
    for (const Workload& w : list) {
        if (!fs::exists(w.dir / "rom0.bin") && !fs::exists(w.dir / "rom1.bin")) continue;
        const Ratio r = HistoryRatio(w, ticks, pairs);
        std::printf("  %s %.3f (%.3f-%.3f; %.3f)\n", w.name.c_str(), r.median, r.low, r.high,
                    r.fastest);
    }

    // The costs of one image and one state, on the first workload after a second of running.
    const auto found = std::find_if(list.begin(), list.end(), [](const Workload& w) {
        return fs::exists(w.dir / "rom0.bin") || fs::exists(w.dir / "rom1.bin");
    });
    if (found == list.end()) return;
    Boot(*found);
    g_run.CyclesPerTick = ComputeCyclesPerTick(2000);
    RewindEnable(true);
    for (int i = 0; i < 100; ++i) OnRunTimer();
    std::vector<uint8_t> image(MachineImageBytes());
    const int batches = quick ? 3 : 50;
    const double capture = MicrosPerCall([&] { CaptureMachine(image.data()); }, batches, 200);
    const double restore = MicrosPerCall([&] { RestoreMachine(image.data()); }, batches, 200);
    const std::vector<uint8_t> state = SaveState();
    const double save = MicrosPerCall([] { (void)SaveState(); }, batches, 20);
    const double load = MicrosPerCall([&] { (void)LoadState(state); }, batches, 20);
    std::printf("machine image (%zu bytes): capture %.2f us, restore %.2f us; state file (%zu "
                "bytes): save %.1f us, load %.1f us\n",
                image.size(), capture, restore, state.size(), save, load);

    // Step back from the middle of a tick, a second into the run: a restore and a replay.
    RewindEnable(true);
    for (int i = 0; i < 105; ++i) OnRunTimer();
    DebuggerShown();
    std::vector<double> backs;
    for (int i = 0; i < (quick ? 5 : 200); ++i) {
        const auto start = Clock::now();
        if (!StepBack().empty()) break;
        backs.push_back(Seconds(start, Clock::now()) * 1e3);
    }
    std::printf("step back: %.2f ms (median of %zu); history memory %.1f MB\n", Median(backs),
                backs.size(), double(RewindMemoryBytes()) / (1 << 20));
    RewindEnable(false);
    g_run.StopRequest = 0;
}

// --- The debugger ---------------------------------------------------------------------------
// Host time of ticks of the desktop program's size, as HistoryRun with the rewind history off,
// in one of three setups: the run loop as it was (the debugger's step history off), nothing set
// (the step history on, as always), or ten breakpoints and two watchpoints set. Their hooks
// let every hit go on, so the run is the same whatever the workload reaches.
enum class DebugSetup { HistoryOff, NothingSet, Armed };
double DebugRun(const Workload& w, int ticks, DebugSetup setup) {
    Boot(w);
    g_run.CyclesPerTick = ComputeCyclesPerTick(2000);
    HistoryEnable(setup != DebugSetup::HistoryOff);
    if (setup == DebugSetup::Armed) {
        std::string error;
        for (int i = 0; i < 10; ++i) {
            Breakpoint bp;
            bp.Address = static_cast<uint16_t>(0x0040 + 0x123 * i);
            bp.Condition = "R[5] == 0x37 && PC != 0";
            bp.OnHit = [](const Breakpoint&) { return false; };
            BreakAdd(bp, error);
        }
        Watchpoint ram, reg;
        ram.First = 0x0100;
        ram.Last = 0x01FF;
        ram.OnHit = [](const Watchpoint&, const StopReason&) { return false; };
        reg.Area = WatchArea::Register;
        reg.First = 0x10;
        reg.Last = 0x17;
        reg.OnHit = ram.OnHit;
        WatchAdd(ram, error);
        WatchAdd(reg, error);
    }
    const auto start = Clock::now();
    for (int i = 0; i < ticks; ++i) {
        ApplyKeys(w, i);
        OnRunTimer();
    }
    const double t = Seconds(start, Clock::now());
    ResetMachine(); // drops the breakpoints, the history on again
    return t;
}

// Setup against the loop as it was, in turns (as HistoryRatio).
Ratio DebugRatio(const Workload& w, int ticks, int pairs, DebugSetup setup, DebugSetup base) {
    std::vector<double> ratios, bases, ons;
    for (int r = 0; r < pairs; ++r) {
        bases.push_back(DebugRun(w, ticks, base));
        ons.push_back(DebugRun(w, ticks, setup));
        ratios.push_back(ons.back() / bases.back());
    }
    return {Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
            *std::max_element(ratios.begin(), ratios.end()),
            *std::min_element(ons.begin(), ons.end()) /
                *std::min_element(bases.begin(), bases.end())};
}

void DebuggerFigures(const std::vector<Workload>& list, int runs, bool quick) {
    const int ticks = quick ? 50 : 1000, pairs = quick ? 1 : std::max(runs, 5);
    std::printf("\ndebugger, %d pairs of %d ticks of 20000 cycles: time ratio (range; fastest "
                "against fastest)\n",
                pairs, ticks);
    std::printf("  %-3s %-36s %-36s\n", "", "nothing set / step history off",
                "10 breakpoints, 2 watchpoints / nothing");
    for (const Workload& w : list) {
        if (!fs::exists(w.dir / "rom0.bin") && !fs::exists(w.dir / "rom1.bin")) continue;
        const Ratio n = DebugRatio(w, ticks, pairs, DebugSetup::NothingSet, DebugSetup::HistoryOff);
        const Ratio a = DebugRatio(w, ticks, pairs, DebugSetup::Armed, DebugSetup::NothingSet);
        std::printf("  %-3s %.3f (%.3f-%.3f; %.3f)%-10s %.3f (%.3f-%.3f; %.3f)\n", w.name.c_str(),
                    n.median, n.low, n.high, n.fastest, "", a.median, a.low, a.high, a.fastest);
    }
}

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown";
}
} // namespace

int main(int argc, char** argv) {
    CLI::App app{"velmora-bench: speed figures of the emulator"};
    std::string workloads = VELMORA_BENCH_WORKLOADS, firmware = VELMORA_BENCH_FIRMWARE;
    int runs = 5, ticks = 150;
    bool quick = false, profile = false;
    std::string only, history;
    app.add_option("--workloads", workloads, "folder with one sub-folder of images per workload");
    app.add_option("--firmware", firmware, "folder with the default firmware's images and key map");
    app.add_option("--runs", runs, "runs per figure (the median is printed)")
        ->check(CLI::Range(1, 99));
    app.add_option("--ticks", ticks, "OnRunTimer calls of 2,000,000 cycles per run")
        ->check(CLI::Range(1, 100000));
    app.add_flag("--quick", quick, "fewer runs and ticks, for a smoke test");
    app.add_flag("--profile", profile,
                 "only run the workloads named by --only through the run loop, --ticks calls, "
                 "with nothing else measured (for profilers and instruction counters)");
    app.add_option("--history", history,
                   "with --profile: ticks of the desktop program's size instead (20,000 cycles, "
                   "100 of them for each of --ticks), with the step history on or off")
        ->check(CLI::IsMember({"on", "off"}));
    bool debuggerOnly = false;
    app.add_flag("--debugger", debuggerOnly,
                 "only the debugger's figures (step history, breakpoints and watchpoints)");
    app.add_option("--only", only,
                   "letters of the workloads to measure (for example ab); the "
                   "tick, redraw and real-time figures need workload a");
    if (const auto status = ParseToolArgs(app, "velmora-bench", argc, argv)) return *status;
    if (quick) {
        runs = 1;
        ticks = std::min(ticks, 5);
    }

    std::vector<Workload> list = {
        {"a", "instruction mix, internal ROM, display and timer on",
         fs::path(workloads) / "mix-internal", ""},
        {"b", "the same mix from external memory", fs::path(workloads) / "mix-external", ""},
        {"c", "block transfers and searches", fs::path(workloads) / "blocks", ""},
        {"d", "idle wai loop woken by the timer", fs::path(workloads) / "idle", ""},
    };
    if (!firmware.empty() && fs::exists(fs::path(firmware) / "rom0.bin"))
        list.push_back({"e", "default firmware computing a long key sequence", firmware,
                        "12345678*87654321=/7=+0.5=%-99999=*3.14159=/0=\033"});

    if (!only.empty())
        std::erase_if(list,
                      [&](const Workload& w) { return only.find(w.name) == std::string::npos; });
    if (profile) {
        for (const Workload& w : list) {
            if (history.empty()) {
                RunTicks(w, ticks);
                std::printf("%s: %d x %d cycles run\n", w.name.c_str(), ticks, kBenchGrant);
            } else {
                HistoryRun(w, ticks * 100, history == "on");
                std::printf("%s: %d x 20000 cycles run, step history %s\n", w.name.c_str(),
                            ticks * 100, history.c_str());
            }
        }
        return 0;
    }
    std::printf("velmora-bench on %s (%u hardware threads), %s, %s%s\n", CpuModel().c_str(),
                std::thread::hardware_concurrency(), __VERSION__,
#ifdef NDEBUG
                "optimised",
#else
                "debug",
#endif
#ifdef VELMORA_BENCH_LTO
                " with link-time optimisation"
#else
                ""
#endif
    );
    if (debuggerOnly) {
        DebuggerFigures(list, runs, quick);
        return 0;
    }
    std::printf("median of %d runs of %d x %d cycles each\n\n", runs, ticks, kBenchGrant);
    std::printf("%-2s %-52s %10s %9s %10s %9s %6s %11s\n", "", "workload", "Mcycles/s", "ns/instr",
                "floor Mc/s", "floor ns", "ratio", "ratio range");
    double mixThroughput = 0;
    const Workload* mix = nullptr;
    for (const Workload& w : list) {
        if (!fs::exists(w.dir / "rom0.bin") && !fs::exists(w.dir / "rom1.bin")) {
            std::printf("%-2s %-52s (images not found in %s)\n", w.name.c_str(),
                        w.description.c_str(), w.dir.c_str());
            continue;
        }
        const Throughput t = Measure(w, w.name == "e" ? ticks * 4 : ticks, runs);
        std::printf("%-2s %-52s %10.1f %9.2f %10.1f %9.2f %6.2f %5.2f-%4.2f\n", w.name.c_str(),
                    w.description.c_str(), t.cyclesPerSecond / 1e6, t.nsPerStep,
                    t.floorCyclesPerSecond / 1e6, t.floorNsPerStep, t.ratio, t.ratioLow,
                    t.ratioHigh);
        if (w.name == "a") {
            mixThroughput = t.cyclesPerSecond;
            mix = &w;
        }
    }
    if (!list.empty()) HistoryFigures(list, runs, quick);
    if (!list.empty()) DebuggerFigures(list, runs, quick);
    if (!mix) return 0;
    const int tickRuns = quick ? 20 : 2000;
    std::printf("\none 10 ms tick at 2000 kHz, workload a: %.2f us back to back, %.2f us paced 10 "
                "ms apart\n",
                TickMicros(*mix, 2000, tickRuns, false),
                TickMicros(*mix, 2000, quick ? 5 : 100, true));
    if (list.back().name == "e")
        std::printf("one 10 ms tick at 2000 kHz, workload e: %.2f us back to back, %.2f us paced "
                    "10 ms apart\n",
                    TickMicros(list.back(), 2000, tickRuns, false),
                    TickMicros(list.back(), 2000, quick ? 5 : 100, true));
    std::printf("LcdRedraw: %.3f us with no change, %.2f us with every byte changed\n",
                RedrawMicros(false, quick ? 100 : 20000), RedrawMicros(true, quick ? 100 : 5000));
    if (!quick)
        std::printf("fastest OscFreq keeping real time (tick under 9 ms), workload a: %d kHz\n",
                    FastestRealTime(*mix, mixThroughput));
    return 0;
}
