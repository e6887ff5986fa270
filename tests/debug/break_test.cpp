// The break engine on small assembled programs: breakpoints (conditions, ignore counts, log
// lines, hooks), watchpoints, step over and out, run to, the call stack, the step history and
// the stop reasons; the run loop's own stops alongside it.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "core/Cpu.h"
#include "core/Machine.h"
#include "debug/Break.h"
#include "debug/Program.h"
#include "debug/Symbols.h"
#include "host/RunLoop.h"
#include "host/Session.h"

namespace {

// A main loop calling a routine that counts r5 up and calls a second routine, which stores r5
// in RAM at 0x0101 and reads it back into r6.
constexpr const char* kProgram = R"(
        org 0
start:  ldw sp,&h2000
        pst ds,&h3C        ; iy and sp in RAM
        pst ie,&h80
        ld r5,0
        ldw iy,&h0100
loop:   cal add_one
back:   nop
        jmp loop
add_one:
        ad r5,1
        cal store
after:  rtn
store:  st (iy+1),r5
        ld r6,(iy+1)
        rtn
)";

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        const ProgramImage img = AssembleProgram(kProgram);
        ASSERT_TRUE(img.Ok()) << img.Errors[0].Message;
        ResetMachine();
        g_symbols.Clear();
        for (const ProgramLabel& l : img.Labels) g_symbols.Add(l.Address, l.Name);
        std::memcpy(g_cpu.Rom, img.Rom.data(), kRomBytes);
        std::memcpy(g_cpu.Ext, img.Ext.data(), kExtBytes);
        StartEmulation();
    }
    void TearDown() override {
        g_symbols.Clear();
        ResetMachine();
    }
    static uint16_t At(const char* name) { return *g_symbols.Find(name); }
};

TEST_F(Engine, StepOverACallReturnsOnTheNextInstructionWithTheCalleesEffects) {
    DebugRunTo(At("loop"));
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(LastStop().Kind, StopKind::RunTo);
    ASSERT_EQ(g_cpu.PC, At("loop"));
    EXPECT_EQ(g_cpu.R[5], 0);
    EXPECT_TRUE(DebugStepOver());
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(LastStop().Kind, StopKind::StepOver);
    EXPECT_EQ(g_cpu.PC, At("back"));
    EXPECT_EQ(g_cpu.R[5], 1);
    EXPECT_EQ(g_cpu.Ram[0x101], 1);
    EXPECT_EQ(g_cpu.R[6], 1);
    EXPECT_FALSE(DebugStepPending());
    // On an instruction that is not a call, a step over is one step, made at once.
    EXPECT_FALSE(DebugStepOver());
    EXPECT_EQ(LastStop().Kind, StopKind::StepOver);
    EXPECT_EQ(g_cpu.PC, At("back") + 1);
}

TEST_F(Engine, StepOverStopsAtABreakpointInsideTheCallee) {
    DebugRunTo(At("loop"));
    ASSERT_TRUE(RunUntilStop(10));
    std::string error;
    Breakpoint bp;
    bp.Address = At("store");
    const int id = BreakAdd(bp, error);
    ASSERT_NE(id, 0) << error;
    ASSERT_TRUE(DebugStepOver());
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(LastStop().Kind, StopKind::Breakpoint);
    EXPECT_EQ(LastStop().Id, id);
    EXPECT_EQ(g_cpu.PC, At("store"));
    EXPECT_FALSE(DebugStepPending()); // the stop ended the step over
}

TEST_F(Engine, StepOutLandsAfterTheCall) {
    DebugRunTo(At("store"));
    ASSERT_TRUE(RunUntilStop(10));
    DebugStepOut();
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(LastStop().Kind, StopKind::StepOut);
    EXPECT_EQ(g_cpu.PC, At("after"));
    EXPECT_EQ(g_cpu.R[6], 1); // the rest of the routine ran
    DebugStepOut();
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(g_cpu.PC, At("back"));
}

