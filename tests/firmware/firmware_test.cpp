// The default firmware, run through velmora-headless in scratch directories with the built
// rom0.bin/rom1.bin and the key map written from the face's table. Every screen is read twice:
// from the text area in RAM (ram.bin after --save) and from the LCD dots (--lcd-text) decoded
// with the font in rom1.bin; the two must agree and match the expected screen.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
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
constexpr size_t kTextArea = 0x0100; // RAM: 8 lines x 16 characters
constexpr size_t kFont = 0x2000;     // rom1.bin: glyphs of 8 bytes from character 32
constexpr int kFirstChar = 32, kLastChar = 142;
constexpr int kLines = 8, kColumns = 16, kGlyphRows = 8, kCellDots = 6;
constexpr int kResultLine = 7, kNoteLine = 6;
constexpr size_t kRecM = 0x0200, kRecMem = 0x020A, kRecAns = 0x0270;
constexpr size_t kHistory = 0x0800, kHistSlot = 128;
constexpr char kUnreadable[] = "~"; // a cell that matches no glyph

// How the text area's own signs read in the expected screens.
const std::map<int, std::string> kSigns = {
    {128, "×"}, {129, "÷"}, {130, "⌟"}, {131, "⁻"}, {132, "²"}, {133, "³"}, {134, "⁻¹"}, {135, "π"},
    {136, "√"}, {137, "ˣ"}, {138, "▲"}, {139, "▼"}, {140, "◀"}, {141, "▶"}, {142, "°"},
};

std::string CharText(int c) {
    if (c >= 32 && c < 127) return std::string(1, static_cast<char>(c));
    const auto it = kSigns.find(c);
    return it != kSigns.end() ? it->second : kUnreadable;
}

// Key names of the face, as the tests write them (see Keys).
const std::map<std::string, int> kKeyNames = {
    {"off", 3},  {"shift", 4}, {"mode", 5},  {"left", 6}, {"up", 7},   {"down", 8}, {"right", 9},
    {"sin", 10}, {"cos", 11},  {"tan", 12},  {"pi", 13},  {"log", 14}, {"ln", 15},  {"10x", 16},
    {"ex", 17},  {"x2", 18},   {"sqrt", 19}, {"pow", 20}, {"inv", 21}, {"(", 22},   {")", 23},
    {"!", 24},   {"hyp", 25},  {"drg", 26},  {"npr", 27}, {"ncr", 28}, {"rnd", 29}, {"menu", 30},
    {"ans", 31}, {"swap", 32}, {"mc", 33},   {"mr", 34},  {"sto", 35}, {"m+", 36},  {"m-", 37},
    {"rcl", 38}, {"frac", 39}, {"exp", 40},  {"neg", 41}, {"del", 45}, {"ac", 46},  {"*", 50},
    {"/", 51},   {"+", 55},    {"-", 56},    {".", 58},   {"pm", 59},  {"%", 60},   {"=", 61},
    {"f8", 62},
};
constexpr int kDigitKey[10] = {57, 52, 53, 54, 47, 48, 49, 42, 43, 44};

// A key sequence: words separated by spaces, each a key name above or a number whose digits
// and point are typed one by one ("12.5").
std::vector<int> Keys(const std::string& text) {
    std::vector<int> codes;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        const auto it = kKeyNames.find(word);
        if (it != kKeyNames.end()) {
            codes.push_back(it->second);
            continue;
        }
        for (const char c : word) {
            if (c >= '0' && c <= '9')
                codes.push_back(kDigitKey[c - '0']);
            else if (c == '.')
                codes.push_back(58);
            else
                ADD_FAILURE() << "no key for '" << word << "'";
        }
    }
    return codes;
}

// The value of the number record at address `at` of the RAM (docs/firmware.md).
double RecordValue(const std::string& ram, size_t at) {
    double mantissa = 0;
    for (int i = 7; i >= 0; --i) {
        const auto b = static_cast<unsigned char>(ram.at(at + static_cast<size_t>(i)));
        mantissa = mantissa * 100 + (b >> 4) * 10 + (b & 15);
    }
    const int exponent = static_cast<unsigned char>(ram.at(at + 8)) - 128 - 16;
    const double v = mantissa * std::pow(10.0, exponent);
    return ram.at(at + 9) ? -v : v;
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
    std::vector<std::string> Text; // from the text area, UTF-8
    std::vector<std::string> Lcd;  // from the dots, UTF-8
    std::vector<std::string> Dots; // the 64 dot rows, '#' dark
    std::string Ram;
    nlohmann::json Dump;
};

