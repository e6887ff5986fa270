// State files: round trips, a restored machine running on exactly as the original, every kind
// of damaged file refused without a change, other code images and oscillators, files and slots.
#include "Busy.h"
#include "Support.h"

#include "host/RunLoop.h"
#include "host/State.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

namespace {
// Runs ticks as the desktop program does, with a refresh tick after every 5th and a few key
// events (numbered from first, so that two runs of the same ticks see the same keys).
void RunTicks(int first, int count) {
    for (int t = first; t < first + count; ++t) {
        if (t % 7 == 3) SetKeySlot(KeySlot::Keyboard, 14 + t % 5);
        if (t % 7 == 5) SetKeySlot(KeySlot::Keyboard, 0);
        if (t % 11 == 4) SetKeySlot(KeySlot::Mouse, 20);
        if (t % 11 == 6) SetKeySlot(KeySlot::Mouse, 0);
        OnRunTimer();
        if (t % 5 == 4) OnRefreshTimer();
    }
}

// Everything a refused load must leave alone: the machine image, the code, the run controls.
struct Everything {
    std::vector<uint8_t> Image, Rom, Ext;
    RunState Run;
    bool operator==(const Everything& o) const {
        return Image == o.Image && Rom == o.Rom && Ext == o.Ext &&
               std::memcmp(&Run, &o.Run, sizeof Run) == 0;
    }
};
Everything Snap() {
    return {MachineImage(),
            {g_cpu.Rom, g_cpu.Rom + kRomBytes},
            {g_cpu.Ext, g_cpu.Ext + kExtBytes},
            g_run};
}

// A state file taken apart into its chunks and put together again with a fresh checksum, so
// that one chunk or field can be damaged behind a valid checksum.
struct Chunk {
    std::string Tag;
    std::vector<uint8_t> Data;
};
struct Parts {
    uint32_t Version = 0;
    std::vector<Chunk> Chunks; // END included
};

uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> 8 * i));
}

Parts Split(const std::vector<uint8_t>& bytes) {
    Parts p;
    p.Version = Le32(&bytes[8]);
    for (size_t at = 12; at + 4 < bytes.size();) {
        const uint32_t size = Le32(&bytes[at + 4]);
        p.Chunks.push_back({std::string(bytes.begin() + at, bytes.begin() + at + 4),
                            {bytes.begin() + at + 8, bytes.begin() + at + 8 + size}});
        at += 8 + size;
    }
    return p;
}

std::vector<uint8_t> Join(const Parts& p) {
    std::vector<uint8_t> out = {'V', 'E', 'L', 'M', 'O', 'R', 'A', 0x1A};
    Put32(out, p.Version);
    for (const Chunk& c : p.Chunks) {
        out.insert(out.end(), c.Tag.begin(), c.Tag.end());
        Put32(out, static_cast<uint32_t>(c.Data.size()));
        out.insert(out.end(), c.Data.begin(), c.Data.end());
    }
    Put32(out, static_cast<uint32_t>(crc32(0, out.data(), static_cast<uInt>(out.size()))));
    return out;
}

void Set32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> 8 * i);
}

Chunk& Find(Parts& p, const std::string& tag) {
    for (Chunk& c : p.Chunks)
        if (c.Tag == tag) return c;
    throw std::runtime_error("no chunk " + tag);
}

std::vector<uint8_t> BusyState(int ticks) {
    BootBusy(2000);
    RunTicks(0, ticks);
    return SaveState();
}

TEST(State, SaveLoadSaveGivesTheSameBytes) {
    const std::vector<uint8_t> saved = [] {
        BootBusy(2000);
        RunTicks(0, 37);
        return SaveState({123, 456});
    }();
    const std::vector<uint8_t> image = MachineImage();
    RunTicks(37, 9); // a different machine
    ASSERT_NE(MachineImage(), image);

    const StateLoadResult r = LoadState(saved);
    ASSERT_TRUE(r.Ok()) << r.Error;
    EXPECT_TRUE(r.Warnings.empty());
    EXPECT_EQ(r.Counts.Steps, 123);
    EXPECT_EQ(r.Counts.Cycles, 456);
    EXPECT_EQ(MachineImage(), image);
    EXPECT_EQ(SaveState({123, 456}), saved);

    // And the image alone: capture, restore over another machine, capture.
    RunTicks(46, 3);
    const std::vector<uint8_t> other = MachineImage();
    RestoreMachine(image.data());
    EXPECT_EQ(MachineImage(), image);
    RestoreMachine(other.data());
    EXPECT_EQ(MachineImage(), other);
}