TEST_F(Engine, ConditionalBreakpointStopsOnlyWhenItsConditionHolds) {
    std::string error;
    Breakpoint bp;
    ASSERT_TRUE(BreakParse("add_one if R[5] == 3", bp, error)) << error;
    const int id = BreakAdd(bp, error);
    ASSERT_NE(id, 0) << error;
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(g_cpu.PC, At("add_one"));
    EXPECT_EQ(g_cpu.R[5], 3);
    EXPECT_EQ(FindBreakpoint(id)->Hits, 1u);
    EXPECT_EQ(StopText(LastStop(), &g_symbols),
              "breakpoint " + std::to_string(id) + " at add_one (0008)");
    // A condition that never holds lets the program run.
    ASSERT_TRUE(BreakSetCondition(id, "R[5] == 300", error));
    EXPECT_FALSE(RunUntilStop(3));
    EXPECT_EQ(FindBreakpoint(id)->Hits, 1u);
    // A disabled breakpoint neither stops nor counts.
    ASSERT_TRUE(BreakSetCondition(id, "", error));
    ASSERT_TRUE(BreakEnable(id, false));
    EXPECT_FALSE(BreakArmed());
    EXPECT_FALSE(RunUntilStop(2));
    EXPECT_EQ(FindBreakpoint(id)->Hits, 1u);
}

TEST_F(Engine, IgnoreCountPassesOverHitsButCountsThem) {
    std::string error;
    Breakpoint bp;
    bp.Address = At("add_one");
    bp.IgnoreCount = 2;
    const int id = BreakAdd(bp, error);
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(g_cpu.R[5], 2); // the third arrival
    EXPECT_EQ(FindBreakpoint(id)->Hits, 3u);
    EXPECT_EQ(FindBreakpoint(id)->IgnoreCount, 0u);
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(g_cpu.R[5], 3);
}

TEST_F(Engine, LogBreakpointLogsAndGoesOn) {
    std::string error;
    Breakpoint bp;
    bp.Address = At("store");
    bp.Action = BreakAction::Log;
    bp.LogFormat = "r5={R[5]} at {PC} ({R[5]:d}) {{sp}}={SP}";
    ASSERT_NE(BreakAdd(bp, error), 0) << error;
    std::vector<std::string> seen;
    SetBreakLogHook([&](const std::string& line) { seen.push_back(line); });
    EXPECT_FALSE(RunUntilStop(1));
    SetBreakLogHook(nullptr);
    ASSERT_GE(BreakLog().size(), 3u);
    EXPECT_EQ(BreakLog()[0], "r5=01 at 000B (1) {sp}=1FFC");
    EXPECT_EQ(BreakLog()[2], "r5=03 at 000B (3) {sp}=1FFC");
    EXPECT_EQ(seen, BreakLog());
}

TEST_F(Engine, HookDecidesWhetherAHitStops) {
    std::string error;
    Breakpoint bp;
    bp.Address = At("add_one");
    int calls = 0;
    bp.OnHit = [&](const Breakpoint& b) {
        ++calls;
        EXPECT_EQ(b.Address, At("add_one"));
        return g_cpu.R[5] == 4;
    };
    const int id = BreakAdd(bp, error);
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(g_cpu.R[5], 4);
    EXPECT_EQ(FindBreakpoint(id)->Hits, 5u);
}

TEST_F(Engine, WatchpointOnRamGivesOldAndNewValueAndTheWriter) {
    g_cpu.Ram[0x101] = 0x77;
    std::string error;
    Watchpoint wp;
    ASSERT_TRUE(WatchParse("ram:0100-0103", wp, error)) << error;
    const int id = WatchAdd(wp, error);
    ASSERT_NE(id, 0) << error;
    ASSERT_TRUE(RunUntilStop(10));
    const StopReason r = LastStop();
    EXPECT_EQ(r.Kind, StopKind::Watchpoint);
    EXPECT_EQ(r.Id, id);
    EXPECT_EQ(r.Address, 0x101);
    EXPECT_EQ(r.Old, 0x77);
    EXPECT_EQ(r.New, 1);
    EXPECT_FALSE(r.Read);
    EXPECT_EQ(r.AccessPc, At("store"));
    EXPECT_EQ(g_cpu.PC, At("store") + 1); // stopped after the writing instruction
    EXPECT_EQ(StopText(r, &g_symbols),
              "watchpoint " + std::to_string(id) + ": RAM 0101 written by store (000B): 77 -> 01");
    // The same value written again stops again (a write, not a change).
    g_cpu.PC = At("store");
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(LastStop().Old, 1);
    EXPECT_EQ(LastStop().New, 1);
    EXPECT_EQ(FindWatchpoint(id)->Hits, 2u);
}

