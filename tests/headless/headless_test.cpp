// The velmora-headless runner, run as a program on scratch directories with tiny firmware
// images made here: nops everywhere, which every build of the instruction set runs the same.
#include "../support/TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
using testfiles::Lines;
using testfiles::Slurp;
const std::string kRunner = VELMORA_BINARY_DIR "/velmora-headless";
constexpr uint8_t kNop = 0xEF;

struct Result {
    int status;
    std::string out, err;
};

std::vector<uint8_t> Bytes(const fs::path& p) {
    const std::string s = Slurp(p);
    return {s.begin(), s.end()};
}

void Write(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Pattern(size_t size, int seed) {
    std::vector<uint8_t> b(size);
    for (size_t i = 0; i < size; ++i)
        b[i] = static_cast<uint8_t>(i * 29 + seed * 53 + (i >> 8) + 7);
    return b;
}

class Runner : public ::testing::Test {
protected:
    Runner() {
        std::string pattern = (fs::temp_directory_path() / "velmora-headless-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        out_ = dir_.string() + ".out";
        err_ = dir_.string() + ".err";
    }
    ~Runner() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
        fs::remove(out_, ec);
        fs::remove(err_, ec);
    }
    // Nop firmware in both images, and optionally a settings file.
    void Firmware(const std::string& ini = "") {
        std::vector<uint8_t> rom0(18432, 0);
        for (size_t w = 0; w < rom0.size(); w += 3) rom0[w] = kNop;
        Write(dir_ / "rom0.bin", rom0);
        Write(dir_ / "rom1.bin", std::vector<uint8_t>(32768, kNop));
        if (!ini.empty()) std::ofstream(dir_ / "velmora.ini") << ini;
    }
    // Runs the runner in the scratch directory; args go through the shell as written.
    Result Run(const std::string& args) {
        const std::string command = "cd '" + dir_.string() + "' && '" + kRunner + "' " + args +
                                    " >'" + out_ + "' 2>'" + err_ + "' </dev/null";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out_), Slurp(err_)};
    }
    nlohmann::ordered_json Dump(const std::string& args) {
        const Result r = Run(args + " --dump");
        EXPECT_EQ(r.status, 0) << args << "\n" << r.err;
        return nlohmann::ordered_json::parse(Lines(r.out).at(0));
    }
    fs::path dir_;
    std::string out_, err_;
};

TEST_F(Runner, BadOptionsExitTwoWithUsageAndRunNothing) {
    Firmware();
    const char* cases[] = {
        "--steps 1 --ms 10",
        "--key 0:14:10",
        "--type a",
        "--steps 5 --key 0:1:1",
        "--set XX=1",
        "--set PC=zz",
        "--set PC=",
        "--set PC",
        "--set =5",
        "--set PC=0x",
        "--set PC=-1",
        "--set PC=1.5",
        "--steps -1",
        "--steps 1.5",
        "--steps",
        "--ms abc",
        "--ms ''",
        "--bogus",
        "stray",
        "--ms 10 --key 1:2",
        "--ms 10 --key a:1:1",
        "--ms 10 --key 1:2:3:4",
        "--ms 10 --key 1:-2:3",
        "--steps 1 --steps 2",
        "--ms 10 --ms 20",
        "--trace",
        "--lcd-png",
        "--trace ''",
        "--lcd-png -x",
        "--load-state",
        "--save-state",
        "--load-state ''",
        "--save-state -x",
    };
    for (const char* args : cases) {
        const Result r = Run(std::string(args) + " --save --dump --lcd-text");
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_TRUE(r.out.empty()) << args;
        const auto lines = Lines(r.err);
        ASSERT_GE(lines.size(), 2u) << args;
        EXPECT_EQ(lines[0].rfind("velmora-headless: ", 0), 0u) << args << ": " << lines[0];
        EXPECT_NE(r.err.find("Usage:"), std::string::npos) << args;
        EXPECT_EQ(r.err.find("Failed to load"), std::string::npos) << args << ": started up";
        EXPECT_FALSE(fs::exists(dir_ / "ram.bin")) << args << ": saved";
    }
}

