// The desktop program's paced key input: minimum holds, overlapping PC keys, the firmware having
// seen each change, paste pacing; and the default firmware typed through it.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "host/RunLoop.h"
#include "periph/Keyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {
constexpr KeySlot kKbd = KeySlot::Keyboard;
constexpr KeySlot kMouse = KeySlot::Mouse;

// A host event at a millisecond of emulated time: a press (code >= 0) or a release (code < 0)
// of PC key OWNER.
struct HostEvent {
    int ms;
    int code;
    uint32_t owner;
};
HostEvent Down(int ms, int code, uint32_t owner) {
    return {ms, code, owner};
}
HostEvent Up(int ms, uint32_t owner) {
    return {ms, -1, owner};
}

// A firmware model that takes a key only after it has seen every key up, as the default
// firmware does, and looks for the release only at its timer interrupt (every 32 ms) while it
// looks for a new key at every run tick. It strobes the matrix through KeyboardUpdate, so the
// paced input sees what it sees.
struct WaitForAllUpFirmware {
    bool waitingForRelease = false;
    std::vector<int> taken;
    int lastTimer = 0;

    void RunTick(int ms) {
        const bool timer = ms / 32 != lastTimer;
        lastTimer = ms / 32;
        if (waitingForRelease && !timer) return;
        g_cpu.KC = 0xFF;
        KeyboardUpdate();
        const bool down = g_cpu.KI != 0;
        if (!waitingForRelease && down) {
            taken.push_back(g_kbd.KeyboardKey != 0 ? g_kbd.KeyboardKey : g_kbd.MouseKey);
            waitingForRelease = true;
        } else if (waitingForRelease && !down) {
            waitingForRelease = false;
        }
    }
};

// Runs the events millisecond by millisecond; a run tick ends every 10 ms (the firmware runs in
// it, then the paced input counts it). Returns the keyboard slot at every millisecond.
std::vector<int> RunEvents(const std::vector<HostEvent>& events, int ms,
                           WaitForAllUpFirmware* firmware, KeySlot slot = kKbd) {
    std::vector<int> trace;
    for (int t = 0; t < ms; ++t) {
        for (const HostEvent& e : events) {
            if (e.ms != t) continue;
            if (e.code >= 0)
                PacedKeyPress(slot, e.code, e.owner);
            else
                PacedKeyRelease(slot, e.owner);
        }
        trace.push_back(KeySlotValue(slot));
        if (t % 10 == 9) {
            if (firmware) firmware->RunTick(t);
            PacedKeyTick();
        }
    }
    return trace;
}

// The first millisecond from which the slot stays VALUE to the end, or -1.
int SettledAt(const std::vector<int>& trace, int value) {
    if (trace.empty() || trace.back() != value) return -1;
    int t = static_cast<int>(trace.size()) - 1;
    while (t > 0 && trace[t - 1] == value) --t;
    return t;
}

class PacedKeys : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMachine();
        g_cpu.KC = 0xFF;
    }
};

TEST_F(PacedKeys, ATapOfAnyLengthIsHeldForThreeTicksAndALongerOneUntilItsRelease) {
    // A tick ends at ms 9, 19, 29, ...; the key then stays at least until the end of the third
    // tick after the press, and a later release takes effect when it comes.
    for (const int pressAt : {0, 4, 9}) {
        for (const int length : {0, 1, 5, 9, 10, 15, 20, 29, 30, 31, 35, 40}) {
            ResetMachine();
            WaitForAllUpFirmware firmware;
            const int releaseAt = pressAt + length;
            const std::vector<int> trace =
                RunEvents({Down(pressAt, 48, 7), Up(releaseAt, 7)}, 120, &firmware);
            const int thirdTickEnd = (pressAt / 10 + 3) * 10; // the ms after the third tick
            EXPECT_EQ(trace[pressAt], 48) << "press at once, " << pressAt << "+" << length;
            EXPECT_EQ(SettledAt(trace, 0), std::max(releaseAt, thirdTickEnd))
                << pressAt << "+" << length;
            EXPECT_EQ(firmware.taken, std::vector<int>{48}) << pressAt << "+" << length;
        }
    }
}