TEST(State, ARestoredMachineRunsOnExactlyAsTheOriginal) {
    struct Run {
        std::vector<uint32_t> Trace; // PC before and cycles of every step
        std::vector<uint8_t> End;
    };
    static std::vector<uint32_t>* trace = nullptr;
    const auto runOn = [] {
        Run r;
        trace = &r.Trace;
        StepHook = [](uint16_t pc) { trace->push_back(uint32_t{pc} << 16 | g_cpu.StepCycles); };
        RunTicks(20, 30);
        StepHook = nullptr;
        r.End = SaveState();
        return r;
    };
    const std::vector<uint8_t> middle = BusyState(20);
    const Run original = runOn();
    ASSERT_GT(original.Trace.size(), 5000u);

    BootBusy(2000); // another machine, then the state
    RunTicks(0, 3);
    ASSERT_TRUE(LoadState(middle).Ok());
    const Run restored = runOn();
    EXPECT_EQ(restored.Trace, original.Trace);
    EXPECT_EQ(restored.End, original.End);
}

TEST(State, EveryTruncationIsRefusedAndChangesNothing) {
    const std::vector<uint8_t> saved = BusyState(12);
    RunTicks(12, 5);
    const Everything before = Snap();
    for (size_t size = 0; size < saved.size(); ++size) {
        const StateLoadResult r = LoadState(std::span(saved.data(), size));
        const std::string expected =
            size < 8 ? "not a Velmora state file" : "the file is cut short";
        ASSERT_EQ(r.Error, expected) << "size " << size;
    }
    EXPECT_TRUE(Snap() == before);
}

TEST(State, EveryFlippedByteIsRefusedAndChangesNothing) {
    const std::vector<uint8_t> saved = BusyState(12);
    RunTicks(12, 5);
    const Everything before = Snap();
    std::vector<uint8_t> damaged = saved;
    for (const uint8_t flip : {0x01, 0x80, 0xFF}) {
        for (size_t i = 0; i < saved.size(); ++i) {
            damaged[i] ^= flip;
            const StateLoadResult r = LoadState(damaged);
            damaged[i] ^= flip;
            ASSERT_FALSE(r.Ok()) << "byte " << i << " ^ " << int(flip);
            ASSERT_EQ(r.Error.find('\n'), std::string::npos);
        }
    }
    EXPECT_TRUE(Snap() == before);
}

