// The default firmware, run through velmora-headless in scratch directories with the built
// rom0.bin/rom1.bin and the key map written from the face's table. Every screen is read twice:
// from the ASCII text area in RAM (ram.bin after --save) and from the LCD dots (--lcd-text)
// decoded with the font in rom1.bin; the two must agree and match the expected screen.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "KeyMapTable.h"

namespace fs = std::filesystem;

namespace {
const std::string kRunner = VELMORA_BINARY_DIR "/velmora-headless";
const fs::path kFirmwareDir = VELMORA_FIRMWARE_DIR;

// Where the firmware keeps things (docs/firmware.md).
constexpr size_t kTextArea = 0x0100; // RAM: 8 lines x 12 characters
constexpr size_t kFont = 0x2000;     // rom1.bin: 96 glyphs of 8 bytes, characters 32..127
constexpr int kLines = 8, kColumns = 12, kGlyphRows = 8;
constexpr int kMainLine = 5, kPendingLine = 3, kOperatorLine = 4, kStatusLine = 7;
constexpr int kCursorRow = kMainLine * kGlyphRows + 7; // dot row of the entry cursor
constexpr int kCursorCol = kColumns - 1;
constexpr char kUnreadable = '~'; // a cell that matches no glyph

// Key codes of the face.
enum Key : int {
    kOff = 3,
    kLog = 14,
    kSquare = 18,
    kRoot = 19,
    kRecip = 21,
    kMemClear = 33,
    kMemRecall = 34,
    kMemPlus = 36,
    kMemMinus = 37,
    kNegate = 41,
    kDel = 45,
    kAC = 46,
    kTimes = 50,
    kDivide = 51,
    kPlus = 55,
    kMinus = 56,
    kPoint = 58,
    kSign = 59,
    kPercent = 60,
    kEquals = 61,
    kTestKey = 62,
};
constexpr int kDigitKey[10] = {57, 52, 53, 54, 47, 48, 49, 42, 43, 44};

// A key sequence written as text: digits and . + - * / % = as on the keyboard, and
// D = DEL, C = AC, S = +/-, R = root, Q = x^2, I = 1/x, P = M+, N = M-, M = MR, Z = MC,
// O = OFF, K = the log key (no function), T = the test key 62.
std::vector<int> Keys(const std::string& text) {
    static const std::map<char, int> named = {
        {'.', kPoint},     {'+', kPlus},     {'-', kMinus}, {'*', kTimes},   {'/', kDivide},
        {'%', kPercent},   {'=', kEquals},   {'D', kDel},   {'C', kAC},      {'S', kSign},
        {'R', kRoot},      {'Q', kSquare},   {'I', kRecip}, {'P', kMemPlus}, {'N', kMemMinus},
        {'M', kMemRecall}, {'Z', kMemClear}, {'O', kOff},   {'K', kLog},     {'T', kTestKey},
    };
    std::vector<int> codes;
    for (const char c : text) {
        if (c >= '0' && c <= '9')
            codes.push_back(kDigitKey[c - '0']);
        else
            codes.push_back(named.at(c));
    }
    return codes;
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct Screen {
    std::vector<std::string> Text; // from the text area
    std::vector<std::string> Lcd;  // from the dots
    std::vector<std::string> Dots; // the 64 dot rows, '#' dark
    nlohmann::json Dump;
};

// Expected screen: line -> text, right-aligned where the firmware right-aligns.
std::string Right(const std::string& s) {
    return std::string(kColumns - s.size(), ' ') + s;
}

class Firmware : public ::testing::Test {
protected:
    Firmware() {
        std::string pattern = (fs::temp_directory_path() / "velmora-firmware-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        fs::copy_file(kFirmwareDir / "rom0.bin", dir_ / "rom0.bin");
        fs::copy_file(kFirmwareDir / "rom1.bin", dir_ / "rom1.bin");
        const auto map = BuildKeyMap();
        std::ofstream(dir_ / "keymap.dat", std::ios::binary)
            .write(reinterpret_cast<const char*>(map.data()),
                   static_cast<std::streamsize>(map.size()));
        const std::string rom1 = Slurp(dir_ / "rom1.bin");
        for (int g = 0; g < 96; ++g) {
            std::array<uint8_t, kGlyphRows> rows{};
            for (int k = 0; k < kGlyphRows; ++k)
                rows[k] = static_cast<uint8_t>(rom1.at(kFont + 8 * g + k));
            glyphs_.push_back(rows);
        }
    }
    ~Firmware() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Runs the runner in the scratch directory (keeping ram.bin between runs) and reads the
    // screen both ways.
    Screen Run(const std::string& args) {
        const fs::path out = dir_ / "out.txt";
        const std::string command = "cd '" + dir_.string() + "' && '" + kRunner + "' " + args +
                                    " --save --dump --lcd-text >'" + out.string() + "' 2>/dev/null";
        const int raw = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << args;
        const auto lines = Lines(Slurp(out));
        Screen s;
        if (lines.size() != 65) {
            ADD_FAILURE() << args << ": expected a dump and 64 dot rows";
            return s;
        }
        s.Dump = nlohmann::json::parse(lines[0]);
        s.Dots.assign(lines.begin() + 1, lines.end());
        const std::string ram = Slurp(dir_ / "ram.bin");
        for (int l = 0; l < kLines; ++l) {
            s.Text.push_back(ram.substr(kTextArea + kColumns * l, kColumns));
            std::string decoded;
            for (int c = 0; c < kColumns; ++c) decoded += Decode(s.Dots, l, c);
            s.Lcd.push_back(decoded);
        }
        return s;
    }

    // Presses the keys one after another (100 ms down, 200 ms apart from 500 ms on) and
    // looks at the screen 300 ms after the last one.
    Screen Press(const std::vector<int>& keys, int64_t extraMs = 0) {
        std::string args = "--ms " + std::to_string(500 + 200 * keys.size() + 300 + extraMs);
        for (size_t i = 0; i < keys.size(); ++i)
            args +=
                " --key " + std::to_string(500 + 200 * i) + ":" + std::to_string(keys[i]) + ":100";
        return Run(args);
    }
    Screen Type(const std::string& text) {
        return Run("--ms " + std::to_string(500 + 200 * text.size() + 300) + " --type '" + text +
                   "'");
    }

    // The character whose glyph the cell shows; the cursor's dot row may be dark in the
    // cursor's cell only.
    char Decode(const std::vector<std::string>& dots, int line, int col) const {
        std::array<uint8_t, kGlyphRows> rows{};
        for (int k = 0; k < kGlyphRows; ++k) {
            const std::string& row = dots.at(line * kGlyphRows + k);
            for (int x = 0; x < 8; ++x)
                if (row.at(col * 8 + x) == '#') rows[k] |= static_cast<uint8_t>(0x80 >> x);
        }
        if (line == kMainLine && col == kCursorCol && rows[7] == 0xFF) rows[7] = 0;
        for (size_t g = 0; g < glyphs_.size(); ++g)
            if (glyphs_[g] == rows) return static_cast<char>(32 + g);
        return kUnreadable;
    }

    bool CursorDark(const Screen& s) const {
        return s.Dots.at(kCursorRow).substr(kCursorCol * 8, 8) == "########";
    }

    fs::path dir_;
    std::vector<std::array<uint8_t, kGlyphRows>> glyphs_;
};

void ExpectBothWays(const Screen& s, const std::vector<std::string>& expected,
                    const std::string& what) {
    ASSERT_EQ(s.Text.size(), static_cast<size_t>(kLines)) << what;
    for (int l = 0; l < kLines; ++l) {
        EXPECT_EQ(s.Text[l], expected[l]) << what << ": text area line " << l;
        EXPECT_EQ(s.Lcd[l], expected[l]) << what << ": LCD line " << l;
    }
}

// The whole screen: title, optional pending operand and operator, main line, status line.
std::vector<std::string> ScreenOf(const std::string& main, const std::string& pending = "",
                                  char op = ' ', const std::string& status = "") {
    std::vector<std::string> s(kLines, std::string(kColumns, ' '));
    s[0] = "VELMORA CALC";
    if (!pending.empty()) s[kPendingLine] = Right(pending);
    s[kOperatorLine][kColumns - 1] = op;
    s[kMainLine] = Right(main);
    s[kStatusLine] = status + std::string(kColumns - status.size(), ' ');
    return s;
}

TEST_F(Firmware, FontHasADistinctGlyphForEveryCharacterWithAnEmptyCursorRow) {
    for (size_t a = 0; a < glyphs_.size(); ++a) {
        EXPECT_EQ(glyphs_[a][7], 0) << "character " << 32 + a;
        for (size_t b = a + 1; b < glyphs_.size(); ++b)
            EXPECT_NE(glyphs_[a], glyphs_[b]) << "characters " << 32 + a << " and " << 32 + b;
    }
}

TEST_F(Firmware, PowerUpSetsTheMachineUpAndShowsTheTitleAndZero) {
    const Screen s = Run("--ms 400");
    ExpectBothWays(s, ScreenOf("0"), "power-up");
    EXPECT_EQ(s.Dump["S5"], 32);
    EXPECT_EQ(s.Dump["S6"], 9);
    EXPECT_EQ(s.Dump["S7"], 11);
    EXPECT_EQ(s.Dump["TM"], 125);
    EXPECT_EQ(s.Dump["PE"], 0);
    EXPECT_EQ(s.Dump["LA"], 0x1300);
    EXPECT_EQ(s.Dump["IE"], 0x88);
    EXPECT_EQ(s.Dump["WAIT"], 1);
    const auto& r = s.Dump["R"];
    EXPECT_EQ(r[0x7F].get<int>() * 256 + r[0x3F].get<int>() <= 0x2000, true); // sp in RAM
    EXPECT_EQ(r[0x7B].get<int>() * 256 + r[0x3B].get<int>() != 0, true);      // v3 set
}

struct KeyCase {
    const char* name;
    const char* keys;
    const char* main;
    const char* pending = "";
    char op = ' ';
};

// Arithmetic facts, each result exact to the last of its 10 significant digits.
const KeyCase kCases[] = {
    // entry
    {"digits", "123", "123"},
    {"leading zeros", "007", "7"},
    {"point", "0.5", "0.5"},
    {"point first", ".25", "0.25"},
    {"second point ignored", "1.2.3", "1.23"},
    {"ten digits at most", "123456789012", "1234567890"},
    {"trailing point", "12.", "12."},
    // each operation
    {"add", "12+34=", "46"},
    {"subtract below zero", "7-9=", "-2"},
    {"multiply", "6*7=", "42"},
    {"divide", "10/4=", "2.5"},
    {"decimal add", "0.1+0.2=", "0.3"},
    {"big product", "99999*99999=", "9999800001"},
    {"fraction product", "1.5*1.5=", "2.25"},
    {"scale", "123.456*1000=", "123456"},
    {"small difference", "1-0.0000001=", "0.9999999"},
    // pending operand and operator
    {"operator waits", "12+", "12", "12", '+'},
    {"second operand", "12+3", "3", "12", '+'},
    // chaining left to right
    {"chain", "2+3*4=", "20"},
    {"chain shows running total", "2+3*", "5", "5", '*'},
    {"chain subtract", "10-2-3=", "5"},
    {"chain divide", "100/8/5=", "2.5"},
    {"operator replaced", "5+*3=", "15"},
    {"equals repeats operand", "5+=", "10"},
    {"result continues", "6*7=+8=", "50"},
    // rounding to 10 significant digits
    {"third", "1/3=", "0.3333333333"},
    {"two thirds rounds up", "2/3=", "0.6666666667"},
    {"seventh", "1/7=", "0.1428571429"},
    {"rounded then tripled", "2/3=*3=", "2"}, // 2.0000000001 has 11 digits
    {"half", "1234567891/2=", "617283945.5"},
    {"ten integer digits", "9999999999/3=", "3333333333"},
    {"negative third", "1/3=S", "-0.333333333"},
    {"small quotient", "1/7/1000=", "0.0001428571"},
    {"tiny", "1/9999999999=", "0.0000000001"},
    {"rounding carries to a new digit", "999999999.9+0.05=", "1000000000"},
    {"rounding stays", "9999999999+0.4=", "9999999999"},
    {"rounding overflows", "9999999999+0.5=", "ERROR"},
    // percent
    {"percent alone", "25%", "0.25"},
    {"add percent", "200+10%", "220"},
    {"take percent", "200-10%", "180"},
    {"percent of", "50*20%", "10"},
    {"ratio in percent", "50/20%", "250"},
    // sign
    {"negate entry", "5S", "-5"},
    {"negate twice", "5SS", "5"},
    {"negative operand", "2S*3=", "-6"},
    {"sign after operator", "5+S3=", "2"},
    {"negate result", "6*7=S", "-42"},
    // DEL
    {"delete digits", "123DD4", "14"},
    {"delete point", "12.5D.3", "12.3"},
    {"delete all", "5DD", "0"},
    // errors and AC
    {"overflow product", "99999*999999=", "ERROR"},
    {"overflow sum", "9999999999+1=", "ERROR"},
    {"division by zero", "5/0=", "ERROR"},
    {"error holds", "5/0=7+1=", "ERROR"},
    {"AC clears error", "5/0=C", "0"},
    {"AC clears all", "12+3C4=", "4"},
    // functions
    {"root", "144R", "12"},
    {"root of two", "2R", "1.414213562"},
    {"root of small", "0.0004R", "0.02"},
    {"root of negative", "5SR", "ERROR"},
    {"square", "12Q", "144"},
    {"reciprocal", "4I", "0.25"},
    {"reciprocal of zero", "0I", "ERROR"},
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << '"' << c.keys << '"';
}

class KeySequences : public Firmware, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeySequences, ShowTheExpectedScreenInTextAndDots) {
    const KeyCase& c = GetParam();
    const Screen s = Press(Keys(c.keys));
    ExpectBothWays(s, ScreenOf(c.main, c.pending, c.op), std::string(c.name) + " [" + c.keys + "]");
}

INSTANTIATE_TEST_SUITE_P(Calculator, KeySequences, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<KeyCase>& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

TEST_F(Firmware, TypedThroughTheKeyMap) {
    const struct {
        const char* typed;
        const char* main;
    } cases[] = {
        {"12+34=", "46"}, {"1/3=", "0.3333333333"}, {"2*3.5\\n", "7"},
        {"50*20%", "10"}, {"1-2-3=", "-4"},
    };
    for (const auto& c : cases) ExpectBothWays(Type(c.typed), ScreenOf(c.main), c.typed);
}

TEST_F(Firmware, KeysWithoutAFunctionShowTheirCode) {
    ExpectBothWays(Press(Keys("K")), ScreenOf("0", "", ' ', "      KEY 14"), "log key");
    ExpectBothWays(Press(Keys("12T")), ScreenOf("12", "", ' ', "      KEY 62"), "test key");
    ExpectBothWays(Press(Keys("K5")), ScreenOf("5"), "the next key clears the code");
}

TEST_F(Firmware, MemoryIsKeptAcrossTwoRuns) {
    ExpectBothWays(Press(Keys("5P3P")), ScreenOf("3", "", ' ', "M"), "M+ twice");
    ExpectBothWays(Press(Keys("2N")), ScreenOf("2", "", ' ', "M"), "next run: M-");
    ExpectBothWays(Press(Keys("M")), ScreenOf("6", "", ' ', "M"), "third run: MR");
    ExpectBothWays(Press(Keys("M*2=")), ScreenOf("12", "", ' ', "M"), "MR as an operand");
    ExpectBothWays(Press(Keys("Z")), ScreenOf("0"), "MC");
    ExpectBothWays(Press(Keys("M")), ScreenOf("0"), "after MC: MR");
}

TEST_F(Firmware, MemoryStartsAtZeroWithoutASignature) {
    std::string ram(8192, '\x77'); // another program's RAM: no signature
    std::ofstream(dir_ / "ram.bin", std::ios::binary)
        .write(ram.data(), static_cast<std::streamsize>(ram.size()));
    ExpectBothWays(Press(Keys("M")), ScreenOf("0"), "garbage RAM");
}

TEST_F(Firmware, OffStopsTheProcessorAndAcWakesIt) {
    Screen s = Press(Keys("12+3O"));
    EXPECT_EQ(s.Dump["OFF"], 1);
    EXPECT_EQ(s.Dump["S6"], 0);
    EXPECT_EQ(s.Dump["PC"], 0);
    // Off, then AC at 2000 ms: the calculator starts afresh; the memory stays.
    ExpectBothWays(Press(Keys("7P")), ScreenOf("7", "", ' ', "M"), "memory set");
    s = Run("--ms 3000 --key 500:3:100 --key 2000:46:100");
    EXPECT_EQ(s.Dump["OFF"], 0);
    EXPECT_EQ(s.Dump["S6"], 9);
    ExpectBothWays(s, ScreenOf("0", "", ' ', "M"), "woken");
    // While off nothing but AC does anything.
    s = Run("--ms 2000 --key 500:3:100 --key 900:52:100 --key 1300:61:100");
    EXPECT_EQ(s.Dump["OFF"], 1);
}

TEST_F(Firmware, CursorBlinksWhileAnEntryIsOpen) {
    int dark = 0, light = 0, changes = 0;
    bool last = false;
    for (int t = 0; t < 24; ++t) {
        const Screen s = Run("--ms " + std::to_string(1000 + 50 * t) + " --key 500:53:100");
        ExpectBothWays(s, ScreenOf("2"), "entry open");
        const bool on = CursorDark(s);
        (on ? dark : light)++;
        if (t > 0 && on != last) ++changes;
        last = on;
    }
    EXPECT_GE(dark, 6);
    EXPECT_GE(light, 6);
    EXPECT_GE(changes, 3);
}

TEST_F(Firmware, NoCursorOnAResult) {
    for (int t = 0; t < 12; ++t) {
        const Screen s =
            Run("--ms " + std::to_string(1800 + 60 * t) +
                " --key 500:53:100 --key 700:55:100 --key 900:54:100 --key 1100:61:100");
        ExpectBothWays(s, ScreenOf("5"), "result");
        EXPECT_FALSE(CursorDark(s)) << t;
    }
}

TEST_F(Firmware, IdleTimeIsSpentInWaitSteps) {
    const fs::path trace = dir_ / "trace.txt";
    const Screen s = Run("--ms 3000 --key 500:53:100 --trace '" + trace.string() + "'");
    ExpectBothWays(s, ScreenOf("2"), "after the run");
    std::ifstream in(trace);
    int64_t steps = 0, waits = 0;
    std::string lastPc;
    for (std::string line; std::getline(in, line);) {
        std::istringstream f(line);
        std::string index, pc, flags;
        int cycles = 0;
        f >> index >> pc >> flags >> cycles;
        // A waiting step keeps PC and costs 6 cycles, 10 with a display byte moved.
        if (pc == lastPc && (cycles == 6 || cycles == 10)) ++waits;
        lastPc = pc;
        ++steps;
    }
    ASSERT_GT(steps, 100000);
    const double share = static_cast<double>(waits) / static_cast<double>(steps);
    std::printf("idle share over 3 s with one key: %.4f of %lld steps\n", share,
                static_cast<long long>(steps));
    EXPECT_GT(share, 0.9);
}
} // namespace

// A monkey at the keys: rounds of random presses of every key (OFF and AC among them, so the
// processor is switched off and woken), each round one start of the runner, which powers the
// calculator up afresh and keeps its memory in ram.bin as closing and restarting the program
// does. Afterwards a known sequence must still give its known result. The size is set by
// VELMORA_SOAK_ROUNDS (one minute of emulated time and 250 presses a round; 20 by default) and
// the dice by VELMORA_SOAK_SEED.
TEST_F(Firmware, SurvivesAMonkeySoak) {
    const char* roundsText = std::getenv("VELMORA_SOAK_ROUNDS");
    const char* seedText = std::getenv("VELMORA_SOAK_SEED");
    const int rounds = roundsText ? std::max(1, std::atoi(roundsText)) : 20;
    uint64_t state = seedText ? std::strtoull(seedText, nullptr, 10) : 0x5EED;
    auto next = [&state](uint64_t n) { // xorshift64*, enough for dice
        state ^= state >> 12, state ^= state << 25, state ^= state >> 27;
        return (state * 0x2545F4914F6CDD1Dull >> 33) % n;
    };
    constexpr int kRoundMs = 60000, kPresses = 250;
    for (int round = 0; round < rounds; ++round) {
        std::string args = "--ms " + std::to_string(kRoundMs);
        for (int i = 0; i < kPresses; ++i) {
            const uint64_t at = next(kRoundMs - 500);
            const uint64_t code = 3 + next(60); // 3..62: every key of the matrix
            const uint64_t hold = 20 + next(300);
            args += " --key " + std::to_string(at) + ":" + std::to_string(code) + ":" +
                    std::to_string(hold);
        }
        const Screen s = Run(args);
        ASSERT_EQ(s.Text.size(), static_cast<size_t>(kLines)) << "round " << round;
    }
    // AC wakes the calculator if a monkey switched it off and clears the entry; MC empties the
    // memory so the status line is known too.
    ExpectBothWays(Press(Keys("CZ12345679*9=")), ScreenOf("111111111"), "after the soak");
    ExpectBothWays(Press(Keys("C1/8=")), ScreenOf("0.125"), "a second run after the soak");
}

// A state saved in the middle of a calculation and loaded by another run of the program goes on
// with it; the second run's key times count from the loaded state.
TEST_F(Firmware, AStateCarriesACalculationIntoTheNextRun) {
    ExpectBothWays(Run("--type '12+' --ms 2000 --save-state s.vst"), ScreenOf("12", "12", '+'),
                   "before the save");
    fs::remove(dir_ / "ram.bin"); // the state alone brings the memory
    ExpectBothWays(Run("--load-state s.vst --type '34=' --ms 2000"), ScreenOf("46"),
                   "after the load");
}

// Two seconds, a save, a load in a new run and two more seconds leave exactly what four seconds
// in one run leave, with keys pressed in both halves (one right at the seam).
TEST_F(Firmware, ARunSplitByAStateEndsAsTheWholeRun) {
    const auto keys = [](const std::vector<std::pair<int, int>>& presses, int shift) {
        std::string args;
        for (const auto& [at, code] : presses)
            args += " --key " + std::to_string(at - shift) + ":" + std::to_string(code) + ":90";
        return args;
    };
    const std::vector<std::pair<int, int>> first = {{600, kDigitKey[7]},
                                                    {800, kTimes},
                                                    {1000, kDigitKey[6]},
                                                    {1500, kPlus},
                                                    {1700, kDigitKey[1]}};
    const std::vector<std::pair<int, int>> second = {
        {2000, kDigitKey[2]}, {2300, kDivide}, {2700, kDigitKey[4]}, {3300, kEquals}};
    std::vector<std::pair<int, int>> all = first;
    all.insert(all.end(), second.begin(), second.end());

    const Screen whole = Run("--ms 4000" + keys(all, 0));
    fs::remove(dir_ / "ram.bin");
    fs::remove(dir_ / "register.bin");
    Run("--ms 2000" + keys(first, 0) + " --save-state half.vst");
    const Screen split = Run("--load-state half.vst --ms 2000" + keys(second, 2000));
    ExpectBothWays(whole, ScreenOf("13.5"), "the whole run"); // (7 x 6 + 12) / 4
    EXPECT_EQ(split.Dump, whole.Dump);
    EXPECT_EQ(split.Dots, whole.Dots);
    EXPECT_EQ(split.Text, whole.Text);
}
