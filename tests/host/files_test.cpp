// Settings parsing, image loading with its partial-file and failure rules, and saving.
#include "Support.h"

#include "core/Cpu.h"
#include "core/Machine.h"
#include "host/Files.h"
#include "host/RunLoop.h"
#include "periph/Keyboard.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
TEST(SettingInteger, ParsesDecimalAndBothHexPrefixes) {
    const struct {
        const char* text;
        std::optional<int32_t> value;
    } cases[] = {
        {"1000", 1000},
        {"0x3E8", 1000},
        {"$3E8", 1000},
        {"0X3e8", 1000},
        {"$3e8", 1000},
        {"  42  ", 42},
        {"\t7\r", 7},
        {"-5", -5},
        {"+5", 5},
        {"-0x10", -16},
        {"-$10", -16},
        {"0", 0},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"$7FFFFFFF", INT32_MAX},
        {"-$80000000", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"$80000000", std::nullopt},
        {"$FFFFFFFF", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"-", std::nullopt},
        {"$G1", std::nullopt},
        {"3E8", std::nullopt},
        {"1.5", std::nullopt},
        {"--1", std::nullopt},
        {"0b101", std::nullopt},
        {"x10", std::nullopt},
    };
    for (const auto& t : cases)
        EXPECT_EQ(ParseSettingInteger(t.text), t.value) << '"' << t.text << '"';
}

TEST(IniFile, FindsKeysLikeAnInitialisationFileReader) {
    const struct {
        const char* file;
        const char* key;
        std::optional<std::string_view> value;
    } cases[] = {
        {"[Settings]\nOscFreq=1000\n", "OscFreq", "1000"},
        {"[settings]\r\noscfreq = 1000 \r\n", "OscFreq", "1000"},
        {"  [ SETTINGS ]  \n  OSCFREQ\t=\t$3E8\n", "OscFreq", "$3E8"},
        {"[Other]\nOscFreq=5\n[Settings]\nSelfTest=3\n", "OscFreq", std::nullopt},
        {"[Other]\nOscFreq=5\n[Settings]\nSelfTest=3\n", "SelfTest", "3"},
        {"OscFreq=5\n", "OscFreq", std::nullopt}, // no section at all
        {"[Settings]\n;OscFreq=5\n#OscFreq=6\nOscFreq=7", "OscFreq", "7"},
        {"[Settings]\nOscFreq=1\nOscFreq=2\n", "OscFreq", "1"},
        {"[Settings]\n[Other]\nOscFreq=2\n", "OscFreq", std::nullopt},
        {"[Settings]\nOscFreq=\"1234\"\n", "OscFreq", "1234"},
        {"[Settings]\nOscFreq=\n", "OscFreq", ""},
        {"[Settings]\nOscFreqX=1\nXOscFreq=2\n", "OscFreq", std::nullopt},
        {"\xEF\xBB\xBF[Settings]\nOscFreq=9\n", "OscFreq", "9"},
        {"[Settings\nOscFreq=9\n", "OscFreq", std::nullopt},
    };
    for (const auto& t : cases)
        EXPECT_EQ(FindIniValue(t.file, "Settings", t.key), t.value) << t.file;
}

TEST(LoadSettings, ReadsTheFileInTheWorkingDirectory) {
    const struct {
        const char* text; // nullptr: no file
        int32_t oscFreq, selfTest;
    } cases[] = {
        {nullptr, 2000, 0},
        {"[Settings]\nOscFreq=0x3E8\nSelfTest=12\n", 1000, 12},
        {"[Settings]\nOscFreq=$3E8\n", 1000, 0},
        {"[Settings]\nOscFreq=fast\nSelfTest=-4\n", 2000, -4},
        {"[Machine]\nOscFreq=500\nSelfTest=3\n", 2000, 0},
        {"", 2000, 0},
        {"[SETTINGS]\nselftest=$10\nOSCFREQ=-1\n", -1, 16},
    };
    for (const auto& t : cases) {
        ScratchDir dir;
        ResetMachine();
        g_run.OscFreq = 1;
        g_run.SelfTest = 1;
        if (t.text) WriteText(kSettingsFile, t.text);
        LoadSettings();
        EXPECT_EQ(g_run.OscFreq, t.oscFreq) << (t.text ? t.text : "(no file)");
        EXPECT_EQ(g_run.SelfTest, t.selfTest) << (t.text ? t.text : "(no file)");
        EXPECT_TRUE(g_warnings.empty());
    }
}