TEST(State, DamageBehindAValidChecksumIsNamed) {
    const std::vector<uint8_t> saved = BusyState(12);
    RunTicks(12, 5);
    const Everything before = Snap();
    struct Case {
        const char* what;
        void (*damage)(Parts&);
        const char* error;
    };
    // Field offsets as docs/state-format.md lays the chunks out.
    const Case cases[] = {
        {"newer version", [](Parts& p) { p.Version = 2; },
         "state format version 2 is not one this program reads (it reads version 1)"},
        {"no RAM",
         [](Parts& p) { std::erase_if(p.Chunks, [](auto& c) { return c.Tag == "RAM "; }); },
         "the file lacks the RAM chunk"},
        {"no ROMS",
         [](Parts& p) { std::erase_if(p.Chunks, [](auto& c) { return c.Tag == "ROMS"; }); },
         "the file lacks the ROMS chunk"},
        {"short RAM", [](Parts& p) { Find(p, "RAM ").Data.pop_back(); },
         "the file is damaged (the RAM chunk has 8191 bytes, not 8192)"},
        {"long KEYS", [](Parts& p) { Find(p, "KEYS").Data.push_back(0); },
         "the file is damaged (the KEYS chunk has 141 bytes, not 140)"},
        {"CPU twice", [](Parts& p) { p.Chunks.insert(p.Chunks.begin() + 1, Find(p, "CPU ")); },
         "the file is damaged (the CPU chunk appears twice)"},
        {"AS bit 7", [](Parts& p) { Find(p, "CPU ").Data[9] = 0x80; },
         "the file is damaged (the CPU chunk holds AS = 128, out of range)"},
        {"IRQ bit 4", [](Parts& p) { Find(p, "CPU ").Data[18] = 0x10; },
         "the file is damaged (the CPU chunk holds IRQ = 16, out of range)"},
        {"OFF 2", [](Parts& p) { Find(p, "CPU ").Data[20] = 2; },
         "the file is damaged (the CPU chunk holds OFF = 2, out of range)"},
        {"balance", [](Parts& p) { Set32(Find(p, "CPU ").Data, 22, 0x7FFFFFFF); },
         "the file is damaged (the CPU chunk holds CycleBalance = 2147483647, out of range)"},
        {"grant", [](Parts& p) { Set32(Find(p, "CPU ").Data, 22, 2001); },
         "the file is damaged (the CPU chunk holds CycleBalance = 2001, more than the 2000 "
         "cycles of a run tick)"},
        {"BytePos", [](Parts& p) { Set32(Find(p, "CPU ").Data, 35, 4); },
         "the file is damaged (the CPU chunk holds BytePos = 4, out of range)"},
        {"RowCounter", [](Parts& p) { Find(p, "LCD ").Data[5] = 113; },
         "the file is damaged (the LCD chunk holds RowCounter = 113, out of range)"},
        {"RowCycles", [](Parts& p) { Set32(Find(p, "LCD ").Data, 0, 0xFFFFFFFF); },
         "the file is damaged (the LCD chunk holds RowCycles = -1, out of range)"},
        {"MouseKey", [](Parts& p) { Set32(Find(p, "KEYS").Data, 0, 0xFFFFFFFF); },
         "the file is damaged (the KEYS chunk holds MouseKey = -1, out of range)"},
        {"StopRequest", [](Parts& p) { Find(p, "RUN ").Data[4] = 2; },
         "the file is damaged (the RUN chunk holds StopRequest = 2, out of range)"},
        {"Steps", [](Parts& p) { Find(p, "CNTS").Data[7] = 0x80; },
         "the file is damaged (the CNTS chunk holds Steps = -9223372036854775808, out of "
         "range)"},
        {"VERS",
         [](Parts& p) {
             Find(p, "VERS").Data = {'0', '\n'};
         },
         "the file is damaged (the VERS chunk is not a version)"},
        {"END", [](Parts& p) { Find(p, "END ").Data = {0}; },
         "the file is damaged (its END chunk is not empty)"},
        {"after END",
         [](Parts& p) {
             p.Chunks.push_back({"XTRA", {}});
         },
         "the file is damaged (bytes follow its END chunk)"},
    };
    for (const Case& c : cases) {
        Parts p = Split(saved);
        c.damage(p);
        EXPECT_EQ(LoadState(Join(p)).Error, c.error) << c.what;
    }
    EXPECT_TRUE(Snap() == before);
    EXPECT_EQ(LoadState(std::vector<uint8_t>(100, 'x')).Error, "not a Velmora state file");

    // Chunks a reader does not know are passed over, wherever they are.
    Parts p = Split(saved);
    p.Chunks.insert(p.Chunks.begin() + 2, {"NEW1", {1, 2, 3}});
    p.Chunks.insert(p.Chunks.end() - 1, {"NEW2", {}});
    const StateLoadResult r = LoadState(Join(p));
    EXPECT_TRUE(r.Ok()) << r.Error;
    EXPECT_EQ(SaveState(), saved);
}

