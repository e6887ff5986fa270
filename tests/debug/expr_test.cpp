// The debugger's expressions and log formats, and the symbols: the table, the symbol file, typed
// addresses, the listing with labels and the assembler line with names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/Cpu.h"
#include "core/Machine.h"
#include "debug/Expr.h"
#include "debug/Program.h"
#include "debug/Symbols.h"

namespace {

class Expressions : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMachine();
        CpuState& c = g_cpu;
        c.PC = 0x1A2B;
        c.LA = 0x0300;
        c.KC = 0x48;
        c.IE = 0x88;
        c.S6 = 0x09;
        c.F = kFlagC | kFlagZ;
        c.R[5] = 0x12;
        c.R[100] = 0x7E;
        c.R[kPtrLow + kSp] = 0xFC;
        c.R[kPtrHigh + kSp] = 0x1F;
        c.Ram[0x0180] = 0x42;
        c.Ext[0x0010] = 0x99;
        symbols_.Add(0x0180, "mem_rec");
    }
    void TearDown() override { ResetMachine(); }
    SymbolTable symbols_;
};

TEST_F(Expressions, Values) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"PC", 0x1A2B},
        {"pc == 0x1a2b", 1},
        {"PC == &H1A2B && LA == 768", 1},
        {"R[5]", 0x12},
        {"r[5 + 95]", 0x7E},
        {"R[133]", 0x12}, // taken modulo 128
        {"M[mem_rec]", 0x42},
        {"M[3:0x180]", 0x42},
        {"M[0:0x10]", 0x99},
        {"M[1:0]", 0xFF},
        {"SP", 0x1FFC},
        {"C && Z && !V && !UZ", 1},
        {"F", 0x90},
        {"KC | IE", 0xC8},
        {"KC ^ 0xFF", 0xB7},
        {"S6 & 1", 1},
        {"1 + 2 * 3", 7},
        {"(1 + 2) * 3", 9},
        {"-5 + 2", -3},
        {"~0", -1},
        {"1 << 4 >> 2", 4},
        {"10 / 3 + 10 % 3", 4},
        {"7 / 0", 0},
        {"3 < 4 && 4 <= 4 && 5 > 4 && 4 >= 5 == 0", 1},
        {"1 || 0 && 0", 1},
        {"2 != 2", 0},
        {"1 | 2 & 3", 3},
        {"0x7FFFFFFF + 1", INT32_MIN},
        {"mem_rec + 2", 0x182},
    };
    for (const Case& c : cases) {
        Expr e;
        ExprError error;
        ASSERT_TRUE(e.Parse(c.text, &symbols_, error)) << c.text << ": " << error.Text();
        EXPECT_EQ(e.Eval(), c.value) << c.text;
    }
    EXPECT_EQ(Expr().Eval(), 1); // no condition: always true
}

TEST_F(Expressions, ErrorsSayWhereAndWhat) {
    struct Case {
        const char* text;
        int position;
        const char* message;
    };
    const Case cases[] = {
        {"", 1, "expression expected"},
        {"   ", 4, "expression expected"},
        {"PC ==", 6, "value expected"},
        {"(PC == 1", 9, "expected ')'"},
        {"R[5", 4, "expected ']'"},
        {"M[3:5", 6, "expected ']'"},
        {"PC = 1", 4, "unexpected character"},
        {"PX == 1", 1, "unknown name 'PX'"},
        {"1 + nowhere", 5, "unknown name 'nowhere'"},
        {"0x", 3, "digits expected"},
        {"12ab", 3, "not a number"},
        {"99999999999", 1, "number too large"},
        {"PC )", 4, "unexpected character"},
        {"1 +* 2", 4, "value expected"},
    };
    for (const Case& c : cases) {
        Expr e;
        ExprError error;
        EXPECT_FALSE(e.Parse(c.text, &symbols_, error)) << c.text;
        EXPECT_EQ(error.Position, c.position) << c.text;
        EXPECT_EQ(error.Message, c.message) << c.text;
        EXPECT_TRUE(e.Empty()) << c.text;
    }
    Expr e;
    ExprError error;
    EXPECT_FALSE(e.Parse("mem_rec", nullptr, error)); // names need a symbol table
    EXPECT_EQ(error.Text(), "at 1: unknown name 'mem_rec'");
    // Deep nesting is refused, not a crash.
    EXPECT_FALSE(e.Parse(std::string(200, '(') + "1" + std::string(200, ')'), nullptr, error));
    EXPECT_EQ(error.Message, "expression nested too deeply");
    std::string longSum = "1";
    for (int i = 0; i < 40; ++i) longSum = "(" + longSum + "+1)";
    EXPECT_FALSE(e.Parse(longSum, nullptr, error));
}