TEST(LoadImages, WithoutFilesReportsBothRomsAndLeavesZeros) {
    ScratchDir dir;
    ResetMachine();
    g_kbd.KeyMap[65] = 9; // cleared even without keymap.dat
    LoadImages();
    EXPECT_EQ(g_warnings, (std::vector<std::string>{"Failed to load the file rom0.bin",
                                                    "Failed to load the file rom1.bin"}));
    const CpuState zero{};
    EXPECT_EQ(std::memcmp(g_cpu.Rom, zero.Rom, sizeof zero.Rom), 0);
    EXPECT_EQ(std::memcmp(g_cpu.Ext, zero.Ext, sizeof zero.Ext), 0);
    EXPECT_EQ(g_kbd.KeyMap[65], 0);
}

struct Image {
    const char* name;
    uint8_t* dest;
    size_t capacity;
};

std::vector<Image> Images() {
    return {{"keymap.dat", g_kbd.KeyMap, sizeof g_kbd.KeyMap},
            {"rom0.bin", g_cpu.Rom, sizeof g_cpu.Rom},
            {"rom1.bin", g_cpu.Ext, sizeof g_cpu.Ext},
            {"ram.bin", g_cpu.Ram, sizeof g_cpu.Ram},
            {"register.bin", g_cpu.R, sizeof g_cpu.R}};
}

// Every image with files that are exact, short by one, long by one, tiny and empty: the
// first bytes of the file fill the destination, the rest keeps what it held.
TEST(LoadImages, ShortAndLongFilesFillOnlyWhatTheyHave) {
    for (const long delta : {0L, -1L, 1L, -2L, 5000L}) {
        for (int which = 0; which < 5; ++which) {
            ScratchDir dir;
            ResetMachine();
            const Image image = Images()[which];
            const size_t size =
                static_cast<size_t>(std::max(0L, static_cast<long>(image.capacity) + delta));
            const auto bytes = Pattern(size, which);
            WriteFile(image.name, bytes);
            std::memset(image.dest, 0xC3, image.capacity); // what was there before
            LoadImages();
            for (size_t i = 0; i < image.capacity; ++i)
                ASSERT_EQ(image.dest[i], i < size ? bytes[i] : (which == 0 ? 0 : 0xC3))
                    << image.name << " size " << size << " byte " << i;
        }
    }
}

TEST(LoadImages, RomWordsOfShortAndLongImages) {
    const struct {
        size_t size;
        int wholeWords;
    } cases[] = {{18433, 6144}, {18432, 6144}, {18431, 6143}, {100, 33}, {1, 0}};
    for (const auto& t : cases) {
        ScratchDir dir;
        ResetMachine();
        auto bytes = Pattern(t.size, 3);
        for (auto& b : bytes) b |= 1; // never 0, so a loaded byte is told from an empty one
        WriteFile("rom0.bin", bytes);
        LoadImages();
        for (int w = 0; w < kRomWords; ++w)
            for (int k = 0; k < 3; ++k) {
                const size_t at = static_cast<size_t>(w) * 3 + k;
                const bool loaded = w < t.wholeWords || at < t.size;
                ASSERT_EQ(g_cpu.Rom[at], loaded ? bytes[at] : 0)
                    << "size " << t.size << " word " << w;
            }
        EXPECT_EQ(g_warnings, std::vector<std::string>{"Failed to load the file rom1.bin"});
    }
}

TEST(LoadImages, AnUnreadableFileEndsTheLoadingWithItsErrorText) {
    const struct {
        const char* unreadable;
        int loadedBefore; // images in load order before it
    } cases[] = {
        {"keymap.dat", 0}, {"rom0.bin", 1}, {"rom1.bin", 2}, {"ram.bin", 3}, {"register.bin", 4}};
    for (const auto& t : cases) {
        ScratchDir dir;
        ResetMachine();
        const auto images = Images();
        for (int i = 0; i < 5; ++i) WriteFile(images[i].name, Pattern(images[i].capacity, i + 1));
        fs::remove(t.unreadable);
        fs::create_directory(t.unreadable); // exists, cannot be read, even by root
        LoadImages();
        ASSERT_EQ(g_warnings.size(), 1u) << t.unreadable;
        EXPECT_NE(g_warnings[0].find(t.unreadable), std::string::npos) << g_warnings[0];
        EXPECT_NE(g_warnings[0].find(": "), std::string::npos) << g_warnings[0];
        EXPECT_EQ(g_warnings[0].find("Failed to load"), std::string::npos) << g_warnings[0];
        for (int i = 0; i < 5; ++i) {
            const auto want = Pattern(images[i].capacity, i + 1);
            const bool loaded = i < t.loadedBefore;
            EXPECT_EQ(std::memcmp(images[i].dest, want.data(), images[i].capacity) == 0, loaded)
                << t.unreadable << ": " << images[i].name;
        }
    }
}