TEST_F(Engine, ReadWatchpointStopsAtTheRead) {
    std::string error;
    Watchpoint wp;
    ASSERT_TRUE(WatchParse("ram:0101:r", wp, error)) << error;
    ASSERT_NE(WatchAdd(wp, error), 0) << error;
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_TRUE(LastStop().Read);
    EXPECT_EQ(LastStop().AccessPc, At("store") + 1);
    EXPECT_EQ(LastStop().New, 1);
}

TEST_F(Engine, WatchpointsOnRegistersAndSpecialRegisters) {
    std::string error;
    Watchpoint ie, r5;
    ASSERT_TRUE(WatchParse("IE", ie, error)) << error;
    ASSERT_TRUE(WatchParse("reg:r5", r5, error)) << error;
    const int ieId = WatchAdd(ie, error);
    const int r5Id = WatchAdd(r5, error);
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(LastStop().Id, ieId);
    EXPECT_EQ(LastStop().Old, 0);
    EXPECT_EQ(LastStop().New, 0x80);
    EXPECT_EQ(StopText(LastStop(), nullptr),
              "watchpoint " + std::to_string(ieId) + ": IE written by 0002: 00 -> 80");
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(LastStop().Id, r5Id);
    EXPECT_EQ(LastStop().AccessPc, At("add_one"));
    EXPECT_EQ(LastStop().New, 1);
    // A register edited while stopped is not reported as written by the next instruction.
    g_cpu.R[5] = 0x40;
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(LastStop().Old, 0x40);
    EXPECT_EQ(LastStop().New, 0x41);
}

TEST_F(Engine, TwoWatchpointsOnOneByteBothSeeTheWrite) {
    std::string error;
    Watchpoint wide, narrow;
    ASSERT_TRUE(WatchParse("reg:r0-r7", wide, error));
    ASSERT_TRUE(WatchParse("reg:r5", narrow, error));
    wide.OnHit = [](const Watchpoint&, const StopReason&) { return false; };
    const int wideId = WatchAdd(wide, error);
    const int narrowId = WatchAdd(narrow, error);
    ASSERT_TRUE(RunUntilStop(10));
    EXPECT_EQ(LastStop().Id, narrowId);
    EXPECT_EQ(FindWatchpoint(wideId)->Hits, 1u);
    EXPECT_EQ(FindWatchpoint(narrowId)->Hits, 1u);
}

TEST_F(Engine, CallStackFromTheReturnAddresses) {
    DebugRunTo(At("store"));
    ASSERT_TRUE(RunUntilStop(10));
    const std::vector<CallFrame> frames = CallStack();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].ReturnAddress, At("after"));
    EXPECT_EQ(frames[0].CallSite, At("after") - 1);
    EXPECT_EQ(frames[0].StackAddress, 0x1FFC);
    EXPECT_EQ(frames[1].ReturnAddress, At("back"));
    EXPECT_EQ(frames[1].CallSite, At("loop"));
    // Bytes that are not a return address end the walk.
    g_cpu.Ram[0x1FFE] = 0x00;
    g_cpu.Ram[0x1FFF] = 0x03;
    EXPECT_EQ(CallStack().size(), 1u);
}

TEST_F(Engine, HistoryHoldsTheLastSteps) {
    DebugRunTo(At("store"));
    ASSERT_TRUE(RunUntilStop(10));
    const std::vector<HistoryEntry> h = History(4);
    ASSERT_EQ(h.size(), 4u);
    const uint16_t expected[] = {static_cast<uint16_t>(At("loop") - 1), At("loop"), At("add_one"),
                                 static_cast<uint16_t>(At("add_one") + 1)};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(h[i].PC, expected[i]) << i;
    EXPECT_EQ(h[2].F & kFlagZ, 0);       // f after ad r5,1 (r5 = 1): not zero
    EXPECT_GT(h[3].Cycles, h[2].Cycles); // a call costs more than an add
    EXPECT_EQ(History(100).size(), 8u);  // all steps since the start
}