TEST_F(Expressions, LogFormats) {
    struct Case {
        const char* format;
        const char* line;
    };
    const Case cases[] = {
        {"at {PC}: r5={R[5]} sp={SP} la={LA}", "at 1A2B: r5=12 sp=1FFC la=0300"},
        {"{R[5]:d} {C} {M[mem_rec]}", "18 01 42"},
        {"{{literal}} {KC}", "{literal} 48"},
        {"{R[5] * 0x100}", "1200"},
        {"plain", "plain"},
        {"", ""},
    };
    for (const Case& c : cases) {
        LogFormat f;
        ExprError error;
        ASSERT_TRUE(f.Parse(c.format, &symbols_, error)) << c.format << ": " << error.Text();
        EXPECT_EQ(f.Format(), c.line) << c.format;
    }
    const Case errors[] = {
        {"r5={R[5]", "at 9: expected '}'"},
        {"x } y", "at 3: '}' without '{' (write }} for a brace)"},
        {"a {PC ==} b", "at 9: value expected"},
    };
    for (const Case& c : errors) {
        LogFormat f;
        ExprError error;
        EXPECT_FALSE(f.Parse(c.format, &symbols_, error)) << c.format;
        EXPECT_EQ(error.Text(), c.line) << c.format;
    }
}

TEST(Symbols, FileTableAndNames) {
    SymbolTable t;
    std::string error;
    ASSERT_TRUE(ParseSymbols("; the firmware\n0000 reset\n\n00F6 k_mem_add\n1848 cm_reset\r\n"
                             "# comment\n00F6 also_here\n",
                             t, error))
        << error;
    EXPECT_EQ(t.All().size(), 4u);
    EXPECT_EQ(*t.Find("k_mem_add"), 0x00F6);
    EXPECT_EQ(*t.NameAt(0x00F6), "k_mem_add"); // the first name at an address
    EXPECT_EQ(t.NameAt(0x00F7), nullptr);
    EXPECT_EQ(t.Describe(0x00F6), "k_mem_add");
    EXPECT_EQ(t.Describe(0x0101), "k_mem_add+B");
    EXPECT_EQ(t.Describe(0x01F6), ""); // too far from any name
    EXPECT_EQ(t.Describe(0x1847), "");
    EXPECT_EQ(FormatSymbols(t.All()),
              "0000 reset\n00F6 k_mem_add\n00F6 also_here\n1848 cm_reset\n");
    // Written and read back, a table is the same.
    SymbolTable back;
    ASSERT_TRUE(ParseSymbols(FormatSymbols(t.All()), back, error));
    EXPECT_EQ(FormatSymbols(back.All()), FormatSymbols(t.All()));

    struct Bad {
        const char* text;
        const char* error;
    };
    const Bad bad[] = {
        {"00F6\n", "line 1: expected ADDRESS NAME"},
        {"0000 a\nXYZ1 b\n", "line 2: expected ADDRESS NAME"},
        {"10000 big\n", "line 1: expected ADDRESS NAME"},
        {"0010 9lives\n", "line 1: not a name: 9lives"},
        {"0010 two words\n", "line 1: not a name: two words"},
    };
    for (const Bad& b : bad) {
        SymbolTable s;
        EXPECT_FALSE(ParseSymbols(b.text, s, error)) << b.text;
        EXPECT_EQ(error, b.error) << b.text;
    }
}

