// Run tick, refresh tick, power reset and the debugger contract.
#include "Support.h"

#include "core/Cpu.h"
#include "core/Machine.h"
#include "debug/Program.h"
#include "host/RunLoop.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {
constexpr uint8_t kNop = 0xEF; // one byte, 4 cycles (plus the external fetch)

std::vector<uint16_t> g_stepPcs;
std::vector<int32_t> g_stepCycles;
int g_debuggerShows = 0;
int g_imageCopies = 0;

void RecordStep(uint16_t pc) {
    g_stepPcs.push_back(pc);
    g_stepCycles.push_back(g_cpu.StepCycles);
}

// A machine as the main window leaves it: nops everywhere, loop running, hooks recording.
void Start(int32_t cyclesPerTick) {
    ResetMachine();
    for (int w = 0; w < kRomWords; ++w) g_cpu.Rom[3 * w] = kNop;
    std::memset(g_cpu.Ext, kNop, sizeof g_cpu.Ext);
    StartEmulation();
    g_run.CyclesPerTick = cyclesPerTick;
    g_stepPcs.clear();
    g_stepCycles.clear();
    g_debuggerShows = 0;
    g_imageCopies = 0;
    StepHook = RecordStep;
    ShowDebuggerHook = [] { ++g_debuggerShows; };
    LcdImageHook = [] { ++g_imageCopies; };
}

struct Hooks : ::testing::Test {
    ~Hooks() override {
        StepHook = nullptr;
        ShowDebuggerHook = nullptr;
        LcdImageHook = nullptr;
    }
};

using RunTick = Hooks;
using RefreshTick = Hooks;

TEST(CyclesPerTick, TenTimesTheOscillatorClampedToItsRange) {
    const struct {
        int32_t oscFreq, cycles;
    } cases[] = {
        {2000, 20000},
        {1, 10},
        {0, 0},
        {-1, 0},
        {-2000, 0},
        {INT32_MIN, 0},
        {INT32_MAX, kMaxCyclesPerTick},
        {kMaxCyclesPerTick / 10, kMaxCyclesPerTick},
        {kMaxCyclesPerTick / 10 + 1, kMaxCyclesPerTick},
        {kMaxCyclesPerTick / 10 - 1, kMaxCyclesPerTick - 10},
    };
    for (const auto& t : cases) EXPECT_EQ(ComputeCyclesPerTick(t.oscFreq), t.cycles) << t.oscFreq;
    // The largest grant on top of the largest debt a step can leave stays in range.
    static_assert(int64_t{kMaxCyclesPerTick} + 100000 < INT32_MAX);
}

TEST(StartEmulation, ComputesTheGrantAndResetsLikeTheFirstShowing) {
    ResetMachine();
    g_run.OscFreq = 2000;
    g_run.SelfTest = 7;
    g_run.StopRequest = 1;
    g_run.ResumeDelay = 4;
    g_run.StepCount = 9;
    g_run.BreakAddress = 9;
    g_cpu.OFF = 1;
    g_cpu.PC = 0x1234;
    g_kbd.MouseKey = 14;
    g_kbd.KeyboardKey = 15;
    g_lcd.FrameBuffer[3] = 1;
    g_cpu.Ram[3] = 0x33;
    StartEmulation();
    EXPECT_EQ(g_run.CyclesPerTick, 20000);
    EXPECT_EQ(g_run.PowerOn, 1);
    EXPECT_EQ(g_run.StopRequest, 0);
    EXPECT_EQ(g_run.ResumeDelay, 0);
    EXPECT_EQ(g_run.StepCount, -1);
    EXPECT_EQ(g_run.BreakAddress, -1);
    EXPECT_EQ(g_cpu.OFF, 0);
    EXPECT_EQ(g_cpu.PC, 0);
    EXPECT_EQ(g_kbd.MouseKey, 0);
    EXPECT_EQ(g_kbd.KeyboardKey, 0);
    EXPECT_EQ(g_kbd.SelfTestCount, 7);
    EXPECT_EQ(g_lcd.FrameBuffer[3], 0);
    EXPECT_EQ(g_cpu.Ram[3], 0x33);
    EXPECT_EQ(g_lcd.LastDisplayOn, 0);
    EXPECT_EQ(g_lcd.LcdDirty, 1);
    for (const uint32_t p : g_lcd.LcdBitmap) ASSERT_EQ(p, kLcdLight);
}