// The steps entered by the run loop's plain ticks (no hook, nothing armed) are those a trace of
// the checking loop sees, and the ring keeps the last 4096.
TEST_F(Engine, HistoryOfPlainTicksMatchesATrace) {
    for (int i = 0; i < 3; ++i) OnRunTimer();
    const std::vector<HistoryEntry> plain = History();
    ASSERT_EQ(plain.size(), static_cast<size_t>(kHistorySteps));

    static std::vector<HistoryEntry> traced;
    traced.clear();
    SetUp();
    StepHook = [](uint16_t pc) {
        traced.push_back({pc, g_cpu.F, static_cast<uint16_t>(g_cpu.StepCycles)});
    };
    for (int i = 0; i < 3; ++i) OnRunTimer();
    StepHook = nullptr;
    ASSERT_GE(traced.size(), plain.size());
    const size_t from = traced.size() - plain.size();
    for (size_t i = 0; i < plain.size(); ++i) {
        ASSERT_EQ(plain[i].PC, traced[from + i].PC) << i;
        ASSERT_EQ(plain[i].F, traced[from + i].F) << i;
        ASSERT_EQ(plain[i].Cycles, traced[from + i].Cycles) << i;
    }
    HistoryEnable(false);
    HistoryClear();
    OnRunTimer();
    EXPECT_TRUE(History().empty());
}

// The seed's step count and breakpoint address work as before beside the engine, and are
// recorded as the reason of their stops.
TEST_F(Engine, RunLoopsOwnStopsKeepTheirRules) {
    std::string error;
    Breakpoint bp;
    bp.Address = At("store");
    ASSERT_NE(BreakAdd(bp, error), 0);
    g_run.StopRequest = 0;
    g_run.StepCount = 3;
    OnRunTimer();
    EXPECT_EQ(LastStop().Kind, StopKind::StepCount);
    EXPECT_EQ(g_cpu.PC, 3);
    EXPECT_EQ(g_run.StepCount, -1);
    g_run.StopRequest = 0;
    g_run.BreakAddress = At("add_one");
    OnRunTimer();
    EXPECT_EQ(LastStop().Kind, StopKind::BreakAddress);
    EXPECT_EQ(g_cpu.PC, At("add_one"));
    g_run.StopRequest = 0;
    OnRunTimer();
    EXPECT_EQ(LastStop().Kind, StopKind::Breakpoint);
    EXPECT_EQ(g_cpu.PC, At("store"));
}

TEST_F(Engine, PauseAndResetMachine) {
    std::string error;
    Breakpoint bp;
    bp.Address = At("store");
    BreakAdd(bp, error);
    DebugRunTo(At("back"));
    DebugPause();
    EXPECT_EQ(g_run.StopRequest, 1);
    EXPECT_EQ(LastStop().Kind, StopKind::Pause);
    EXPECT_EQ(StopText(LastStop(), nullptr), "paused");
    EXPECT_FALSE(DebugStepPending());
    g_cpu.OFF = 1;
    EXPECT_EQ(HaltState(), "off");
    ResetMachine();
    EXPECT_TRUE(Breakpoints().empty());
    EXPECT_EQ(LastStop().Kind, StopKind::None);
    EXPECT_TRUE(History().empty());
    EXPECT_FALSE(BreakArmed());
    EXPECT_EQ(HaltState(), "");
}

TEST_F(Engine, StepIntoEntersHistoryAndReportsWatchedWrites) {
    std::string error;
    Watchpoint wp;
    wp.Area = WatchArea::Register;
    wp.First = wp.Last = 5;
    ASSERT_NE(WatchAdd(wp, error), 0);
    for (int i = 0; i < 3; ++i) DebugStepInto();
    EXPECT_EQ(LastStop().Kind, StopKind::Step);
    DebugStepInto(); // ld r5,0 leaves r5 as it was: no change
    EXPECT_EQ(LastStop().Kind, StopKind::Step);
    g_cpu.R[5] = 9;
    DebugStepInto(); // ldw iy
    DebugStepInto(); // cal add_one
    DebugStepInto(); // ad r5,1
    EXPECT_EQ(LastStop().Kind, StopKind::Watchpoint);
    EXPECT_EQ(LastStop().Old, 9);
    EXPECT_EQ(LastStop().New, 10);
    EXPECT_EQ(History().size(), 7u);
}