TEST(State, OtherCodeImagesLoadWithAWarningNamingThem) {
    const std::vector<uint8_t> saved = BusyState(12);
    const std::vector<uint8_t> image = MachineImage();
    RunTicks(12, 4);
    g_cpu.Ext[0x7000] ^= 1;
    StateLoadResult r = LoadState(saved, "The state file a.vst");
    ASSERT_TRUE(r.Ok());
    ASSERT_EQ(r.Warnings.size(), 1u);
    EXPECT_TRUE(std::regex_match(r.Warnings[0],
                                 std::regex("The state file a.vst was saved with another rom1.bin "
                                            "\\(SHA-256 [0-9a-f]{8}\\.\\.\\., this one "
                                            "[0-9a-f]{8}\\.\\.\\.\\); it runs on with this one")))
        << r.Warnings[0];
    EXPECT_EQ(MachineImage(), image);
    EXPECT_EQ(g_cpu.Ext[0x7000] & 1, 1); // the code stays the program's own

    g_cpu.Rom[5] ^= 1;
    r = LoadState(saved);
    ASSERT_EQ(r.Warnings.size(), 2u);
    EXPECT_NE(r.Warnings[0].find("another rom0.bin"), std::string::npos);
    EXPECT_NE(r.Warnings[1].find("another rom1.bin"), std::string::npos);
}

TEST(State, TheProgramKeepsItsOwnRunControls) {
    const std::vector<uint8_t> saved = BusyState(12);
    g_run.CyclesPerTick = 40000;
    g_run.StopRequest = 1;
    g_run.PowerOn = 0;
    g_run.ResumeDelay = 7;
    const RunState mine = g_run;
    const StateLoadResult r = LoadState(saved);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.Warnings, std::vector<std::string>{"The state was saved at 2000 cycles per run "
                                                   "tick; it runs on at this program's 40000"});
    EXPECT_EQ(std::memcmp(&g_run, &mine, sizeof mine), 0);
}

TEST(StateFiles, SlotsAndFilesReportWhatFails) {
    ScratchDir dir;
    BootBusy(2000);
    RunTicks(0, 8);
    EXPECT_EQ(StateSlotFile(0), "state-0.vst");
    EXPECT_EQ(StateSlotFile(9), "state-9.vst");
    EXPECT_EQ(StateSlotTimeText(3), "empty");
    EXPECT_FALSE(StateSlotTime(3));

    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(SaveStateSlot(3));
    const std::optional<std::time_t> saved = StateSlotTime(3);
    ASSERT_TRUE(saved);
    EXPECT_GE(*saved + 1, before);
    EXPECT_LE(*saved, std::time(nullptr) + 1);
    EXPECT_TRUE(std::regex_match(StateSlotTimeText(3),
                                 std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d")));
    EXPECT_EQ(ReadFile("state-3.vst"), SaveState());

    const std::vector<uint8_t> image = MachineImage();
    RunTicks(8, 4);
    ASSERT_TRUE(LoadStateSlot(3));
    EXPECT_EQ(MachineImage(), image);
    EXPECT_TRUE(g_warnings.empty());

    WriteText("junk.vst", "hello");
    const std::vector<uint8_t> whole = ReadFile("state-3.vst");
    WriteFile("short.vst", std::vector<uint8_t>(whole.begin(), whole.begin() + 100));
    RunTicks(12, 2);
    const std::vector<uint8_t> now = MachineImage();
    EXPECT_FALSE(LoadStateFile("missing.vst"));
    EXPECT_FALSE(LoadStateFile("junk.vst"));
    EXPECT_FALSE(LoadStateFile("short.vst"));
    EXPECT_FALSE(LoadStateFile("."));
    EXPECT_FALSE(SaveStateFile("no-such-folder/s.vst"));
    EXPECT_EQ(MachineImage(), now);
    EXPECT_EQ(g_warnings,
              (std::vector<std::string>{
                  "Failed to load the state file missing.vst: No such file or directory",
                  "Failed to load the state file junk.vst: not a Velmora state file",
                  "Failed to load the state file short.vst: the file is cut short",
                  "Failed to load the state file .: Is a directory",
                  "Failed to save the file no-such-folder/s.vst"}));
}
} // namespace
