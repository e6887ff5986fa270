// The session of the programs without windows: start-up in another folder, runs that continue
// each other, key events in their order, and the PNG reader and writer.
#include "Support.h"

#include "core/Cpu.h"
#include "host/Files.h"
#include "host/Png.h"
#include "host/Session.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {
constexpr uint8_t kNop = 0xEF;

std::string AsText(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

// Nops in both memories, so every step is a plain instruction.
StartImages NopImages(std::string& rom0, std::string& rom1) {
    rom0.assign(kRomBytes, '\0');
    for (int w = 0; w < kRomWords; ++w) rom0[3 * w] = static_cast<char>(kNop);
    rom1.assign(kExtBytes, static_cast<char>(kNop));
    StartImages images;
    images.Rom0 = rom0;
    images.Rom1 = rom1;
    return images;
}

TEST(Session, StartInFolderReadsAndSavesThereAndNamesFilesBare) {
    ScratchDir cwd; // the current directory stays empty
    const std::filesystem::path folder = cwd.Path() / "calc";
    std::filesystem::create_directory(folder);
    WriteFile((folder / "rom1.bin").string(), {0x11, 0x22});
    WriteFile((folder / "ram.bin").string(), {0x33});
    WriteText((folder / "velmora.ini").string(), "[Settings]\nOscFreq=1000\n");

    StartInFolder(folder);
    EXPECT_EQ(g_warnings, std::vector<std::string>{"Failed to load the file rom0.bin"});
    EXPECT_EQ(g_cpu.Ext[1], 0x22);
    EXPECT_EQ(g_cpu.Ram[0], 0x33);
    EXPECT_EQ(g_run.CyclesPerTick, 10000);

    g_cpu.Ram[1] = 0x44;
    EXPECT_TRUE(SaveImages());
    EXPECT_EQ(ReadFile((folder / "ram.bin").string()).at(1), 0x44);
    EXPECT_FALSE(std::filesystem::exists(cwd.Path() / "ram.bin"));
    g_fileFolder.clear();
}

TEST(Session, StartFromImagesCopiesWhatIsGivenAsAFileWouldBeRead) {
    const std::string ram(9000, '\x05'), keymap(50, '\x07');
    StartImages images;
    images.Rom1 = "\x01\x02";
    images.Ram = ram;
    images.KeyMap = keymap;
    images.OscFreq = 500;
    StartFromImages(images);
    EXPECT_EQ(g_cpu.Ext[1], 0x02);
    EXPECT_EQ(g_cpu.Ext[2], 0x00);
    EXPECT_EQ(g_cpu.Ram[kRamBytes - 1], 0x05);
    EXPECT_EQ(g_kbd.KeyMap[49], 0x07);
    EXPECT_EQ(g_kbd.KeyMap[50], 0x00);
    EXPECT_EQ(g_run.CyclesPerTick, 5000);
    EXPECT_EQ(g_run.PowerOn, 1);
}

TEST(Session, RunsInPiecesEndWhereOneRunEnds) {
    std::string rom0, rom1;
    const std::vector<std::vector<int64_t>> pieces = {{7, 8, 1, 14}, {3, 3, 3, 3, 3, 3, 3, 9}};
    StartFromImages(NopImages(rom0, rom1));
    RunMs(30);
    const std::string whole = DumpJson();
    for (const auto& run : pieces) {
        StartFromImages(NopImages(rom0, rom1));
        for (const int64_t ms : run) RunMs(ms);
        EXPECT_EQ(g_session.TickMs, 30);
        EXPECT_EQ(DumpJson(), whole);
    }
    // A refresh tick after every 5th run tick since the start-up, however the runs are cut:
    // the first one hands the start-up's white LCD over and clears LcdDirty.
    StartFromImages(NopImages(rom0, rom1));
    RunMs(45);
    EXPECT_EQ(g_lcd.LcdDirty, 1);
    RunMs(5);
    EXPECT_EQ(g_lcd.LcdDirty, 0);
}

TEST(Session, StepsAreCountedAlikeWithAndWithoutATrace) {
    ScratchDir dir;
    std::string rom0, rom1;
    StartFromImages(NopImages(rom0, rom1));
    RunMs(100);
    RunSteps(7);
    const std::string counted = DumpJson();
    const int64_t steps = g_run.StepsRun, cycles = g_run.CyclesRun;
    EXPECT_GT(steps, 1000);
    EXPECT_GE(cycles, 10 * 20000); // ten ticks of 20000 cycles, the last step overshooting
    EXPECT_LT(cycles, 10 * 20000 + 1000);

    StartFromImages(NopImages(rom0, rom1));
    g_session.Trace = std::fopen("trace.txt", "w");
    ASSERT_TRUE(g_session.Trace);
    RunMs(100);
    RunSteps(7);
    std::fclose(g_session.Trace);
    g_session.Trace = nullptr;
    EXPECT_EQ(DumpJson(), counted);
    // One line a step: index, PC, f, cycles.
    std::istringstream trace(AsText(ReadFile("trace.txt")));
    int64_t lines = 0, traced = 0;
    for (std::string index, pc, flags, stepCycles; trace >> index >> pc >> flags >> stepCycles;) {
        EXPECT_EQ(std::stoll(index), lines);
        ++lines;
        traced += std::stoll(stepCycles);
    }
    EXPECT_EQ(lines, steps);
    EXPECT_EQ(traced, cycles);
}

TEST(Session, KeyEventsApplyBeforeTheirTickReleasesFirst) {
    std::string rom0, rom1;
    StartFromImages(NopImages(rom0, rom1));
    g_cpu.KC = 0xFF;
    ScheduleKey(20, 14, 0); // a hold of 0: the release goes first, the key stays down
    ScheduleKey(5, 16, 30);
    RunMs(10);
    EXPECT_EQ(g_kbd.KeyboardKey, 0); // the press at 5 waits for the tick at 10
    RunMs(10);
    EXPECT_EQ(g_kbd.KeyboardKey, 16);
    RunMs(10);
    EXPECT_EQ(g_kbd.KeyboardKey, 14);
    RunMs(20);
    EXPECT_EQ(g_kbd.KeyboardKey, 0); // 16's release at 35 lets go of the PC key, whichever
    EXPECT_TRUE(g_session.Events.empty());
    // Typed Enter: backslash and n, and a newline character where a script asks for it.
    for (const bool newlineIsEnter : {true, false}) {
        g_session.Events.clear();
        EXPECT_EQ(ScheduleType("1\\n\n", 100, newlineIsEnter), 3);
        ASSERT_EQ(g_session.Events.size(), 6u);
        EXPECT_EQ(g_session.Events[2].Time, 300);
        EXPECT_EQ(g_session.Events[2].Character, -1);
        EXPECT_EQ(g_session.Events[4].Time, 500);
        EXPECT_EQ(g_session.Events[4].Character, newlineIsEnter ? -1 : '\n');
    }
}

TEST(Session, PngWrittenReadsBackAndGarbageIsRefusedWithAReason) {
    ScratchDir dir;
    RgbImage image;
    image.Width = 3;
    image.Height = 2;
    image.Pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    ASSERT_TRUE(WritePng("a.png", image));
    const auto again = ReadPngFile("a.png");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Pixels, image.Pixels);

    std::vector<uint8_t> bytes = ReadFile("a.png");
    for (const size_t cut : {size_t{0}, size_t{8}, bytes.size() / 2}) {
        std::string error;
        EXPECT_FALSE(ReadPng(AsText({bytes.begin(), bytes.begin() + cut}), &error)) << cut;
        EXPECT_FALSE(error.empty()) << cut;
    }
    std::string error;
    EXPECT_FALSE(ReadPngFile("missing.png", &error));
    EXPECT_EQ(error, "cannot be read");
    EXPECT_FALSE(WritePng("no/such/folder/a.png", image));
}
} // namespace