TEST(BreakParsing, BreakpointTexts) {
    g_symbols.Clear();
    g_symbols.Add(0x1234, "print_number");
    struct Case {
        const char* text;
        bool ok;
        uint16_t address;
        const char* conditionOrError;
    };
    const Case cases[] = {
        {"1A2B", true, 0x1A2B, ""},
        {"0x1a2b", true, 0x1A2B, ""},
        {"print_number", true, 0x1234, ""},
        {"print_number+3", true, 0x1237, ""},
        {"print_number if R[5] == 2", true, 0x1234, "R[5] == 2"},
        {"print_number+10:PC!=0", true, 0x1244, "PC!=0"},
        {"", false, 0, "an address is missing"},
        {"nowhere", false, 0, "not an address or a known name: nowhere"},
        {"12345", false, 0, "address above FFFF: 12345"},
        {"1234 if", false, 0, "a condition is missing after the address"},
        {"1234:R[5", false, 0, "condition at 4: expected ']'"},
    };
    for (const Case& c : cases) {
        Breakpoint bp;
        std::string error;
        EXPECT_EQ(BreakParse(c.text, bp, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(bp.Address, c.address) << c.text;
            EXPECT_EQ(bp.Condition, c.conditionOrError) << c.text;
        } else {
            EXPECT_EQ(error, c.conditionOrError) << c.text;
        }
    }
    g_symbols.Clear();
}

TEST(BreakParsing, WatchpointTexts) {
    struct Case {
        const char* text;
        bool ok;
        WatchArea area;
        uint16_t first, last;
        uint8_t access;
    };
    const Case cases[] = {
        {"ram:0180-0189", true, WatchArea::Ram, 0x180, 0x189, kWatchWrite},
        {"RAM:180:rw", true, WatchArea::Ram, 0x180, 0x180, kWatchReadWrite},
        {"3:1fff:r", true, WatchArea::Ram, 0x1FFF, 0x1FFF, kWatchRead},
        {"reg:r5-r7", true, WatchArea::Register, 5, 7, kWatchWrite},
        {"reg:7F", true, WatchArea::Register, 0x7F, 0x7F, kWatchWrite},
        {"kc", true, WatchArea::Special, static_cast<uint16_t>(SpecialReg::KC),
         static_cast<uint16_t>(SpecialReg::KC), kWatchWrite},
        {"S6:w", true, WatchArea::Special, static_cast<uint16_t>(SpecialReg::S6),
         static_cast<uint16_t>(SpecialReg::S6), kWatchWrite},
        {"PC", false, WatchArea::Ram, 0, 0, 0},
        {"ram:2000", false, WatchArea::Ram, 0, 0, 0},
        {"ram:0189-0180", false, WatchArea::Ram, 0, 0, 0},
        {"reg:r128", false, WatchArea::Ram, 0, 0, 0},
        {"rom:0000", false, WatchArea::Ram, 0, 0, 0},
        {"ram:", false, WatchArea::Ram, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Watchpoint wp;
        std::string error;
        ASSERT_EQ(WatchParse(c.text, wp, error), c.ok) << c.text << ": " << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty()) << c.text;
            continue;
        }
        EXPECT_EQ(wp.Area, c.area) << c.text;
        EXPECT_EQ(wp.First, c.first) << c.text;
        EXPECT_EQ(wp.Last, c.last) << c.text;
        EXPECT_EQ(wp.Access, c.access) << c.text;
    }
    // Reads are watched in RAM only.
    Watchpoint wp;
    wp.Area = WatchArea::Register;
    wp.Access = kWatchRead;
    std::string error;
    EXPECT_EQ(WatchAdd(wp, error), 0);
    EXPECT_EQ(error, "only RAM can be watched for reads");
    ResetMachine();
}

} // namespace