TEST_F(PacedKeys, OverlappingTypingReachesAFirmwareThatWaitsForAllKeysUp) {
    struct Case {
        const char* name;
        int pitch, hold; // every key pressed PITCH ms after the one before, held HOLD ms
    };
    const Case cases[] = {
        {"overlapping by half", 100, 150}, {"overlapping fast", 60, 90}, {"5 ms taps", 60, 5},
        {"taps at once", 20, 0},           {"slow", 250, 100},
    };
    const std::vector<int> keys = {52, 53, 54, 47, 48, 49, 42, 43, 44, 52}; // 1234567891
    for (const Case& c : cases) {
        ResetMachine();
        std::vector<HostEvent> events;
        for (size_t i = 0; i < keys.size(); ++i) {
            const int at = 5 + c.pitch * static_cast<int>(i);
            const uint32_t owner = 100 + static_cast<uint32_t>(i);
            events.push_back(Down(at, keys[i], owner));
            events.push_back(Up(at + c.hold, owner));
        }
        WaitForAllUpFirmware firmware;
        const std::vector<int> trace = RunEvents(events, 3000, &firmware);
        EXPECT_EQ(firmware.taken, keys) << c.name;
        EXPECT_EQ(trace.back(), 0) << c.name;
    }
}

TEST_F(PacedKeys, ReleasingAnOverriddenKeyChangesNothing) {
    // A down, B down, A up: B is held (after a short release between the two keys, until the
    // firmware has seen the slot empty) until B comes up.
    WaitForAllUpFirmware firmware;
    const std::vector<int> trace =
        RunEvents({Down(0, 42, 1), Down(50, 43, 2), Up(80, 1), Up(300, 2)}, 400, &firmware);
    EXPECT_EQ(trace[49], 42);
    EXPECT_EQ(trace[50], 0) << "A was held and seen long enough: released at once";
    const auto b = std::find(trace.begin() + 50, trace.end(), 43);
    ASSERT_NE(b, trace.end());
    EXPECT_LE(b - trace.begin(), 100);
    EXPECT_TRUE(std::all_of(b, trace.begin() + 300, [](int v) { return v == 43; }))
        << "A's release did not touch B";
    EXPECT_EQ(trace[300], 0);
    EXPECT_EQ(firmware.taken, (std::vector<int>{42, 43}));
    // The same key pressed by two PC keys (Enter and '='): the second press is a new press.
    ResetMachine();
    WaitForAllUpFirmware again;
    const std::vector<int> same = RunEvents({Down(0, 61, 1), Down(50, 61, 2)}, 200, &again);
    EXPECT_EQ(same[50], 0);
    EXPECT_EQ(same[199], 61);
    EXPECT_EQ(again.taken, (std::vector<int>{61, 61}));
}

TEST_F(PacedKeys, ReleaseAllEndsTheHeldKeyAfterItsMinimumHold) {
    PacedKeyPress(kKbd, 45, 9);
    PacedKeyReleaseAll(kKbd); // the window lost the focus right after the press
    EXPECT_EQ(g_kbd.KeyboardKey, 45);
    for (int i = 0; i < kKeyHoldTicks; ++i) {
        KeyboardUpdate(); // the firmware scans
        PacedKeyTick();
    }
    EXPECT_EQ(g_kbd.KeyboardKey, 0);
    PacedKeyRelease(kKbd, 9); // its own release later changes nothing any more
    EXPECT_TRUE(g_pacedKeys.Slots[1].Pending.empty());
}

TEST_F(PacedKeys, AChangeWaitsUntilTheFirmwareHasSeenTheKeyOrTheCapRunsOut) {
    struct Case {
        uint8_t kc;       // what the firmware strobes at every tick (0: it never strobes)
        int32_t code;     // the key tapped
        int releasedTick; // the tick after which the slot is empty again
    };
    const Case cases[] = {
        {0xFF, 14, kKeyHoldTicks},    // sensed at once
        {0x82, 14, kKeySeenCapTicks}, // strobed, but never on the key's line
        {0x00, 14, kKeySeenCapTicks}, // a firmware that does not scan at all
        {0x40, 46, kKeyHoldTicks},    // the wake key under the off state's strobe
        {0x40, 14, kKeySeenCapTicks}, // any other key there is not sensed
        {0x00, 2, kKeyHoldTicks},     // the window's close button never reaches the matrix
    };
    for (const Case& c : cases) {
        ResetMachine();
        PacedKeyPress(kMouse, c.code, 1);
        PacedKeyRelease(kMouse, 1);
        int released = -1;
        for (int tick = 1; tick <= kKeySeenCapTicks + 2 && released < 0; ++tick) {
            if (c.kc) {
                g_cpu.KC = c.kc;
                KeyboardUpdate();
            }
            PacedKeyTick();
            if (g_kbd.MouseKey == 0) released = tick;
        }
        EXPECT_EQ(released, c.releasedTick) << "KC " << int(c.kc) << " key " << c.code;
    }
}