TEST_F(Runner, HelpPrintsUsageAndSucceeds) {
    const Result r = Run("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* option :
         {"--set", "--steps", "--ms", "--key", "--type", "--dump", "--save", "--trace", "--lcd-png",
          "--lcd-text", "--break", "--watch", "--log", "--symbols", "--history", "--help"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
    EXPECT_TRUE(r.err.empty());
}

TEST_F(Runner, StartUpWarningsGoToStandardErrorOneLineEach) {
    const Result r = Run("");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Failed to load the file rom0.bin\nFailed to load the file rom1.bin\n");
    EXPECT_TRUE(r.out.empty());
    Firmware();
    const Result quiet = Run("--steps 3");
    EXPECT_EQ(quiet.status, 0);
    EXPECT_TRUE(quiet.err.empty()) << quiet.err;
}

TEST_F(Runner, DumpHasEveryKeyInOrder) {
    Firmware();
    const auto j = Dump("");
    std::vector<std::string> keys;
    for (const auto& item : j.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"PC",    "LA",       "KC",      "KI",        "IE",
                                              "DS",    "AS",       "PD",      "PE",        "S4",
                                              "S5",    "S6",       "S7",      "S8",        "TM",
                                              "F",     "IRQ",      "ISR",     "OFF",       "WAIT",
                                              "STEPS", "CYCLES",   "BALANCE", "ROWCYCLES", "COLUMN",
                                              "ROW",   "PRESCALE", "R",       "FB"}));
    EXPECT_EQ(j["R"].size(), 128u);
    const std::string fb = j["FB"];
    EXPECT_EQ(fb, std::string(1536, '0'));
    EXPECT_EQ(j["STEPS"], 0);
    EXPECT_EQ(j["PC"], 0);
}

TEST_F(Runner, SetMasksLikeTheDebugWindowAndRunsNoSideEffect) {
    Firmware();
    const struct {
        const char* set;
        const char* key;
        int value;
    } cases[] = {
        {"PC=0x12345", "PC", 0x2345},
        {"pc=65537", "PC", 1},
        {"La=0xFFFF", "LA", 0xFFFF},
        {"LA=0x10000", "LA", 0},
        {"KC=0x1FF", "KC", 0xFF},
        {"ki=300", "KI", 44},
        {"IE=0x8F", "IE", 0x8F},
        {"DS=0xABC", "DS", 0xBC},
        {"AS=0xFF", "AS", 0x7F},
        {"PD=0x0100", "PD", 0},
        {"PE=0xC0", "PE", 0x40},
        {"S4=129", "S4", 1},
        {"S5=0X7f", "S5", 0x7F},
        {"s6=0x80", "S6", 0},
        {"S7=255", "S7", 127},
        {"S8=0x55", "S8", 0x55},
        {"TM=0x1234", "TM", 0x34},
        {"f=0x1A5", "F", 0xA5},
        {"PC=0x123456789ABCDEF0123", "PC", 0x0123},
        {"PC=340282366920938463463374607431768211457", "PC", 1}, // 2^128 + 1
    };
    for (const auto& t : cases) {
        const auto j = Dump(std::string("--set ") + t.set);
        EXPECT_EQ(j[t.key], t.value) << t.set;
    }
    // Applied in order; a KC store runs no keyboard update, so KI keeps what was set.
    const auto j = Dump("--set KI=5 --set KC=0x40 --set PC=1 --set PC=2");
    EXPECT_EQ(j["KI"], 5);
    EXPECT_EQ(j["KC"], 0x40);
    EXPECT_EQ(j["PC"], 2);
}

TEST_F(Runner, StepsAndTheTrace) {
    Firmware();
    const Result r = Run("--set PC=0x17FE --set F=0xA5 --set S6=2 --steps 5 --trace t.txt --dump");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(dir_ / "t.txt"),
              "0 17FE A5 4\n1 17FF A5 4\n2 1800 A5 6\n3 1801 A5 6\n4 1802 A5 6\n");
    const auto j = nlohmann::json::parse(Lines(r.out).at(0));
    EXPECT_EQ(j["STEPS"], 5);
    EXPECT_EQ(j["CYCLES"], 26);
    EXPECT_EQ(j["PC"], 0x1803);
    EXPECT_EQ(j["BALANCE"], 0); // --steps does no pacing
    EXPECT_EQ(j["ROWCYCLES"], 26);
    EXPECT_EQ(j["ROW"], 5); // S5 = 0: every step ends a row

    // The display transfer's 4 cycles belong to the step.
    const Result lcd = Run("--set S6=1 --set S5=127 --set S7=1 --steps 3 --trace t2.txt");
    ASSERT_EQ(lcd.status, 0);
    EXPECT_EQ(Slurp(dir_ / "t2.txt"), "0 0000 00 8\n1 0001 00 8\n2 0002 00 4\n");
}