// The mended fault: a saved RAM or register file that exists but was not loaded is never
// replaced at close, whether its own read failed or the loading ended before it.
TEST(SaveImages, KeepsSavedFilesThatWereNotLoaded) {
    const struct {
        const char* unreadable;
        bool ramWritten, registersWritten;
    } cases[] = {{"keymap.dat", false, false},
                 {"rom0.bin", false, false},
                 {"rom1.bin", false, false},
                 {"ram.bin", false, false},
                 {"register.bin", true, false}};
    for (const auto& t : cases) {
        ScratchDir dir;
        ResetMachine();
        const auto ram = Pattern(kRamBytes, 8), regs = Pattern(kRegBytes, 9);
        WriteFile("ram.bin", ram);
        WriteFile("register.bin", regs);
        fs::remove(t.unreadable);
        fs::create_directory(t.unreadable);
        LoadImages();
        g_cpu.Ram[0] ^= 0xFF;
        g_cpu.R[0] ^= 0xFF;
        g_warnings.clear();
        EXPECT_TRUE(SaveImages());
        EXPECT_TRUE(g_warnings.empty()) << t.unreadable;
        if (!fs::is_directory("ram.bin")) {
            EXPECT_EQ(ReadFile("ram.bin") == ram, !t.ramWritten) << t.unreadable;
        }
        if (t.ramWritten) {
            EXPECT_EQ(ReadFile("ram.bin"), std::vector<uint8_t>(g_cpu.Ram, g_cpu.Ram + kRamBytes));
        }
        if (!t.registersWritten && !fs::is_directory("register.bin")) {
            EXPECT_EQ(ReadFile("register.bin"), regs) << t.unreadable;
        }
    }
}

TEST(SaveImages, MissingSavedFilesAreStillCreatedAfterAFailedLoad) {
    ScratchDir dir;
    ResetMachine();
    fs::create_directory("keymap.dat");
    LoadImages();
    g_cpu.Ram[5] = 0x55;
    g_cpu.R[6] = 0x66;
    EXPECT_TRUE(SaveImages());
    EXPECT_EQ(ReadFile("ram.bin"), std::vector<uint8_t>(g_cpu.Ram, g_cpu.Ram + kRamBytes));
    EXPECT_EQ(ReadFile("register.bin"), std::vector<uint8_t>(g_cpu.R, g_cpu.R + kRegBytes));
}

TEST(SaveImages, WritesFullImagesAfterAShortLoad) {
    ScratchDir dir;
    ResetMachine();
    const auto hundred = Pattern(100, 4);
    WriteFile("ram.bin", hundred);
    LoadImages();
    EXPECT_TRUE(SaveImages());
    const auto saved = ReadFile("ram.bin");
    ASSERT_EQ(saved.size(), static_cast<size_t>(kRamBytes));
    for (int i = 0; i < kRamBytes; ++i) ASSERT_EQ(saved[i], i < 100 ? hundred[i] : 0) << i;
    EXPECT_EQ(ReadFile("register.bin"), std::vector<uint8_t>(kRegBytes, 0));
}

TEST(SaveImages, EachFailureIsReportedAndDoesNotStopTheOther) {
    const struct {
        bool ramBlocked, registersBlocked;
        std::vector<std::string> messages;
    } cases[] = {
        {true, false, {"Failed to save the file ram.bin"}},
        {false, true, {"Failed to save the file register.bin"}},
        {true, true, {"Failed to save the file ram.bin", "Failed to save the file register.bin"}},
        {false, false, {}},
    };
    for (const auto& t : cases) {
        ScratchDir dir;
        ResetMachine();
        g_cpu.Ram[8191] = 0x91;
        g_cpu.R[127] = 0x27;
        // A directory in the way makes the create fail whatever the user's rights.
        if (t.ramBlocked) fs::create_directory("ram.bin");
        if (t.registersBlocked) fs::create_directory("register.bin");
        EXPECT_EQ(SaveImages(), !t.ramBlocked && !t.registersBlocked);
        EXPECT_EQ(g_warnings, t.messages);
        if (!t.ramBlocked) {
            EXPECT_EQ(ReadFile("ram.bin"), std::vector<uint8_t>(g_cpu.Ram, g_cpu.Ram + kRamBytes));
        }
        if (!t.registersBlocked) {
            EXPECT_EQ(ReadFile("register.bin"), std::vector<uint8_t>(g_cpu.R, g_cpu.R + kRegBytes));
        }
    }
}
} // namespace