// Characters of a UTF-8 string.
int Chars(const std::string& s) {
    int n = 0;
    for (const char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}
// A line as the firmware right-aligns it, or left-aligns it.
std::string Right(const std::string& s) {
    return std::string(static_cast<size_t>(std::max(0, kColumns - Chars(s))), ' ') + s;
}
std::string Left(const std::string& s) {
    return s + std::string(static_cast<size_t>(std::max(0, kColumns - Chars(s))), ' ');
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
        for (int c = kFirstChar; c <= kLastChar; ++c) {
            std::array<uint8_t, kGlyphRows> rows{};
            for (int k = 0; k < kGlyphRows; ++k)
                rows[k] = static_cast<uint8_t>(rom1.at(kFont + 8 * (c - kFirstChar) + k));
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
        s.Ram = Slurp(dir_ / "ram.bin");
        for (int l = 0; l < kLines; ++l) {
            std::string text, decoded;
            for (int c = 0; c < kColumns; ++c) {
                text +=
                    CharText(static_cast<unsigned char>(s.Ram.at(kTextArea + kColumns * l + c)));
                decoded += Decode(s.Dots, l, c);
            }
            s.Text.push_back(text);
            s.Lcd.push_back(decoded);
        }
        return s;
    }

    // Presses the keys one after another (100 ms down, kGap apart from 500 ms on, with time
    // for the functions after =) and looks at the screen afterwards.
    Screen Press(const std::vector<int>& keys, int64_t extraMs = 0) {
        std::string args;
        int64_t t = 500;
        for (const int k : keys) {
            args += " --key " + std::to_string(t) + ":" + std::to_string(k) + ":100";
            t += k == 61 ? 700 : 160;
        }
        return Run("--ms " + std::to_string(t + 400 + extraMs) + args);
    }
    Screen Press(const std::string& keys) { return Press(Keys(keys)); }
    Screen Type(const std::string& text) {
        return Run("--ms " + std::to_string(500 + 200 * text.size() + 800) + " --type '" + text +
                   "'");
    }

    // The character whose glyph the cell shows; the cell's left column (the cursor's) is not
    // part of any glyph.
    std::string Decode(const std::vector<std::string>& dots, int line, int col) const {
        std::array<uint8_t, kGlyphRows> rows{};
        for (int k = 0; k < kGlyphRows; ++k) {
            const std::string& row = dots.at(static_cast<size_t>(line * kGlyphRows + k));
            for (int x = 1; x < kCellDots; ++x)
                if (row.at(static_cast<size_t>(col * kCellDots + x)) == '#')
                    rows[k] |= static_cast<uint8_t>(0x80 >> x);
        }
        for (size_t g = 0; g < glyphs_.size(); ++g)
            if (glyphs_[g] == rows) return CharText(kFirstChar + static_cast<int>(g));
        return kUnreadable;
    }

    // The cursor: the left dot column of a cell, dark on all 8 rows.
    static bool CaretAt(const Screen& s, int line, int col) {
        for (int k = 0; k < kGlyphRows; ++k)
            if (s.Dots.at(static_cast<size_t>(line * kGlyphRows + k))
                    .at(static_cast<size_t>(col * kCellDots)) != '#')
                return false;
        return true;
    }
    static int CaretCells(const Screen& s) {
        int n = 0;
        for (int l = 0; l < kLines; ++l)
            for (int c = 0; c < kColumns; ++c) n += CaretAt(s, l, c);
        return n;
    }

    fs::path dir_;
    std::vector<std::array<uint8_t, kGlyphRows>> glyphs_;
};

// Both readings of every line equal the expected ones.
void ExpectBothWays(const Screen& s, const std::vector<std::string>& expected,
                    const std::string& what) {
    ASSERT_EQ(s.Text.size(), static_cast<size_t>(kLines)) << what;
    for (int l = 0; l < kLines; ++l) {
        EXPECT_EQ(s.Text[l], expected[l]) << what << ": text area line " << l;
        EXPECT_EQ(s.Lcd[l], expected[l]) << what << ": LCD line " << l;
    }
}
// One line, both ways.
void ExpectLine(const Screen& s, int line, const std::string& expected, const std::string& what) {
    ASSERT_EQ(s.Text.size(), static_cast<size_t>(kLines)) << what;
    EXPECT_EQ(s.Text[line], expected) << what << ": text area line " << line;
    EXPECT_EQ(s.Lcd[line], expected) << what << ": LCD line " << line;
}

// A whole screen: status line, the expression from line 1, the result on line 7.
std::vector<std::string> ScreenOf(const std::string& status, const std::string& expr,
                                  const std::string& result, const std::string& note = "") {
    std::vector<std::string> s(kLines, std::string(kColumns, ' '));
    s[0] = Left(status);
    s[1] = Left(expr);
    s[kNoteLine] = Right(note);
    s[kResultLine] = Right(result);
    return s;
}
const std::string kStatus = "   DEG NORM";

TEST_F(Firmware, FontHasADistinctGlyphForEveryCharacterInsideItsCell) {
    for (size_t a = 0; a < glyphs_.size(); ++a) {
        EXPECT_EQ(glyphs_[a][7], 0) << "character " << kFirstChar + a;
        for (int k = 0; k < kGlyphRows; ++k)
            EXPECT_EQ(glyphs_[a][k] & 0x83, 0) << "character " << kFirstChar + a << " row " << k;
        for (size_t b = a + 1; b < glyphs_.size(); ++b)
            EXPECT_NE(glyphs_[a], glyphs_[b])
                << "characters " << kFirstChar + a << " and " << kFirstChar + b;
    }
}

TEST_F(Firmware, PowerUpSetsTheMachineUpAndShowsZero) {
    const Screen s = Run("--ms 400");
    ExpectBothWays(s, ScreenOf(kStatus, "", "0"), "power-up");
    EXPECT_EQ(s.Dump["S5"], 32);
    EXPECT_EQ(s.Dump["S6"], 9);
    EXPECT_EQ(s.Dump["S7"], 11);
    EXPECT_EQ(s.Dump["TM"], 125);
    EXPECT_EQ(s.Dump["PE"], 0);
    EXPECT_EQ(s.Dump["LA"], 0x1300);
    EXPECT_EQ(s.Dump["IE"], 0x88);
    EXPECT_EQ(s.Dump["WAIT"], 1);
    const auto& r = s.Dump["R"];
    EXPECT_LE(r[0x7F].get<int>() * 256 + r[0x3F].get<int>(), 0x2000); // sp in RAM
    EXPECT_NE(r[0x7B].get<int>() * 256 + r[0x3B].get<int>(), 0);      // v3 set
}

struct KeyCase {
    const char* name;
    const char* keys;
    const char* result; // line 7
    const char* expr;   // line 1, or nullptr when not checked
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << '"' << c.keys << '"';
}

class KeySequences : public Firmware, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeySequences, ShowTheExpectedResultInTextAndDots) {
    const KeyCase& c = GetParam();
    const Screen s = Press(c.keys);
    const std::string what = std::string(c.name) + " [" + c.keys + "]";
    ExpectLine(s, kResultLine, Right(c.result), what);
    if (c.expr) ExpectLine(s, 1, Left(c.expr), what);
}