TEST_F(Runner, TraceFollowsAJumpLoop) {
    Firmware();
    std::vector<uint8_t> rom0 = Bytes(dir_ / "rom0.bin");
    rom0[6] = 0xA7; // word 2: jmp &h0000 (always)
    rom0[7] = 0x00;
    rom0[8] = 0x00;
    Write(dir_ / "rom0.bin", rom0);
    const Result r = Run("--steps 7 --trace t.txt --dump");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> pcs;
    for (const std::string& line : Lines(Slurp(dir_ / "t.txt"))) pcs.push_back(line.substr(0, 6));
    EXPECT_EQ(pcs, (std::vector<std::string>{"0 0000", "1 0001", "2 0002", "3 0000", "4 0001",
                                             "5 0002", "6 0000"}));
    EXPECT_EQ(nlohmann::json::parse(Lines(r.out).at(0))["PC"], 1);
}

TEST_F(Runner, UnwritableTraceFailsBeforeRunning) {
    Firmware();
    const Result r = Run("--steps 1 --trace no/such/dir/t.txt --save");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("t.txt"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "ram.bin"));
}

// OscFreq 1: 10 cycles a tick, 4-cycle nops, so the debt shows from tick to tick.
TEST_F(Runner, MillisecondsRunPacedTicksWithTheirDebt) {
    Firmware("[Settings]\nOscFreq=1\n");
    const struct {
        int ms;
        int steps, balance;
    } cases[] = {{0, 0, 0},   {9, 0, 0},   {10, 3, -2}, {25, 5, 0},
                 {30, 8, -2}, {39, 8, -2}, {100, 25, 0}};
    for (const auto& t : cases) {
        const auto j = Dump("--ms " + std::to_string(t.ms));
        EXPECT_EQ(j["STEPS"], t.steps) << t.ms;
        EXPECT_EQ(j["CYCLES"], 4 * t.steps) << t.ms;
        EXPECT_EQ(j["BALANCE"], t.balance) << t.ms;
    }
    Firmware("[Settings]\nOscFreq=0x3E8\n");
    EXPECT_EQ(Dump("--ms 10")["STEPS"], 2500);
    Firmware("[Settings]\nOscFreq=-7\n");
    EXPECT_EQ(Dump("--ms 100")["STEPS"], 0);
}

// The self-test hold is counted down by the refresh tick, which follows every 5th run tick.
TEST_F(Runner, RefreshTickFollowsEveryFifthRunTick) {
    Firmware("[Settings]\nOscFreq=1\nSelfTest=2\n");
    const struct {
        int ms;
        int ki;
    } cases[] = {{40, 0x77}, {49, 0x77}, {50, 0x10}, {90, 0x10}, {100, 0x00}};
    for (const auto& t : cases)
        EXPECT_EQ(Dump("--set KC=0x40 --set KI=0x77 --ms " + std::to_string(t.ms))["KI"], t.ki)
            << t.ms;
}