TEST_F(RunTick, SpendsTheGrantAndCarriesTheDebt) {
    // Waiting steps cost 6 cycles each; grants of 10, 20000 and others leave debts.
    for (const int32_t grant : {10, 20000, 7, 6, 1, 12}) {
        Start(grant);
        g_cpu.WAIT = 1;
        int64_t balance = 0, total = 0;
        for (int tick = 0; tick < 5; ++tick) {
            const size_t before = g_stepPcs.size();
            OnRunTimer();
            // Expected by the rule: add the grant, then steps while the balance is positive.
            balance += grant;
            int64_t steps = 0;
            while (balance > 0) balance -= 6, ++steps;
            total += steps;
            ASSERT_EQ(static_cast<int64_t>(g_stepPcs.size() - before), steps)
                << grant << " tick " << tick;
            ASSERT_EQ(g_cpu.CycleBalance, balance) << grant << " tick " << tick;
            ASSERT_LE(g_cpu.CycleBalance, 0);
        }
        EXPECT_EQ(static_cast<int64_t>(g_stepPcs.size()), total);
    }
}

TEST_F(RunTick, StepsAreClearedCountedAndIncludeTheDisplayTransfer) {
    Start(100);
    g_cpu.StepCycles = 999; // left over from a single step of the debugger
    g_cpu.S6 = 1;           // display on: each step also moves one byte (4 cycles)
    g_cpu.S7 = 127;
    g_cpu.S5 = 127;
    OnRunTimer();
    ASSERT_FALSE(g_stepCycles.empty());
    for (const int32_t c : g_stepCycles) EXPECT_EQ(c, 8);
    EXPECT_EQ(g_stepCycles.size(), 13u); // 100 = 12 x 8 + 4, so a 13th step overshoots
    EXPECT_EQ(g_cpu.CycleBalance, 100 - 13 * 8);
    for (size_t i = 0; i < g_stepPcs.size(); ++i) EXPECT_EQ(g_stepPcs[i], i);
    EXPECT_EQ(g_cpu.PC, 13);
}

TEST_F(RunTick, StepCountStopsAfterExactlyThatManySteps) {
    for (const int32_t count : {1, 2, 5, 40}) {
        Start(30); // 7 or 8 nop steps per tick: the counts cross tick boundaries
        g_run.StepCount = count;
        for (int tick = 0; tick < 20; ++tick) OnRunTimer();
        EXPECT_EQ(static_cast<int32_t>(g_stepPcs.size()), count);
        EXPECT_EQ(g_debuggerShows, 1);
        EXPECT_EQ(g_run.StopRequest, 1);
        EXPECT_EQ(g_run.StepCount, -1);
        EXPECT_EQ(g_run.BreakAddress, -1);
        EXPECT_EQ(g_cpu.CycleBalance, 0);
    }
}

TEST_F(RunTick, BreakpointStopsOnlyAfterAStepReachesIt) {
    const struct {
        int32_t breakAddress;
        bool waiting; // PC stays where it is
        int steps;    // steps until the stop, 0 for no stop
    } cases[] = {
        {3, false, 3},       {0, true, 1},  {0, false, 0},
        {0x10000, false, 0}, {-1, true, 0}, {1, false, 1},
    };
    for (const auto& t : cases) {
        Start(20);
        g_cpu.WAIT = t.waiting;
        g_run.BreakAddress = t.breakAddress;
        for (int tick = 0; tick < 5; ++tick) OnRunTimer();
        if (t.steps) {
            EXPECT_EQ(static_cast<int>(g_stepPcs.size()), t.steps) << t.breakAddress;
            EXPECT_EQ(g_debuggerShows, 1);
            EXPECT_EQ(g_run.BreakAddress, -1);
            EXPECT_EQ(g_cpu.CycleBalance, 0);
            EXPECT_EQ(g_run.StopRequest, 1);
        } else {
            EXPECT_GT(g_stepPcs.size(), 10u) << t.breakAddress;
            EXPECT_EQ(g_debuggerShows, 0);
        }
    }
}

TEST_F(RunTick, BreakpointAtTheStartStopsWhenPcComesBack) {
    Start(1000);
    g_cpu.Rom[3 * 2] = 0xA7; // word 2: jmp &h0000 (always)
    g_cpu.Rom[3 * 2 + 1] = 0x00;
    g_cpu.Rom[3 * 2 + 2] = 0x00;
    g_run.BreakAddress = 0;
    OnRunTimer();
    EXPECT_EQ(g_stepPcs, (std::vector<uint16_t>{0, 1, 2}));
    EXPECT_EQ(g_cpu.PC, 0);
    EXPECT_EQ(g_debuggerShows, 1);
    EXPECT_EQ(g_cpu.CycleBalance, 0);
}

TEST_F(RunTick, StepCountIsTestedBeforeTheBreakpoint) {
    Start(100);
    g_run.StepCount = 2;
    g_run.BreakAddress = 2; // both hit after the second step
    OnRunTimer();
    EXPECT_EQ(g_stepPcs.size(), 2u);
    EXPECT_EQ(g_debuggerShows, 1);
    EXPECT_EQ(g_run.StepCount, -1);
}