std::string CaseName(const ::testing::TestParamInfo<KeyCase>& info) {
    std::string n = info.param.name;
    for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return n;
}

// Entry, precedence and brackets.
const KeyCase kEntry[] = {
    {"digits", "123 =", "123", "123"},
    {"leading zeros", "007 =", "7", "007"},
    {"point first", ".25 =", "0.25", ".25"},
    {"second point", "1.2.3 =", "SYNTAX ERROR", "1.2.3"},
    {"precedence", "2 + 3 * 4 =", "14", "2+3×4"},
    {"division before subtraction", "10 - 6 / 4 =", "8.5", "10-6÷4"},
    {"left to right", "100 / 10 / 5 =", "2", nullptr},
    {"subtraction left to right", "10 - 2 - 3 =", "5", nullptr},
    {"brackets", "( 2 + 3 ) * 4 =", "20", "(2+3)×4"},
    {"nested brackets", "( ( ( ( ( ( ( ( 1 + 1 ) * 2 ) + 1 ) * 2 ) ) ) ) ) =", "10", nullptr},
    {"missing closing brackets", "2 * ( 3 + ( 4 - 1 =", "12", "2×(3+(4-1"},
    {"implied times bracket", "2 ( 3 + 4 ) =", "14", "2(3+4)"},
    {"implied times brackets", "( 1 + 2 ) ( 3 + 4 ) =", "21", nullptr},
    {"unary minus", "neg 5 + 2 =", "-3", "⁻5+2"},
    {"minus in operand place", "2 * - 3 =", "-6", "2×-3"},
    {"minus squared", "neg 3 x2 =", "-9", "⁻3²"},
    {"extra closing bracket", "2 + 3 ) =", "SYNTAX ERROR", nullptr},
    {"operator at end", "2 + =", "SYNTAX ERROR", nullptr},
    {"empty brackets", "( ) =", "SYNTAX ERROR", nullptr},
    {"operator first uses ans", "6 * 7 = + 8 =", "50", "Ans+8"},
    {"decimal sum", "0.1 + 0.2 =", "0.3", nullptr},
    {"rounded to ten digits", "2 / 3 =", "0.6666666667", nullptr},
    {"twelve digits kept", "2 / 3 * 3 - 2 =", "0", nullptr},
    {"big product", "99999 * 99999 =", "9999800001", nullptr},
    {"division by zero", "5 / 0 =", "DIV BY ZERO", nullptr},
    {"percent of sum", "200 + 10 % =", "220", nullptr},
    {"percent off", "200 - 10 % =", "180", nullptr},
    {"percent times", "50 * 20 % =", "10", nullptr},
    {"percent alone", "25 % =", "0.25", nullptr},
};
INSTANTIATE_TEST_SUITE_P(Entry, KeySequences, ::testing::ValuesIn(kEntry), CaseName);