TEST_F(Runner, KeyAndTypeEventsFollowTheTimingRules) {
    Firmware("[Settings]\nOscFreq=1\n");
    std::vector<uint8_t> keymap(128, 0);
    keymap['a'] = 14; // KI 0x10 under KC 0xFF
    keymap['e'] = 61; // the Enter key, KI 0x01
    Write(dir_ / "keymap.dat", keymap);
    const struct {
        const char* args;
        int ki;
    } cases[] = {
        {"--ms 100 --key 90:14:50", 0x10},
        {"--ms 100 --key 91:14:50", 0x77}, // first tick at or after 91 would start at 100
        {"--ms 100 --key 100:14:50", 0x77},
        {"--ms 100 --key 85:14:5", 0x00},  // press and release before the same tick
        {"--ms 100 --key 81:14:10", 0x10}, // release at 91: after the end
        {"--ms 100 --key 90:14:0", 0x10},  // same time: the release goes first
        {"--ms 110 --key 0:14:100 --key 100:61:50", 0x01},
        {"--ms 110 --key 100:61:50 --key 0:14:100", 0x01},
        {"--ms 20 --key 0:14:50 --key 0:61:50", 0x01}, // command-line order
        {"--ms 20 --key 0:61:50 --key 0:14:50", 0x10},
        {"--ms 500 --type a", 0x77},
        {"--ms 510 --type a", 0x10},
        {"--ms 600 --type a", 0x10},
        {"--ms 610 --type a", 0x00},
        {"--ms 710 --type 'a\\n'", 0x01}, // the two characters \n are Enter
        {"--ms 710 --type 'ae'", 0x01},
        {"--ms 710 --key 650:14:1000 --type ab", 0x10}, // b has no key: not pressed
        {"--ms 810 --key 650:14:1000 --type ab", 0x00}, // ... but its release still applies
        {"--ms 710 --key 650:14:1000 --type 'a\x01'", 0x10},
        {"--ms 510 --type a --key 500:61:50", 0x10}, // --key before --type at the same time
        {"--ms 510 --key 500:14:50 --type '\\n'", 0x01},
        {"--ms 910 --type 'a\\nb\\'", 0x00}, // a lone backslash is a plain character
    };
    for (const auto& t : cases)
        EXPECT_EQ(Dump(std::string("--set KC=0xFF --set KI=0x77 ") + t.args)["KI"], t.ki) << t.args;
}

TEST_F(Runner, LcdTextAndPngShowTheFrameBuffer) {
    Firmware();
    const auto ram = Pattern(8192, 1);
    Write(dir_ / "ram.bin", ram);
    // 8-cycle steps (nop and transfer) and a 96-cycle row: twelve bytes per row, 64 rows.
    const Result r = Run("--set S6=0x0F --set S7=11 --set PE=0x40 --set LA=0x1F80 --set S5=6 "
                         "--steps 768 --dump --lcd-text --lcd-png lcd.png");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 65u);
    const auto j = nlohmann::json::parse(lines[0]);
    std::vector<uint8_t> fb(768);
    static const char* hex = "0123456789ABCDEF";
    std::string expectFb;
    for (int i = 0; i < 768; ++i) {
        fb[i] = ram[(0x1F80 + 1 + i) & 0x1FFF];
        expectFb += hex[fb[i] >> 4];
        expectFb += hex[fb[i] & 15];
    }
    EXPECT_EQ(j["FB"], expectFb);
    for (int y = 0; y < 64; ++y) {
        std::string want;
        for (int x = 0; x < 96; ++x)
            want += ((fb[12 * (63 - y) + (95 - x) / 8] >> ((95 - x) % 8)) & 1) ? '#' : '.';
        EXPECT_EQ(lines[1 + y], want) << "line " << y;
    }
    const auto png = Bytes(dir_ / "lcd.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 8),
              (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    const auto be32 = [&](size_t at) {
        return png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
    };
    EXPECT_EQ(be32(16), 192);
    EXPECT_EQ(be32(20), 128);

    // Text alone, and with the display never enabled the lines are all light.
    const Result off = Run("--steps 10 --lcd-text");
    ASSERT_EQ(off.status, 0);
    EXPECT_EQ(Lines(off.out), std::vector<std::string>(64, std::string(96, '.')));
}

TEST_F(Runner, SaveWritesFullImagesAndOnlyWhenAsked) {
    Firmware();
    const auto hundred = Pattern(100, 2);
    Write(dir_ / "ram.bin", hundred);
    ASSERT_EQ(Run("--steps 10").status, 0);
    EXPECT_EQ(Bytes(dir_ / "ram.bin"), hundred);
    EXPECT_FALSE(fs::exists(dir_ / "register.bin"));
    ASSERT_EQ(Run("--steps 10 --save").status, 0);
    auto full = hundred;
    full.resize(8192, 0);
    EXPECT_EQ(Bytes(dir_ / "ram.bin"), full);
    EXPECT_EQ(Bytes(dir_ / "register.bin"), std::vector<uint8_t>(128, 0));
}

TEST_F(Runner, SavedMemoryIsKeptWhenTheLoadingFailed) {
    Firmware();
    const auto ram = Pattern(8192, 3), regs = Pattern(128, 4);
    Write(dir_ / "ram.bin", ram);
    Write(dir_ / "register.bin", regs);
    fs::create_directory(dir_ / "keymap.dat");
    const Result r = Run("--steps 10 --save --dump");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("keymap.dat"), std::string::npos) << r.err;
    EXPECT_EQ(Bytes(dir_ / "ram.bin"), ram);
    EXPECT_EQ(Bytes(dir_ / "register.bin"), regs);
    const auto j = nlohmann::json::parse(Lines(r.out).at(0));
    EXPECT_EQ(j["R"][5], 0); // the loading stopped before the register file
}
// A run continued from a state ends as one run of both lengths: same dump (STEPS and CYCLES
// travel in the state), same trace of the second part; --set applies on top of the state.
TEST_F(Runner, AStateContinuesTheRunItWasSavedFrom) {
    Firmware("[Settings]\nOscFreq=1\n");
    const Result whole = Run("--ms 90 --dump");
    ASSERT_EQ(Run("--ms 40 --save-state s.vst").status, 0);
    const Result rest = Run("--load-state s.vst --ms 50 --dump");
    EXPECT_EQ(rest.status, 0) << rest.err;
    EXPECT_EQ(rest.out, whole.out);
    EXPECT_TRUE(rest.err.empty()) << rest.err;

    ASSERT_EQ(Run("--steps 7 --save-state t.vst").status, 0);
    ASSERT_EQ(Run("--load-state t.vst --steps 3 --trace a.txt").status, 0);
    ASSERT_EQ(Run("--steps 10 --trace b.txt").status, 0);
    const std::vector<std::string> ten = Lines(Slurp(dir_ / "b.txt"));
    ASSERT_EQ(ten.size(), 10u);
    EXPECT_EQ(Lines(Slurp(dir_ / "a.txt")), std::vector<std::string>(ten.begin() + 7, ten.end()));
    const auto j = Dump("--load-state t.vst --set PC=0x1234");
    EXPECT_EQ(j["PC"], 0x1234);
    EXPECT_EQ(j["STEPS"], 7);
}

