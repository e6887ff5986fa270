// The step history: step back through run-loop steps (across ticks, key events, the self-test
// countdown, interrupt entries and wai) and debugger steps, edits and code patches, changes it
// was not told of, rewind through its images, and the minute it keeps.
#include "Busy.h"
#include "Support.h"

#include "debug/DebugPanes.h"
#include "host/Rewind.h"
#include "host/RunLoop.h"
#include "host/State.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
constexpr int32_t kGrant = 2000; // cycles a tick: a few hundred steps
constexpr uint16_t kTickRoutine = 0x0016;

// What happens between ticks t - 1 and t: key presses and releases from both sources, written
// at once or paced as the desktop program paces them (applied by later ticks), and a refresh tick
// every third tick (which counts a self-test hold down while one is set). The ticks themselves
// run as the desktop program runs them, with the paced key input after each.
void Between(int t, bool paced = true) {
    if (t % 6 == 1) SetKeySlot(KeySlot::Keyboard, 14 + t % 4);
    if (t % 6 == 3) KeyboardKeyUp();
    if (t % 8 == 6) SetKeySlot(KeySlot::Mouse, 47);
    if (t % 8 == 0) SetKeySlot(KeySlot::Mouse, 0);
    if (paced && t % 5 == 2) PacedKeyPress(KeySlot::Mouse, 20 + t % 3, 7);
    if (paced && t % 5 == 3) PacedKeyRelease(KeySlot::Mouse, 7);
    if (t % 3 == 0) OnRefreshTimer();
}

void RunTicks(int first, int count) {
    for (int t = first; t < first + count; ++t) {
        Between(t);
        OnPacedRunTimer();
    }
}

// The busy program with the history on and a self-test hold of some refresh ticks.
void Start(int32_t selfTest = 6) {
    BootBusy(kGrant);
    g_kbd.SelfTestCount = selfTest;
    RewindEnable(true);
}

std::vector<uint8_t> WithBalance(std::vector<uint8_t> image, int32_t balance) {
    const std::vector<uint8_t> keep = MachineImage();
    RestoreMachine(image.data());
    g_cpu.CycleBalance = balance;
    image = MachineImage();
    RestoreMachine(keep.data());
    return image;
}

struct Hooks : ::testing::Test {
    ~Hooks() override {
        StepHook = nullptr;
        LcdImageHook = nullptr;
        ResetMachine(); // the history off for the other tests
    }
};
using StepBackTest = Hooks;
using RewindTest = Hooks;

// The machine before every step, seen from outside in a run of its own without the history:
// before a tick's first step it is the machine before the tick with the grant added; before any
// other step, the machine after the step before it (seen from the step hook, with the step's
// cycles charged as the loop charges them next). Stepping back must give exactly these, in
// reverse, while the run it steps back through ran the fast loop.
std::vector<std::vector<uint8_t>> g_before;
struct Seen {
    bool interrupt = false, wai = false;
} g_seen;

void AfterStep(uint16_t pcBefore) {
    if (g_cpu.PC == kTickRoutine && pcBefore != kTickRoutine - 1) g_seen.interrupt = true;
    if (g_cpu.WAIT) g_seen.wai = true;
    g_cpu.CycleBalance -= g_cpu.StepCycles;
    g_before.push_back(MachineImage());
    g_cpu.CycleBalance += g_cpu.StepCycles;
}

constexpr int kTicks = 14;
constexpr int32_t kLastTickSteps = 150; // the loop stops in the middle of the last tick

void RunObserved() {
    BootBusy(kGrant);
    g_kbd.SelfTestCount = 5;
    g_before.clear();
    g_seen = {};
    StepHook = AfterStep;
    for (int t = 0; t < kTicks; ++t) {
        Between(t);
        if (t == kTicks - 1) g_run.StepCount = kLastTickSteps;
        if (!g_before.empty()) g_before.pop_back(); // replaced by the machine after the grant
        g_before.push_back(WithBalance(MachineImage(), g_cpu.CycleBalance + kGrant));
        OnPacedRunTimer();
    }
    StepHook = nullptr;
    g_before.pop_back(); // the machine after the last step
}

TEST_F(StepBackTest, ReturnsToTheMachineBeforeEveryStep) {
    RunObserved();
    ASSERT_EQ(g_run.StopRequest, 1);
    EXPECT_TRUE(g_seen.interrupt);
    EXPECT_TRUE(g_seen.wai);
    EXPECT_EQ(g_kbd.SelfTestCount, 0);
    ASSERT_GT(g_before.size(), 2500u);

    // The same run with the history on, the fast loop (no hook) but for the last tick.
    Start(5);
    for (int t = 0; t < kTicks; ++t) {
        Between(t);
        if (t == kTicks - 1) g_run.StepCount = kLastTickSteps;
        OnPacedRunTimer();
    }
    // A few debugger steps on top, each seen before it is made.
    for (int i = 0; i < 20; ++i) {
        g_before.push_back(MachineImage());
        DebuggerSingleStep();
    }
    for (size_t k = g_before.size(); k-- > 0;) {
        ASSERT_TRUE(CanStepBack()) << "back to step " << k;
        ASSERT_EQ(StepBack(), "") << "back to step " << k;
        ASSERT_EQ(MachineImage(), g_before[k]) << "back to step " << k;
    }
    EXPECT_FALSE(CanStepBack()); // before the first step, the first tick's grant made
    EXPECT_EQ(g_cpu.CycleBalance, kGrant);
    EXPECT_EQ(StepBack(), "no step has been made");
}