TEST(Symbols, TypedAddresses) {
    SymbolTable t;
    t.Add(0x00F6, "k_mem_add");
    t.Add(0x0ADD, "add"); // also a hexadecimal number
    struct Case {
        const char* text;
        bool ok;
        uint16_t address;
    };
    const Case cases[] = {
        {"k_mem_add", true, 0x00F6},
        {" k_mem_add + 3 ", true, 0x00F9},
        {"k_mem_add-6", true, 0x00F0},
        {"add", true, 0x0ADD},
        {"&H1800", true, 0x1800},
        {"0xffff", true, 0xFFFF},
        {"1a2b", true, 0x1A2B},
        {"k_mem_add-F7", false, 0},
        {"10000", false, 0},
        {"k_mem_add+x", false, 0},
        {"", false, 0},
        {"nope", false, 0},
    };
    for (const Case& c : cases) {
        uint16_t a = 0;
        std::string error;
        EXPECT_EQ(ParseAddress(c.text, t, a, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(a, c.address) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

// The listing with label rows, names in operands, and the assembler line with names, on an
// assembled program whose labels become the symbols.
TEST(Symbols, ListingAndAssemblerLine) {
    const ProgramImage img = AssembleProgram("        org &h1800\n"
                                             "main:   cal print_number\n"
                                             "        jmp z,main\n"
                                             "print_number:\n"
                                             "        ld r5,1\n"
                                             "        rtn\n");
    ASSERT_TRUE(img.Ok());
    ASSERT_EQ(img.Labels.size(), 2u);
    EXPECT_EQ(img.Labels[0].Name, "main");
    EXPECT_EQ(img.Labels[1].Address, 0x1806);
    ResetMachine();
    std::memcpy(g_cpu.Ext, img.Ext.data(), kExtBytes);
    SymbolTable t;
    for (const ProgramLabel& l : img.Labels) t.Add(l.Address, l.Name);

    const std::vector<ListingLine> rows = LabelledListing(0x1800, 6, t);
    ASSERT_EQ(rows.size(), 6u);
    const char* texts[] = {"main:",         "1800: cal   print_number", "1803: jmp   z,main",
                           "print_number:", "1806: ld    r5,&H01",      "1809: rtn"};
    const uint16_t addresses[] = {0x1800, 0x1800, 0x1803, 0x1806, 0x1806, 0x1809};
    for (int i = 0; i < 6; ++i) {
        std::string text = rows[i].Text;
        while (!text.empty() && text.back() == ' ') text.pop_back();
        EXPECT_EQ(text, texts[i]) << i;
        EXPECT_EQ(rows[i].Address, addresses[i]) << i;
        EXPECT_EQ(rows[i].Label, i == 0 || i == 3) << i;
    }
    // A label row counts as a row: one row from main is its label alone.
    EXPECT_EQ(LabelledListing(0x1800, 1, t).size(), 1u);

    struct Line {
        const char* withNames;
        const char* plain;
    };
    const Line lines[] = {
        {"cal print_number", "cal &h1806"},
        {"jmp z,main+3", "jmp z,&h1803"},
        {"jmp nz, print_number - 1", "jmp nz,&h1805"},
        {"ld r5,r70", "ld r5,r70"},   // registers are not names
        {"sjmp main", "sjmp &h1800"}, // page 0x18
        {"ldw ix,main", "ldw ix,&h1800"},
    };
    for (const Line& l : lines) {
        const AsmResult named = AssembleLineWithSymbols(l.withNames, 0x1800, t);
        const AsmResult plain = AssembleLine(l.plain, 0x1800);
        ASSERT_TRUE(plain.Ok()) << l.plain;
        ASSERT_TRUE(named.Ok()) << l.withNames << " at " << named.AsmPos;
        EXPECT_EQ(named.AsmBytes, plain.AsmBytes) << l.withNames;
        EXPECT_EQ(named.AsmCount, plain.AsmCount) << l.withNames;
    }
    // An unknown name fails where it starts, as any unreadable text.
    EXPECT_EQ(AssembleLineWithSymbols("cal nowhere", 0x1800, t).AsmPos, 5);
    ResetMachine();
}

} // namespace