// A state that cannot be read: exit 1, one line on standard error, nothing run or written.
TEST_F(Runner, AStateThatCannotBeReadExitsOneAndRunsNothing) {
    Firmware();
    ASSERT_EQ(Run("--steps 3 --save-state good.vst").status, 0);
    const auto good = Bytes(dir_ / "good.vst");
    Write(dir_ / "short.vst", {good.begin(), good.end() - 1});
    auto flipped = good;
    flipped[100] ^= 4;
    Write(dir_ / "flipped.vst", flipped);
    Write(dir_ / "text.vst", {'h', 'i'});
    const std::pair<const char*, const char*> cases[] = {
        {"short.vst", "the file is cut short"},
        {"flipped.vst", "the file is damaged (its checksum does not match)"},
        {"text.vst", "not a Velmora state file"},
        {"none.vst", "No such file or directory"},
    };
    for (const auto& [file, why] : cases) {
        const Result r = Run(std::string("--load-state ") + file +
                             " --steps 5 --dump --lcd-text --save --save-state out.vst");
        EXPECT_EQ(r.status, 1) << file;
        EXPECT_TRUE(r.out.empty()) << file;
        EXPECT_EQ(Lines(r.err),
                  std::vector<std::string>{std::string("Failed to load the state file ") + file +
                                           ": " + why});
        EXPECT_FALSE(fs::exists(dir_ / "ram.bin")) << file;
        EXPECT_FALSE(fs::exists(dir_ / "out.vst")) << file;
    }
}

TEST_F(Runner, AStateThatCannotBeWrittenExitsOne) {
    Firmware();
    const Result r = Run("--steps 3 --dump --save-state no/such/dir/s.vst");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.out).size(), 1u); // the run and its outputs happened
    EXPECT_EQ(Lines(r.err), std::vector<std::string>{"Failed to save the file no/such/dir/s.vst"});
}

// --- The debugger's options (nops everywhere: PC counts the steps in the internal ROM) --------