// Numbers: scientific notation, EXP, the limits of the range.
const KeyCase kNumbers[] = {
    {"ten integer digits", "9999999999 =", "9999999999", nullptr},
    {"beyond ten digits", "9999999999 + 1 =", "1E+10", nullptr},
    {"scientific", "1234567891 * 1000000 =", "1.234567891E+15", nullptr},
    {"negative scientific", "neg 1.234567891 / 1 exp 15 =", "-1.234567891E-15", nullptr},
    {"small plain", "1 / 7000 =", "0.0001428571429", nullptr},
    {"smaller in scientific", "1 / 700000 =", "1.428571429E-06", nullptr},
    {"exp entry", "1.5 exp 3 =", "1500", "1.5E3"},
    {"exp negative", "2.5 exp neg 4 =", "0.00025", "2.5E⁻4"},
    {"exp alone", "exp 6 =", "1000000", "E6"},
    {"largest", "9.999999999 exp 99 =", "9.999999999E+99", nullptr},
    {"overflow", "9.999999999 exp 99 * 10 =", "OVERFLOW", nullptr},
    {"exp overflow", "1 exp 100 =", "OVERFLOW", nullptr},
    {"smallest", "1 exp neg 99 =", "1E-99", nullptr},
    {"underflow to zero", "1 exp neg 99 / 10 =", "0", nullptr},
};
INSTANTIATE_TEST_SUITE_P(Numbers, KeySequences, ::testing::ValuesIn(kNumbers), CaseName);

TEST_F(Firmware, TypedThroughTheKeyMap) {
    const struct {
        const char* typed;
        const char* result;
    } cases[] = {
        {"12+34=", "46"},
        {"2+3*4=", "14"},
        {"(1+2)*3\\n", "9"},
        {"1/8=", "0.125"},
    };
    for (const auto& c : cases) ExpectLine(Type(c.typed), kResultLine, Right(c.result), c.typed);
}

TEST_F(Firmware, TheTestKeyShowsItsCode) {
    ExpectBothWays(Press("12 f8"), ScreenOf(kStatus, "12", "", "KEY 62"), "test key");
    ExpectBothWays(Press("f8 5"), ScreenOf(kStatus, "5", ""), "the next key clears the code");
}

TEST_F(Firmware, OffStopsTheProcessorAndAcWakesIt) {
    Screen s = Press("12 + 3 off");
    EXPECT_EQ(s.Dump["OFF"], 1);
    EXPECT_EQ(s.Dump["S6"], 0);
    EXPECT_EQ(s.Dump["PC"], 0);
    s = Run("--ms 3000 --key 500:3:100 --key 2000:46:100");
    EXPECT_EQ(s.Dump["OFF"], 0);
    EXPECT_EQ(s.Dump["S6"], 9);
    ExpectBothWays(s, ScreenOf(kStatus, "", "0"), "woken");
    // While off nothing but AC does anything.
    s = Run("--ms 2000 --key 500:3:100 --key 900:52:100 --key 1300:61:100");
    EXPECT_EQ(s.Dump["OFF"], 1);
}

TEST_F(Firmware, CursorBlinksWhileEditing) {
    int dark = 0, light = 0, changes = 0;
    bool last = false;
    for (int t = 0; t < 24; ++t) {
        const Screen s = Run("--ms " + std::to_string(1000 + 50 * t) + " --key 500:53:100");
        ExpectLine(s, 1, Left("2"), "entry open");
        const bool on = CaretAt(s, 1, 1);
        EXPECT_LE(CaretCells(s), 1);
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
        ExpectLine(s, kResultLine, Right("5"), "result");
        EXPECT_EQ(CaretCells(s), 0) << t;
    }
}

TEST_F(Firmware, IdleTimeIsSpentInWaitSteps) {
    const fs::path trace = dir_ / "trace.txt";
    const Screen s = Run("--ms 3000 --key 500:53:100 --trace '" + trace.string() + "'");
    ExpectLine(s, 1, Left("2"), "after the run");
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
    // AC wakes the calculator if a monkey switched it off, and leaves a menu or a prompt. The
    // monkey may have chosen another number format, so the result is read from ANS.
    Screen s = Press("ac ac 12345679 * 9 =");
    EXPECT_EQ(RecordValue(s.Ram, kRecAns), 111111111.0) << "after the soak";
    s = Press("ac 1 / 8 =");
    EXPECT_EQ(RecordValue(s.Ram, kRecAns), 0.125) << "a second run after the soak";
}