TEST_F(PacedKeys, PasteTypesThroughTheKeyMapAtTheTypingPace) {
    g_kbd.KeyMap['1'] = 52;
    g_kbd.KeyMap['2'] = 53;
    g_kbd.KeyMap['*'] = 50;
    g_kbd.KeyMap['-'] = 56;
    g_kbd.KeyMap['/'] = 51;
    const std::u32string text = U"1 2\u00D7a1\u22122\u00F7\u00E9\r\n";
    EXPECT_EQ(PacedPaste(text), 3) << "the blank, 'a' and the accented e have no key";
    EXPECT_TRUE(PacedPasteActive());
    // Each character held 10 ticks, then 10 ticks up; the line break presses Enter.
    const std::vector<int> expected = {52, 53, 50, 52, 56, 53, 51, 61};
    std::vector<int> perTick;
    for (int tick = 0; tick < 20 * static_cast<int>(expected.size()) + 5; ++tick) {
        perTick.push_back(g_kbd.KeyboardKey);
        g_cpu.KC = 0xFF;
        KeyboardUpdate(); // a firmware that scans at every tick
        PacedKeyTick();
    }
    for (size_t i = 0; i < expected.size(); ++i)
        for (int t = 0; t < 20; ++t)
            ASSERT_EQ(perTick[20 * i + t], t < 10 ? expected[i] : 0) << "character " << i;
    EXPECT_FALSE(PacedPasteActive());
}

TEST_F(PacedKeys, APressStopsAPasteAndThePowerSwitchFlushesTheQueue) {
    g_kbd.KeyMap['9'] = 44;
    EXPECT_EQ(PacedPaste(U"999999"), 0);
    EXPECT_EQ(g_kbd.KeyboardKey, 44);
    PacedKeyPress(kKbd, 46, 5); // Esc
    EXPECT_FALSE(PacedPasteActive());
    std::vector<int> seen;
    for (int tick = 0; tick < 30; ++tick) {
        if (seen.empty() || seen.back() != g_kbd.KeyboardKey) seen.push_back(g_kbd.KeyboardKey);
        KeyboardUpdate();
        PacedKeyTick();
    }
    EXPECT_EQ(seen, (std::vector<int>{44, 0, 46}));

    // Queued changes the run ticks would apply are applied at once by the flush.
    PacedKeyPress(kKbd, 47, 6);
    PacedKeyRelease(kKbd, 6);
    PacedKeyPress(kKbd, 48, 7);
    PacedKeyFlush();
    EXPECT_EQ(g_kbd.KeyboardKey, 48);
    EXPECT_TRUE(g_pacedKeys.Slots[1].Pending.empty());
    PacedKeyRelease(kKbd, 7);
    EXPECT_EQ(g_kbd.KeyboardKey, 0) << "the flushed state counts as settled";
}

TEST_F(PacedKeys, ARestoredMachineGetsBackTheKeysTheUserHoldsNow) {
    // The slot's value in the restored machine against what the user does before and after.
    struct Case {
        const char* what;
        int32_t restored;  // the keyboard slot as the loaded state or rewound image has it
        bool pressBefore;  // key 47 pressed by PC key 3 (and settled) before the restore
        bool releaseAfter; // ... and let go after the restore (through the paced input)
        int32_t expected;  // the slot right after PacedKeyRestored
        int32_t settled;   // ... and once the queue has settled
    };
    const Case cases[] = {
        {"nothing held, the state's key goes up", 52, false, false, 0, 0},
        {"nothing held, nothing down", 0, false, false, 0, 0},
        {"a key held comes back down", 0, true, false, 47, 47},
        {"a key held replaces the state's", 52, true, false, 47, 47},
        {"the held key, let go afterwards, goes up", 0, true, true, 47, 0},
        {"the same key in both stays", 47, true, false, 47, 47},
    };
    for (const Case& c : cases) {
        ResetMachine();
        g_cpu.KC = 0xFF;
        if (c.pressBefore) {
            PacedKeyPress(kKbd, 47, 3);
            for (int i = 0; i <= kKeyHoldTicks; ++i) {
                KeyboardUpdate();
                PacedKeyTick();
            }
        }
        g_kbd.KeyboardKey = c.restored; // the machine replaced behind the key input's back
        g_kbd.MouseKey = 14;            // nobody holds the mouse
        PacedKeyRestored();
        EXPECT_EQ(g_kbd.KeyboardKey, c.expected) << c.what;
        EXPECT_EQ(g_kbd.MouseKey, 0) << c.what;
        if (c.releaseAfter) PacedKeyRelease(kKbd, 3);
        for (int i = 0; i <= 2 * kKeySeenCapTicks; ++i) {
            KeyboardUpdate();
            PacedKeyTick();
        }
        EXPECT_EQ(g_kbd.KeyboardKey, c.settled) << c.what;
    }
    // A paste being typed keeps its queue: the restore leaves its slot to it.
    ResetMachine();
    g_kbd.KeyMap['5'] = 49;
    PacedPaste(U"55");
    g_kbd.KeyboardKey = 30;
    PacedKeyRestored();
    EXPECT_EQ(g_kbd.KeyboardKey, 30);
    EXPECT_TRUE(PacedPasteActive());
}