TEST_F(RunTick, StopRequestRunsNothingAndDropsTheGrant) {
    Start(100);
    DebuggerShown();
    OnRunTimer();
    EXPECT_TRUE(g_stepPcs.empty());
    EXPECT_EQ(g_cpu.CycleBalance, 0);
    EXPECT_EQ(g_run.StopRequest, 1);
}

TEST_F(RunTick, AfterTheDebuggerHidesThirtyTicksAreSkipped) {
    Start(30);
    DebuggerShown();
    OnRunTimer();
    g_cpu.CycleBalance = -17; // a debt must not survive the skipped ticks
    DebuggerHidden();
    EXPECT_EQ(g_run.StopRequest, 0);
    EXPECT_EQ(g_run.ResumeDelay, 30);
    for (int tick = 0; tick < 30; ++tick) {
        OnRunTimer();
        ASSERT_TRUE(g_stepPcs.empty()) << tick;
        ASSERT_EQ(g_cpu.CycleBalance, 0);
        ASSERT_EQ(g_run.ResumeDelay, 29 - tick);
    }
    OnRunTimer(); // the 31st starts from a balance of 0: 30 cycles, eight 4-cycle nops
    EXPECT_EQ(g_stepPcs.size(), 8u);
    EXPECT_EQ(g_cpu.CycleBalance, -2);
}

TEST_F(RunTick, NoGrantNoSteps) {
    for (const int32_t osc : {0, -1, INT32_MIN}) {
        Start(0);
        g_run.CyclesPerTick = ComputeCyclesPerTick(osc);
        for (int tick = 0; tick < 10; ++tick) OnRunTimer();
        EXPECT_TRUE(g_stepPcs.empty()) << osc;
        EXPECT_EQ(g_cpu.CycleBalance, 0) << osc;
    }
}

TEST_F(RefreshTick, HandsTheBitmapOverOnlyWhenDirty) {
    Start(0);
    OnRefreshTimer(); // the first refresh after start-up shows the white screen
    EXPECT_EQ(g_imageCopies, 1);
    EXPECT_EQ(g_lcd.LcdDirty, 0);
    OnRefreshTimer();
    EXPECT_EQ(g_imageCopies, 1);
    g_cpu.S6 = 1; // display on: redraw changes the bitmap
    OnRefreshTimer();
    EXPECT_EQ(g_imageCopies, 2);
    g_lcd.FrameBuffer[0] = 1;
    OnRefreshTimer();
    EXPECT_EQ(g_imageCopies, 3);
    EXPECT_EQ(g_lcd.LcdDirty, 0);
    OnRefreshTimer();
    EXPECT_EQ(g_imageCopies, 3);
}

TEST_F(RefreshTick, CountsDownTheSelfTestHold) {
    const struct {
        int32_t selfTest;
        int heldTicks; // refresh ticks during which KI bit 4 still reads pressed; -1 = always
    } cases[] = {{0, 0}, {1, 0}, {3, 2}, {-2, -1}};
    for (const auto& t : cases) {
        Start(0);
        g_run.SelfTest = t.selfTest;
        PowerReset();
        g_cpu.KC = 0x40;
        KeyboardUpdate();
        EXPECT_EQ((g_cpu.KI & 0x10) != 0, t.selfTest != 0) << t.selfTest;
        for (int tick = 0; tick < 6; ++tick) {
            OnRefreshTimer();
            const bool held = t.heldTicks < 0 || tick < t.heldTicks;
            ASSERT_EQ((g_cpu.KI & 0x10) != 0, held)
                << "SelfTest " << t.selfTest << " tick " << tick;
        }
        EXPECT_EQ(g_kbd.SelfTestCount, t.selfTest < 0 ? t.selfTest : 0);
    }
}

TEST(PowerReset, ResetsControllerAndProcessorButKeepsMemory) {
    ResetMachine();
    g_run.SelfTest = 5;
    g_cpu.PC = 0x4321;
    g_cpu.S6 = 0x0F;
    g_cpu.CycleBalance = -9;
    g_cpu.Ram[10] = 0xAA;
    g_cpu.R[0x3F] = 0xBB;
    g_lcd.FrameBuffer[10] = 0xCC;
    g_lcd.RowCounter = 12;
    PowerReset();
    EXPECT_EQ(g_cpu.PC, 0);
    EXPECT_EQ(g_cpu.S6, 0);
    EXPECT_EQ(g_cpu.CycleBalance, 0);
    EXPECT_EQ(g_kbd.SelfTestCount, 5);
    EXPECT_EQ(g_lcd.FrameBuffer[10], 0);
    EXPECT_EQ(g_lcd.RowCounter, 0);
    EXPECT_EQ(g_cpu.Ram[10], 0xAA);
    EXPECT_EQ(g_cpu.R[0x3F], 0xBB);
}
} // namespace