TEST_F(Runner, BreakStopsTheRunAndTheDumpSaysWhy) {
    Firmware();
    for (const char* run : {"--ms 100", "--steps 100000"}) {
        const Result r = Run(std::string(run) + " --break 0010 --break 0020 --dump --save");
        EXPECT_EQ(r.status, 0) << run << r.err;
        const auto dump = nlohmann::ordered_json::parse(Lines(r.out).at(0));
        EXPECT_EQ(dump["PC"], 0x10) << run;
        EXPECT_EQ(dump["STEPS"], 16) << run;
        EXPECT_EQ(dump["STOP"], "breakpoint 1 at 0010") << run;
        EXPECT_EQ(r.err, "velmora-headless: stopped: breakpoint 1 at 0010\n") << run;
        EXPECT_TRUE(fs::exists(dir_ / "ram.bin")) << run; // the outputs are written at the stop
    }
    // A condition: the first arrival at which it holds. Without a stop the dump has no STOP.
    auto dump = Dump("--steps 100000 --break '0030:R[5]==0 && PC > 0x2F'");
    EXPECT_EQ(dump["PC"], 0x30);
    dump = Dump("--steps 100 --break '0030:R[5]==1'");
    EXPECT_EQ(dump["PC"], 100);
    EXPECT_FALSE(dump.contains("STOP"));
}

TEST_F(Runner, WatchLogSymbolsAndHistory) {
    Firmware();
    std::ofstream(dir_ / "mine.sym") << "0010 ten\n0012 twelve\n";
    // A log line at each arrival at the address, before the history.
    Result r = Run("--steps 20 --symbols mine.sym --log 'ten:at {PC} r0={R[0]:d}' --history 3");
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[0], "at 0010 r0=0");
    // The last three steps: 0011, 0012 (named), 0013.
    EXPECT_EQ(lines[1].rfind("0011: nop", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find("ten+1"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("twelve"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("f=00 4"), std::string::npos) << lines[3];
    // symbols.sym of the folder is read by itself; a breakpoint by name.
    fs::rename(dir_ / "mine.sym", dir_ / "symbols.sym");
    auto dump = Dump("--steps 100 --break twelve+2");
    EXPECT_EQ(dump["PC"], 0x14);
    EXPECT_EQ(dump["STOP"], "breakpoint 1 at twelve+2 (0014)");
    // Nops write nothing: a watchpoint never stops them.
    dump = Dump("--steps 50 --watch ram:0000-1FFF:rw --watch reg:r0-r127 --watch KC");
    EXPECT_EQ(dump["PC"], 50);
}

TEST_F(Runner, BadDebuggerOptionsExitTwoAndRunNothing) {
    Firmware();
    std::ofstream(dir_ / "symbols.sym") << "0010 ten\n";
    const char* cases[] = {
        "--steps 1 --break nowhere",   "--steps 1 --break 10000", "--steps 1 --break '10:R[5'",
        "--steps 1 --break 'ten if'",  "--steps 1 --watch rom:0", "--steps 1 --watch ram:2000",
        "--steps 1 --watch reg:r5:r",  "--steps 1 --watch PC",    "--steps 1 --log ten",
        "--steps 1 --log 'ten:{R[5]'", "--steps 1 --history x",
    };
    for (const char* args : cases) {
        const Result r = Run(std::string(args) + " --save --dump");
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_TRUE(r.out.empty()) << args;
        EXPECT_EQ(r.err.rfind("velmora-headless: ", 0), 0u) << args << ": " << r.err;
        EXPECT_NE(r.err.find("Usage:"), std::string::npos) << args;
        EXPECT_FALSE(fs::exists(dir_ / "ram.bin")) << args << ": saved";
    }
    const Result r = Run("--steps 1 --symbols missing.sym --dump");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "velmora-headless: cannot read the symbol file missing.sym\n");
    // A broken symbols.sym of the folder is reported and the run goes on without names.
    std::ofstream(dir_ / "symbols.sym") << "zz top\n";
    const Result broken = Run("--steps 3 --dump");
    EXPECT_EQ(broken.status, 0);
    EXPECT_EQ(broken.err, "velmora-headless: symbols.sym: line 1: expected ADDRESS NAME\n");
}
} // namespace