TEST(PcKeyCode, TheFixedTableFirstThenTheKeyMap) {
    ResetMachine();
    g_kbd.KeyMap['7'] = 42;
    g_kbd.KeyMap[29] = 6;
    const struct {
        int vk, character;
        int32_t code;
    } cases[] = {
        {kVkBack, 8, 45},   {kVkDelete, 127, 45}, {kVkEnter, 13, 61}, {kVkF8, 0, 62},
        {kVkF3, 0, kNoKey}, {kVkLeft, 0, 6},      {kVkUp, 0, 0},      {0, '7', 42},
        {0, '8', kNoKey},   {0, 200, kNoKey},     {0, 0, kNoKey},
    };
    for (const auto& c : cases) EXPECT_EQ(PcKeyCode(c.vk, c.character), c.code) << c.vk;
    // The seed's translation takes Backspace too.
    KeyboardKeyDown(kVkBack);
    EXPECT_EQ(g_kbd.KeyboardKey, 45);
}

TEST(FaceKeyRect, EveryKeyRectangleHitsItsKeyAndOnlyItsOwnPixels) {
    for (int code = 1; code <= 61; ++code) {
        const FaceRect r = FaceKeyRect(code);
        ASSERT_GT(r.width, 0) << code;
        EXPECT_EQ(FaceHitTest(r.x, r.y), code);
        EXPECT_EQ(FaceHitTest(r.x + r.width - 1, r.y + r.height - 1), code);
        EXPECT_NE(FaceHitTest(r.x + r.width, r.y), code);
        EXPECT_NE(FaceHitTest(r.x, r.y + r.height), code);
    }
    EXPECT_EQ(FaceKeyRect(62).width, 0);
    EXPECT_EQ(FaceKeyRect(0).width, 0);
}

// --- The default firmware, typed through the paced input --------------------------------------

bool LoadFile(const std::string& path, uint8_t* dest, size_t size) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.read(reinterpret_cast<char*>(dest), static_cast<std::streamsize>(size));
    return true;
}

std::string ResultLine() {
    // Text line 7 of the firmware's text area (docs/firmware.md), blanks dropped.
    std::string line(reinterpret_cast<const char*>(g_cpu.Ram + 0x100 + 7 * 16), 16);
    line.erase(std::remove(line.begin(), line.end(), ' '), line.end());
    return line;
}

TEST(PacedKeysOnTheDefaultFirmware, OverlappingKeysAndShortTapsAreAllTaken) {
    struct Case {
        const char* name;
        std::vector<int> keys;
        int pitch, hold;
        const char* result;
    };
    const std::vector<int> sum = {52, 53, 55, 54, 47, 61}; // 12+34=
    const std::vector<int> product = {42, 50, 49, 61};     // 7*6=
    const Case cases[] = {
        {"12+34= overlapping", sum, 90, 140, "46"}, {"7*6= overlapping", product, 90, 140, "42"},
        {"12+34= 5 ms taps", sum, 60, 5, "46"},     {"7*6= 5 ms taps", product, 60, 5, "42"},
        {"12+34= taps at once", sum, 15, 0, "46"},
    };
    for (const Case& c : cases) {
        ResetMachine();
        if (!LoadFile(VELMORA_BINARY_DIR "/firmware/rom0.bin", g_cpu.Rom, sizeof g_cpu.Rom) ||
            !LoadFile(VELMORA_BINARY_DIR "/firmware/rom1.bin", g_cpu.Ext, sizeof g_cpu.Ext))
            GTEST_SKIP() << "the default firmware is not built";
        StartEmulation();
        const int start = 500; // the firmware is up and waiting by then
        const int end = start + c.pitch * static_cast<int>(c.keys.size()) + 1500;
        for (int t = 0; t < end; ++t) {
            for (size_t i = 0; i < c.keys.size(); ++i) {
                const int at = start + c.pitch * static_cast<int>(i);
                if (t == at) PacedKeyPress(kKbd, c.keys[i], static_cast<uint32_t>(i + 1));
                if (t == at + c.hold) PacedKeyRelease(kKbd, static_cast<uint32_t>(i + 1));
            }
            if (t % 10 == 9) OnPacedRunTimer();
        }
        EXPECT_EQ(ResultLine(), c.result) << c.name;
    }
}

} // namespace