// The run loop has a fast inner loop for ticks without a step count, a breakpoint or a step
// hook, and a checking loop for the rest. Both must leave exactly the same machine. Programs:
// the benchmark workloads (the instruction mix from both memories, block transfers and
// searches, the wai loop) and one that keeps changing what the loop watches: the row period,
// bytes per row, display on and off, the timer divider and the interrupt enable, with wai.
namespace {
std::string ReadSource(const std::string& name) {
    std::ifstream in(VELMORA_TEST_DATA "/../bench/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

constexpr const char* kChurn = "STACK   equ &h1F00\n"
                               "        org 0\n"
                               "        ldw sp,STACK\n"
                               "        ldw v3,tick\n"
                               "        ldw iz,&h1000\n"
                               "        pla iz\n"
                               "        pst pe,&h40\n"
                               "        pst s7,11\n"
                               "        pst tm,3\n"
                               "        pst s6,&h09\n"
                               "loop:   pst s5,2\n"
                               "        pst ie,&h88\n"
                               "        wai\n"
                               "        pst s7,3\n"
                               "        adbm r16..r19,r80..r83\n"
                               "        pst s5,0\n"
                               "        pst s6,&h00\n"
                               "        stm -(sp),r16..r19\n"
                               "        pst s6,&h07\n"
                               "        pst s5,5\n"
                               "        pst tm,1\n"
                               "        pst ie,&h08\n"
                               "        ldm r16..r19,(sp)+\n"
                               "        pst ie,&h88\n"
                               "        pst s7,11\n"
                               "        didm r16..r19\n"
                               "        pst tm,0\n"
                               "        pst s6,&h09\n"
                               "        ad r10,r75\n"
                               "        pst tm,2\n"
                               "        jmp loop\n"
                               "tick:   ad r96,1\n"
                               "        rti\n";

void RunBothWaysAndCompare(const std::string& name, const std::string& source) {
    const ProgramImage image = AssembleProgram(source);
    ASSERT_TRUE(image.Ok()) << name;
    auto run = [&](bool checking) {
        ResetMachine();
        std::copy(image.Rom.begin(), image.Rom.end(), g_cpu.Rom);
        std::copy(image.Ext.begin(), image.Ext.end(), g_cpu.Ext);
        g_run.OscFreq = 2000;
        StartEmulation();
        StepHook = checking ? +[](uint16_t) {} : nullptr;
        // Ticks of uneven length, so that ticks end inside runs and row transfers.
        for (int tick = 0; tick < 60; ++tick) {
            g_run.CyclesPerTick = 20000 + 977 * (tick % 7);
            OnRunTimer();
        }
        StepHook = nullptr;
        return std::make_pair(g_cpu, g_lcd);
    };
    const auto fast = run(false);
    const auto checking = run(true);
    const CpuState& a = fast.first;
    const CpuState& b = checking.first;
    const LcdState& la = fast.second;
    const LcdState& lb = checking.second;
    auto core = [](const CpuState& c) {
        return std::tie(c.PC, c.F, c.IE, c.IRQ, c.ISR, c.OFF, c.WAIT, c.StepDir, c.CycleBalance);
    };
    auto lcd = [](const LcdState& l) {
        return std::tie(l.RowCycles, l.ColumnCounter, l.RowCounter, l.TimerPrescale);
    };
    EXPECT_EQ(core(a), core(b)) << name;
    EXPECT_EQ(lcd(la), lcd(lb)) << name;
    EXPECT_EQ(0, std::memcmp(a.R, b.R, sizeof a.R)) << name;
    EXPECT_EQ(0, std::memcmp(a.Ram, b.Ram, sizeof a.Ram)) << name;
    EXPECT_EQ(0, std::memcmp(la.FrameBuffer, lb.FrameBuffer, sizeof la.FrameBuffer)) << name;
    // The program ran its timer interrupt (each counts them in r96).
    EXPECT_GT(a.R[96], 0) << name;
}
} // namespace

TEST_F(RunTick, FastAndCheckingLoopsLeaveTheSameMachine) {
    const std::string mix = ReadSource("mix.asm");
    ASSERT_FALSE(mix.empty()) << "tests/bench/mix.asm";
    RunBothWaysAndCompare("mix, internal ROM", "CODE equ &h0010\n" + mix);
    RunBothWaysAndCompare("mix, external memory", "CODE equ &h2000\n" + mix);
    RunBothWaysAndCompare("idle", ReadSource("idle.asm"));
    RunBothWaysAndCompare("churn", kChurn);
}