TEST_F(StepBackTest, UndoesEditsAndLoadsAndRefusesChangesItWasNotToldOf) {
    Start();
    RunTicks(0, 7);
    const std::vector<uint8_t> other = SaveState();
    RunTicks(7, 7);
    DebuggerShown();
    const std::vector<uint8_t> beforeStep = MachineImage();
    DebuggerSingleStep();
    RegStore(2, 0x55); // KC, through the registers pane
    g_debug.EditMode = kEditMainReg;
    g_debug.EditTarget = 9;
    MainEnter("A5");
    ASSERT_EQ(StepBack(), "");
    EXPECT_EQ(MachineImage(), beforeStep);

    // A loaded state is a new starting point; stepping back goes behind it.
    DebuggerSingleStep();
    ASSERT_TRUE(LoadState(other).Ok());
    ASSERT_EQ(StepBack(), "");
    EXPECT_EQ(MachineImage(), beforeStep);

    // Changes made behind the history's back: refused, nothing changed.
    DebuggerSingleStep();
    g_cpu.R[5] ^= 0x55;
    const std::vector<uint8_t> changed = MachineImage();
    EXPECT_EQ(StepBack(), "the machine was changed outside the recorded steps");
    EXPECT_EQ(MachineImage(), changed);
    RewindMark();
    DebuggerSingleStep();
    g_kbd.KeyboardKey = 14; // not through SetKeySlot
    KeyboardUpdate();
    EXPECT_EQ(StepBack(), "the machine was changed outside the recorded steps");
}

TEST_F(StepBackTest, StopsAtACodePatch) {
    Start();
    RunTicks(0, 14);
    DebuggerShown();
    const uint8_t nop = 0xEF;
    PatchCode(0x0100, &nop, 1); // code nothing runs: the step history still ends here
    DebuggerSingleStep();
    DebuggerSingleStep();
    EXPECT_EQ(StepBack(), "");
    EXPECT_EQ(StepBack(), "");
    EXPECT_FALSE(CanStepBack());
    const std::vector<uint8_t> here = MachineImage();
    EXPECT_EQ(StepBack(), "the code was changed after that step");
    EXPECT_EQ(MachineImage(), here);

    RewindEnable(false);
    EXPECT_FALSE(CanStepBack());
    EXPECT_EQ(StepBack(), "no step history is kept");
    EXPECT_EQ(RewindMemoryBytes(), 0u);
}

TEST_F(RewindTest, WalksBackThroughItsImagesAndRunsOnAsTheOriginal) {
    static int copies = 0;
    LcdImageHook = [] { ++copies; };
    Start();
    std::vector<std::vector<uint8_t>> before; // the machine as each tick starts
    // Without paced keys: their queue is the user's input, which a rewind leaves as it is, so
    // a second run from an image would not see the same keys.
    const auto run = [&before](int first, int count) {
        for (int t = first; t < first + count; ++t) {
            Between(t, false);
            before.push_back(MachineImage());
            OnPacedRunTimer();
        }
    };
    run(0, 35);
    const std::vector<uint8_t> end = MachineImage();
    EXPECT_EQ(RewindSnapshotCount(), 4u); // the start and ticks 9, 19 and 29

    RewindBegin();
    EXPECT_EQ(g_run.StopRequest, 1);
    copies = 0;
    for (const int tick : {29, 19}) {
        ASSERT_TRUE(RewindBack());
        EXPECT_EQ(MachineImage(), before[tick]) << tick;
        // Shown at once: the LCD bitmap drawn from the frame buffer.
        EXPECT_EQ(std::memcmp(g_lcd.ShadowBuffer, g_lcd.FrameBuffer, kFrameBytes), 0);
    }
    EXPECT_GE(copies, 1);
    RewindEnd();
    EXPECT_EQ(g_run.StopRequest, 0);

    // Letting go continues from there: the same ticks give the same machine.
    before.resize(19);
    run(19, 16);
    EXPECT_EQ(MachineImage(), end);

    // Images every 10 ticks from the one shown last: 28, then 19 and 9.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(RewindBack());
    EXPECT_EQ(MachineImage(), before[9]);
    ASSERT_TRUE(RewindBack()); // where the history started
    EXPECT_FALSE(RewindBack());
    EXPECT_FALSE(CanStepBack());
    EXPECT_EQ(RewindSnapshotCount(), 1u);
}

TEST_F(RewindTest, KeepsTheLastMinute) {
    Start();
    g_run.CyclesPerTick = 40; // a handful of steps a tick
    RunTicks(0, kRewindKeepTicks + 700);
    EXPECT_GE(RewindSnapshotCount(), 600u);
    EXPECT_LE(RewindSnapshotCount(), 602u);
    EXPECT_LT(RewindMemoryBytes(), 12u << 20);
    int back = 0;
    while (RewindBack()) ++back;
    EXPECT_GE(back, 599);
}
} // namespace
