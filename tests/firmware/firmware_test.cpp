// The default firmware, run through velmora-headless in scratch directories with the built
// rom0.bin/rom1.bin and the key map written from the face's table. Every screen is read twice:
// from the text area in RAM (ram.bin after --save) and from the LCD dots (--lcd-text) decoded
// with the font in rom1.bin; the two must agree and match the expected screen.
#include "../support/TestFiles.h"

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

#include "FaceLegends.h"
#include "KeyMapTable.h"

namespace fs = std::filesystem;

namespace {
using testfiles::Lines;
using testfiles::Slurp;
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

std::string KeyName(int code) {
    for (const auto& [name, c] : kKeyNames)
        if (c == code) return name;
    return "?";
}

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

struct Screen {
    std::vector<std::string> Text; // from the text area, UTF-8
    std::vector<std::string> Lcd;  // from the dots, UTF-8
    std::vector<std::string> Dots; // the 64 dot rows, '#' dark
    std::string Ram;
    nlohmann::json Dump;
};

// Cells of a line written in UTF-8 (the raised -1 is one cell, two characters).
int Chars(const std::string& s) {
    int n = 0;
    for (const char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    for (size_t at = s.find("⁻¹"); at != std::string::npos; at = s.find("⁻¹", at + 1)) --n;
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
    {"rounds to 1E+100 on the display", "9.9999999995 exp 99 =", "1E+100", nullptr},
    {"overflow", "9.999999999 exp 99 * 10 =", "OVERFLOW", nullptr},
    {"exp overflow", "1 exp 100 =", "OVERFLOW", nullptr},
    {"smallest", "1 exp neg 99 =", "1E-99", nullptr},
    {"underflow to zero", "1 exp neg 99 / 10 =", "0", nullptr},
};
INSTANTIATE_TEST_SUITE_P(Numbers, KeySequences, ::testing::ValuesIn(kNumbers), CaseName);

// Every function at ordinary values and at the edges of its domain (degrees unless the
// keys say otherwise: drg at the start switches to radians).
const KeyCase kFunctions[] = {
    {"sine", "sin 30 =", "0.5", "sin30"},
    {"cosine", "cos 60 =", "0.5", "cos60"},
    {"tangent", "tan 45 =", "1", nullptr},
    {"sine of a half turn", "sin 180 =", "0", nullptr},
    {"tangent of a right angle", "tan 90 =", "DOMAIN ERROR", nullptr},
    {"tangent of minus a right angle", "tan neg 270 =", "DOMAIN ERROR", nullptr},
    {"sine of a large angle", "sin ( 360 exp 7 + 30 ) =", "0.5", nullptr},
    {"angle too large", "sin 1 exp 10 =", "DOMAIN ERROR", nullptr},
    {"sine in radians", "drg sin ( pi / 6 ) =", "0.5", nullptr},
    {"cosine in radians", "drg cos 1 =", "0.5403023059", nullptr},
    {"sine near pi", "drg sin 3.14159 =", "2.653589793E-06", nullptr},
    {"arcsine", "shift sin 0.5 =", "30", "sin⁻¹0.5"},
    {"arccosine", "shift cos neg 1 =", "180", nullptr},
    {"arctangent", "shift tan 1 =", "45", nullptr},
    {"arcsine out of range", "shift sin 1.0001 =", "DOMAIN ERROR", nullptr},
    {"hyperbolic sine", "hyp sin 1 =", "1.175201194", "sinh1"},
    {"hyperbolic cosine", "hyp cos 0 =", "1", nullptr},
    {"hyperbolic tangent", "hyp tan 0.5 =", "0.4621171573", nullptr},
    {"area hyperbolic sine", "shift hyp sin 1 =", "0.881373587", "sinh⁻¹1"},
    {"hyp then shift", "hyp shift cos 2 =", "1.316957897", "cosh⁻¹2"},
    {"area cosine below one", "shift hyp cos 0.5 =", "DOMAIN ERROR", nullptr},
    {"area tangent", "shift hyp tan 0.5 =", "0.5493061443", nullptr},
    {"area tangent of one", "shift hyp tan 1 =", "DOMAIN ERROR", nullptr},
    {"common logarithm", "log 1000 =", "3", "log1000"},
    {"logarithm of zero", "log 0 =", "DOMAIN ERROR", nullptr},
    {"natural logarithm", "ln 2 =", "0.6931471806", nullptr},
    {"natural logarithm of e", "ln shift pi =", "1", "lne"},
    {"logarithm of a negative", "ln neg 1 =", "DOMAIN ERROR", nullptr},
    {"logarithm near one", "ln 1.0000001 =", "9.9999995E-08", nullptr},
    {"ten to the x", "10x 2 =", "100", "10^2"},
    {"e to the x", "ex 1 =", "2.718281828", "e^1"},
    {"e to the x overflows", "ex 231 =", "OVERFLOW", nullptr},
    {"e to the x underflows", "ex neg 231 =", "0", nullptr},
    {"square", "12 x2 =", "144", "12²"},
    {"cube", "3 shift x2 =", "27", "3³"},
    {"square root", "sqrt 2 =", "1.414213562", "√2"},
    {"root of a negative", "sqrt neg 4 =", "DOMAIN ERROR", nullptr},
    {"cube root", "shift sqrt neg 27 =", "-3", nullptr},
    {"power", "2 pow 10 =", "1024", "2^10"},
    {"power is left to right", "2 pow 3 pow 2 =", "64", nullptr},
    {"power before minus", "neg 2 pow 2 =", "-4", nullptr},
    {"negative exponent", "2 pow neg 1 =", "0.5", nullptr},
    {"zero to the zero", "0 pow 0 =", "DOMAIN ERROR", nullptr},
    {"negative base, fraction exponent", "( neg 8 ) pow 0.5 =", "DOMAIN ERROR", nullptr},
    {"x-th root", "3 shift pow 27 =", "3", "3ˣ√27"},
    {"reciprocal", "4 inv =", "0.25", "4⁻¹"},
    {"reciprocal of zero", "0 inv =", "DIV BY ZERO", nullptr},
    {"factorial", "5 ! =", "120", "5!"},
    {"factorial of zero", "0 ! =", "1", nullptr},
    {"largest factorial", "69 ! =", "1.711224524E+98", nullptr},
    {"factorial overflows", "70 ! =", "OVERFLOW", nullptr},
    {"factorial of a fraction", "2.5 ! =", "DOMAIN ERROR", nullptr},
    {"permutations", "10 npr 3 =", "720", "10P3"},
    {"combinations", "10 ncr 3 =", "120", "10C3"},
    {"combinations near the top", "336 ncr 168 =", "6.088717586E+99", nullptr},
    {"combinations r above n", "5 ncr 6 =", "DOMAIN ERROR", nullptr},
    {"pi", "pi =", "3.141592654", "π"},
    {"e", "shift pi =", "2.718281828", "e"},
    {"function without brackets", "sin 30 * 2 =", "1", nullptr},
    {"implied times function", "2 sin 30 =", "1", "2sin30"},
    {"function of a bracket", "sqrt ( 16 + 9 ) =", "5", nullptr},
    {"function of a number only", "sqrt 16 + 9 =", "13", nullptr},
    {"implied times pi", "2 pi =", "6.283185307", "2π"},
};
INSTANTIATE_TEST_SUITE_P(Functions, KeySequences, ::testing::ValuesIn(kFunctions), CaseName);

// Fractions, memories, the number formats and the keys that act on the result.
const KeyCase kFeatures[] = {
    {"fraction entry", "3 frac 4 =", "3⌟4", "3⌟4"},
    {"mixed number", "1 frac 2 frac 3 =", "1⌟2⌟3", "1⌟2⌟3"},
    {"fraction sum", "1 frac 3 + 1 frac 6 =", "1⌟2", nullptr},
    {"fraction sum to whole", "1 frac 2 + 1 frac 2 =", "1", nullptr},
    {"fraction to decimal", "1 frac 4 = frac", "0.25", nullptr},
    {"decimal to fraction", "0.75 = frac", "3⌟4", nullptr},
    {"improper", "1 frac 2 frac 3 = shift frac", "5⌟3", nullptr},
    {"negative fraction", "neg 3 frac 4 =", "-3⌟4", nullptr},
    {"no small fraction", "pi = frac", "3.141592654", nullptr},
    {"fraction by zero", "5 frac 0 =", "DIV BY ZERO", nullptr},
    {"fraction of decimals", "1.5 frac 2 =", "SYNTAX ERROR", nullptr},
    {"store and recall", "5 sto 1 ac rcl 1 * 2 =", "10", "Ans×2"},
    {"recall shows the value", "2 + 3 sto 7 ac rcl 7", "5", "M7"},
    {"recall in an expression", "4 sto 2 ac 1 + rcl 2 =", "5", "1+M2"},
    {"memory plus", "5 m+ 3 m+ mr", "8", "M"},
    {"memory minus", "5 m+ 3 m- mr", "2", nullptr},
    {"memory clear", "5 m+ mc mr", "0", nullptr},
    {"memory plus an expression", "2 * 3 m+ mr + 1 =", "7", nullptr},
    {"swap", "3 = 4 = swap", "3", "Ans"},
    {"swap twice", "3 = 4 = swap swap", "4", nullptr},
    {"ans", "7 = ans * 2 =", "14", nullptr},
    {"degrees to radians", "180 = drg", "3.141592654", "180"},
    {"radians to grads", "180 = drg drg", "200", nullptr},
    {"grads to degrees", "180 = drg drg drg", "180", nullptr},
    {"fix", "mode 2 1 / 3 =", "0.33", nullptr},
    {"fix pads", "mode 3 2.5 =", "2.500", nullptr},
    {"sci", "mode mode 3 1 / 3 =", "3.33E-01", nullptr},
    {"back to norm", "mode 2 mode mode 1 / 3 =", "0.3333333333", nullptr},
    {"round to fix", "mode 2 2 / 3 = rnd - 0.67 =", "0.00", "Ans-0.67"},
    {"plus minus on a result", "2 = pm", "-2", "⁻Ans"},
    {"plus minus on the entry", "5 pm", "", "⁻5"},
    {"plus minus twice", "5 pm pm", "", "5"},
    {"history up", "1 + 2 = 3 * 4 = up up", "", "1+2"},
    {"history down", "1 + 2 = 3 * 4 = up up down", "", "3×4"},
    {"history edited", "1 + 2 = up del 5 =", "6", "1+5"},
    {"insert at the cursor", "1 2 3 left left 9", "", "1923"},
    {"delete before the cursor", "1 2 3 left left del", "", "23"},
    {"left edits a result at its end", "1 2 3 = left 4", "", "1234"},
    {"right edits a result at its start", "1 2 3 = right 4", "", "4123"},
    {"del after an error", "1 / 0 = del", "", "1÷0"},
    {"ac after an error", "1 / 0 = ac", "0", ""},
    {"keys wait for ac after an error", "1 / 0 = 5 + 1 =", "DIV BY ZERO", "1÷0"},
    {"menu angle unit", "menu 1 down = sin ( pi / 2 ) =", "1", nullptr},
    {"menu format", "menu 2 down = 4 2 / 3 =", "0.6667", nullptr},
    {"menu clear memory", "5 m+ sto 3 menu 3 ac mr + rcl 3 =", "0", nullptr},
};
INSTANTIATE_TEST_SUITE_P(Features, KeySequences, ::testing::ValuesIn(kFeatures), CaseName);

// The status line: SHIFT, HYP, the angle unit, the number format, a prompt, M.
TEST_F(Firmware, StatusLineShowsTheModes) {
    const struct {
        const char* keys;
        const char* status;
    } cases[] = {
        {"shift", "S  DEG NORM"},     {"hyp", " H DEG NORM"},       {"shift hyp", "SH DEG NORM"},
        {"drg", "   RAD NORM"},       {"drg drg", "   GRA NORM"},   {"mode", "   DEG FIX?"},
        {"mode 3", "   DEG FIX3"},    {"mode mode", "   DEG SCI?"}, {"mode mode 7", "   DEG SCI7"},
        {"5 sto", "   DEG NORM STO"}, {"rcl", "   DEG NORM RCL"},   {"5 m+", "   DEG NORM    M"},
    };
    for (const auto& c : cases) {
        std::error_code ec;
        fs::remove(dir_ / "ram.bin", ec);
        ExpectLine(Press(c.keys), 0, Left(c.status), c.keys);
    }
}

// SHIFT gives every key with a second legend its second function.
TEST_F(Firmware, ShiftGivesTheSecondLegends) {
    const struct {
        int code;
        const char* shifted; // the second legend of data/FaceLegends.h
        const char* expr;    // what the key then writes
    } cases[] = {
        {10, "sin^-1", "sin⁻¹"},
        {11, "cos^-1", "cos⁻¹"},
        {12, "tan^-1", "tan⁻¹"},
        {13, "e", "e"},
        {18, "x^3", "2³"},
        {19, "\xE2\x88\x9B", "³√"},
        {20, "^x\xE2\x88\x9A", "2ˣ√"},
        {29, "Ran#", "Ran#"},
    };
    for (const auto& c : cases) {
        std::error_code ec;
        fs::remove(dir_ / "ram.bin", ec);
        EXPECT_EQ(kKeyLegends[c.code - 1].shifted, std::string_view(c.shifted)) << c.code;
        const bool postfix = c.code == 18 || c.code == 20;
        const Screen s = Press(std::string(postfix ? "2 shift " : "shift ") + KeyName(c.code));
        ExpectLine(s, 1, Left(c.expr), c.shifted);
    }
    // d/c: a b/c after SHIFT shows a fraction as an improper one.
    ExpectLine(Press("ac 1 frac 1 frac 2 = shift frac"), kResultLine, Right("3⌟2"), "d/c");
}

// A key test: no key of the face shows its code (KEY nn), only the key that is not on the
// face (62, F8) does.
TEST_F(Firmware, EveryFaceKeyHasAFunction) {
    for (int code = 4; code <= 61; ++code) {
        std::error_code ec;
        fs::remove(dir_ / "ram.bin", ec);
        const Screen s = Press(std::vector<int>{code});
        for (int l = 0; l < kLines; ++l)
            EXPECT_EQ(s.Text[l].find("KEY"), std::string::npos) << "key " << code;
    }
    ExpectLine(Press(std::vector<int>{62}), kNoteLine, Right("KEY 62"), "key 62");
}

TEST_F(Firmware, MenuShowsItsItemsAndAbout) {
    ExpectBothWays(Press("menu"),
                   {Left("   DEG NORM"), Left("MENU"), Left("▶1 Angle unit"),
                    Left(" 2 Number format"), Left(" 3 Clear memory"), Left(" 4 Clear history"),
                    Left(" 5 About"), Left("▲▼ SELECT  = OK")},
                   "menu");
    ExpectLine(Press("ac menu down down"), 4, Left("▶3 Clear memory"), "down moves the marker");
    ExpectLine(Press("ac menu up"), 6, Left("▶8 Programs"), "up from the first goes to the last");
    ExpectLine(Press("ac menu 5"), 2, Left("Firmware 2.0"), "about");
    ExpectLine(Press("ac menu 1"), 1, Left("ANGLE UNIT"), "submenu");
    ExpectLine(Press("ac menu 1 left"), 1, Left("MENU"), "left goes back");
    ExpectBothWays(Press("ac menu ac"), ScreenOf(kStatus, "", "0"), "ac leaves");
}

// Every item of the submenus stays on its own line (a text longer than the line would run
// into the next one).
TEST_F(Firmware, SubmenusShowEachItemOnItsLine) {
    const struct {
        const char* keys;
        std::vector<std::string> lines; // lines 1 to 7
    } cases[] = {
        {"menu 1",
         {"ANGLE UNIT", "▶1 Degrees", " 2 Radians", " 3 Grads", "", "", "▲▼ SELECT  = OK"}},
        {"menu 2",
         {"NUMBER FORMAT", "▶1 NORM", " 2 FIX n places", " 3 SCI n digits", "", "",
          "▲▼ SELECT  = OK"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> expected = {Left("   DEG NORM")};
        for (const std::string& l : c.lines) expected.push_back(Left(l));
        ExpectBothWays(Press(std::string("ac ") + c.keys), expected, c.keys);
    }
}

TEST_F(Firmware, MemoriesAnsSettingsAndHistoryAreKeptAcrossRuns) {
    ExpectLine(Press("6 * 7 = sto 4 m+ drg mode 2"), 0, Left("   RAD FIX2    M"), "first run");
    Screen s = Press("rcl 4"); // the next start of the program
    ExpectLine(s, kResultLine, Right("42.00"), "M4 kept");
    ExpectLine(s, 0, Left("   RAD FIX2    M"), "settings kept");
    ExpectLine(Press("ac up up"), 1, Left("6×7"), "history kept");
    ExpectLine(Press("ac ans ="), kResultLine, Right("42.00"), "ANS kept");
}

TEST_F(Firmware, StartsFreshWithoutASignature) {
    std::string ram(8192, '\x77'); // another program's RAM: no signature
    std::ofstream(dir_ / "ram.bin", std::ios::binary)
        .write(ram.data(), static_cast<std::streamsize>(ram.size()));
    const Screen s = Press("mr");
    ExpectBothWays(s, ScreenOf(kStatus, "M", "0"), "garbage RAM");
    EXPECT_EQ(RecordValue(s.Ram, kRecAns), 0.0);
}

TEST_F(Firmware, RandomNumbersLieInTheUnitInterval) {
    std::vector<double> seen;
    for (int i = 0; i < 5; ++i) {
        const Screen s = Press("shift rnd");
        ExpectLine(s, 1, Left("Ran#"), "random");
        const double v = RecordValue(s.Ram, kRecAns);
        EXPECT_GE(v, 0.0);
        EXPECT_LT(v, 1.0);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), v), 0) << "repeated " << v;
        seen.push_back(v);
    }
}

TEST_F(Firmware, LongExpressionsWrapAndScroll) {
    std::string keys;
    for (int i = 0; i < 45; ++i) keys += "1 + "; // 91 characters: 6 lines, 5 shown
    const Screen s = Press(keys + "1");
    ExpectLine(s, 5, Left("1+1+1+1+1+1"), "the last line shown");
    ExpectLine(s, 1, Left("1+1+1+1+1+1+1+1+"), "the first line shown (the second)");
    EXPECT_TRUE(CaretAt(s, 5, 11)) << "the cursor after the last 1";
    ExpectLine(Press(keys + "1 ="), kResultLine, Right("46"), "worked out");
}

TEST_F(Firmware, TypedThroughTheKeyMap) {
    const struct {
        const char* typed;
        const char* result;
    } cases[] = {
        {"12+34=", "46"},  {"2+3*4=", "14"},   {"(1+2)*3\\n", "9"}, {"1/8=", "0.125"},
        {"2^10=", "1024"}, {"1,5*2=", "3"},    {"2*(3+4=", "14"},   {"(-2)^2=", "4"},
        {"2^-1=", "0.5"},  {"2x3+4X5=", "26"},
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

// A key pressed while a long calculation runs and still held when it ends is the next key,
// not part of waiting for the release of =.
TEST_F(Firmware, AKeyPressedDuringACalculationCounts) {
    std::string args = "--ms 3500";
    int t = 500;
    for (const int code : Keys("336 ncr 168")) {
        args += " --key " + std::to_string(t) + ":" + std::to_string(code) + ":100";
        t += 200;
    }
    args += " --key " + std::to_string(t) + ":61:100";        // = (0.41 s of work)
    args += " --key " + std::to_string(t + 330) + ":51:200";  // / pressed meanwhile
    args += " --key " + std::to_string(t + 900) + ":53:100";  // 2
    args += " --key " + std::to_string(t + 1200) + ":61:100"; // =
    const Screen s = Run(args);
    ExpectLine(s, 1, Left("Ans÷2"), "the division was taken");
    ExpectLine(s, kResultLine, Right("3.044358793E+99"), "C(336, 168) / 2");
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
        if (s.Dump["S6"] == 9) { // the screen always shows the text area
            for (int l = 0; l < kLines; ++l)
                EXPECT_EQ(s.Lcd[l], s.Text[l]) << "round " << round << " line " << l;
        }
    }
    // AC wakes the calculator if a monkey switched it off, and leaves a menu or a prompt. The
    // monkey may have chosen another number format, so the result is read from ANS.
    Screen s = Press("ac ac 12345679 * 9 =");
    EXPECT_EQ(RecordValue(s.Ram, kRecAns), 111111111.0) << "after the soak";
    s = Press("ac 1 / 8 =");
    EXPECT_EQ(RecordValue(s.Ram, kRecAns), 0.125) << "a second run after the soak";
}

// A state saved in the middle of a calculation and loaded by another run of the program goes on
// with it; the second run's key times count from the loaded state.
TEST_F(Firmware, AStateCarriesACalculationIntoTheNextRun) {
    ExpectBothWays(Run("--type '12+' --ms 2000 --save-state s.vst"), ScreenOf(kStatus, "12+", ""),
                   "before the save");
    fs::remove(dir_ / "ram.bin"); // the state alone brings the memory
    ExpectBothWays(Run("--load-state s.vst --type '34=' --ms 2000"),
                   ScreenOf(kStatus, "12+34", "46"), "after the load");
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
                                                    {800, kKeyNames.at("*")},
                                                    {1000, kDigitKey[6]},
                                                    {1500, kKeyNames.at("+")},
                                                    {1700, kDigitKey[1]}};
    const std::vector<std::pair<int, int>> second = {{2000, kDigitKey[2]},
                                                     {2300, kKeyNames.at("/")},
                                                     {2700, kDigitKey[4]},
                                                     {3300, kKeyNames.at("=")}};
    std::vector<std::pair<int, int>> all = first;
    all.insert(all.end(), second.begin(), second.end());

    const Screen whole = Run("--ms 4000" + keys(all, 0));
    fs::remove(dir_ / "ram.bin");
    fs::remove(dir_ / "register.bin");
    Run("--ms 2000" + keys(first, 0) + " --save-state half.vst");
    const Screen split = Run("--load-state half.vst --ms 2000" + keys(second, 2000));
    ExpectBothWays(whole, ScreenOf(kStatus, "7×6+12÷4", "45"), "the whole run");
    EXPECT_EQ(split.Dump, whole.Dump);
    EXPECT_EQ(split.Dots, whole.Dots);
    EXPECT_EQ(split.Text, whole.Text);
}

// Keystroke programs: each Press is a run of its own (the RAM kept in ram.bin between runs),
// so a program recorded in one run is run in the next ones, as after closing the program.
TEST_F(Firmware, AProgramRecordedRunsAfterARestartAndStopsOnAC) {
    ExpectLine(Press("shift mode"), kNoteLine, Left("PROGRAM 1-4?"), "SHIFT MODE asks");
    ExpectLine(Press("shift mode 1"), kNoteLine, Left("REC P1       000"), "recording P1");
    // The area of a circle: a pause for the radius, then x² × π = (recorded in one run: a
    // recording, unlike the programs, does not outlast the run).
    ExpectLine(Press("shift mode 1 shift = x2 * pi ="), kNoteLine, Left("REC P1       005"),
               "five steps");
    ExpectLine(Press("shift mode 1 shift = x2 * pi = shift mode"), kNoteLine, Left(""),
               "the recording ends");

    ExpectLine(Press("ac shift 1"), kNoteLine, Left("P1 PAUSE  type ="), "stops at its pause");
    const Screen area = Press("ac shift 1 5 =");
    ExpectLine(area, kResultLine, Right("78.53981634"), "25 pi");
    ExpectLine(area, 1, Left("5²×π"), "the keys worked as typed");
    ExpectLine(Press("ac shift 1 2 . 5 ="), kResultLine, Right("19.63495408"), "6.25 pi");
    ExpectLine(Press("ac shift 1 ac 7 ="), kResultLine, Right("7"), "AC at the pause stops it");
    ExpectLine(Press("ac 4 shift 1 ="), kResultLine, Right("50.26548246"), "4 typed before");

    ExpectBothWays(Press("ac menu 8 5"),
                   {Left("   DEG NORM"), Left("P1 005 STEPS"), Left("▶001 PAUSE"), Left(" 002 x²"),
                    Left(" 003 ×"), Left(" 004 π"), Left(" 005 ="), Left("▲▼ DEL  AC:END")},
                   "the listing");
    // Delete the step x² and put 2 × after the ×: r × 2 × π, the circumference.
    ExpectLine(Press("ac menu 8 5 down del down 2 *"), 1, Left("P1 006 STEPS"), "edited");
    ExpectLine(Press("ac shift 1 3 ="), kResultLine, Right("18.84955592"), "6 pi");
}

TEST_F(Firmware, ACStopsARunningProgramBetweenItsKeys) {
    // P2 works out 69! (the slowest function, about 0.12 s) eight times, then 123.
    std::string keys = "shift mode 2";
    for (int i = 0; i < 8; ++i) keys += " 6 9 ! =";
    Press(keys + " 1 2 3 = shift mode");
    const Screen whole = Press(Keys("ac shift 2"), 3000);
    EXPECT_EQ(RecordValue(whole.Ram, kRecAns), 123.0) << "the whole program";
    const Screen stopped = Press("ac shift 2 ac");
    ExpectLine(stopped, kResultLine, Right("0"), "AC clears");
    EXPECT_NEAR(RecordValue(stopped.Ram, kRecAns), 1.711224524e98, 1e89) << "stopped at 69!";
}
