// The debug window's panes without the window: their text, the cells a click opens, what Enter
// writes, the digit fields and the scrolling keys.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "debug/DebugPanes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A grid as the window has it with a 8 x 15 cell (9 rows in the listing's 137 pixels).
CellGrid Grid(int columns, int rows) {
    return {8, 15, columns, rows};
}

struct Panes : ::testing::Test {
    Panes() {
        ResetMachine();
        g_debug = DebugState{};
    }
};

using DigitFields = Panes;
using ScrollKeys = Panes;
using RegPane = Panes;
using MainPane = Panes;
using BinPane = Panes;
using ListPane = Panes;

void SetRomWord(int word, uint8_t b0, uint8_t b1, uint8_t b2) {
    g_cpu.Rom[3 * word] = b0;
    g_cpu.Rom[3 * word + 1] = b1;
    g_cpu.Rom[3 * word + 2] = b2;
}

std::vector<std::string> Lines(const PaneDrawing& d, int rows) {
    return PaneLines(d, rows);
}

// --- Grid -------------------------------------------------------------------------------------

TEST(CellGridTest, WholeCellsOfTheBoxAndTheCellUnderAPixel) {
    const CellGrid g = MakeCellGrid(8, 15, 273, 137);
    EXPECT_EQ(g.Columns, 34);
    EXPECT_EQ(g.Rows, 9);
    const CellGrid tall = MakeCellGrid(8, 18, 561, 113);
    EXPECT_EQ(tall.Columns, 70);
    EXPECT_EQ(tall.Rows, 6);
    const struct {
        int x, y, column, row;
    } cases[] = {{0, 0, 0, 0}, {7, 14, 0, 0}, {8, 15, 1, 1}, {100, 40, 12, 2}, {-1, -3, -1, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(CellColumn(g, c.x), c.column) << c.x;
        EXPECT_EQ(CellRow(g, c.y), c.row) << c.y;
    }
}

// --- Digit fields -----------------------------------------------------------------------------

TEST_F(DigitFields, DigitValueOfEveryCharacter) {
    const std::string digits = "0123456789ABCDEF";
    for (int ch = 0; ch < 256; ++ch) {
        const char c = static_cast<char>(ch);
        int expected = 16;
        const size_t at = digits.find(static_cast<char>(ch >= 'a' && ch <= 'f' ? ch - 32 : ch));
        if (ch != 0 && at != std::string::npos) expected = static_cast<int>(at);
        EXPECT_EQ(DigitValue(c), expected) << ch;
    }
}

TEST_F(DigitFields, FilterDeletesForeignCharactersAndKeepsTheSelectionInStep) {
    const struct {
        const char* text;
        int base, start, length;
        const char* filtered;
        int newStart, newLength;
    } cases[] = {
        {"12G", 16, 3, 0, "12", 2, 0},    // typed at the end
        {"1G2", 16, 2, 0, "12", 1, 0},    // typed in the middle
        {"G12", 16, 1, 0, "12", 0, 0},    // typed at the start
        {"A1b", 10, 3, 0, "1", 1, 0},     // letters are no decimal digits
        {"1x2y3", 16, 1, 3, "123", 1, 1}, // deleted inside the selection
        {"zz12", 16, 3, 1, "12", 1, 1},   // deleted in front of the selection
        {"12g", 16, 0, 1, "12", 0, 1},    // deleted behind the selection
        {"  1a ", 16, 5, 0, "1a", 2, 0},  // pasted with blanks
        {"fF09", 16, 4, 0, "fF09", 4, 0}, // both cases are hex digits
        {"9F", 10, 2, 0, "9", 1, 0},      // base 10
        {"\xe9"
         "5",
         16, 1, 0, "5", 0, 0},    // a character beyond ASCII
        {"", 16, 0, 0, "", 0, 0}, // empty text
    };
    for (const auto& c : cases) {
        const FilteredText f = FilterDigits(c.text, c.base, c.start, c.length);
        EXPECT_EQ(f.Text, c.filtered) << c.text;
        EXPECT_EQ(f.SelStart, c.newStart) << c.text;
        EXPECT_EQ(f.SelLength, c.newLength) << c.text;
    }
}

TEST_F(DigitFields, ValueOfADigitTextSaturatesInsteadOfOverflowing) {
    const struct {
        const char* text;
        int base;
        int32_t value;
    } cases[] = {
        {"", 16, 0},
        {"   ", 10, 0},
        {" 1a2 ", 16, 0x1A2},
        {"1A2", 16, 0x1A2},
        {"1A2", 10, 1},
        {"10", 10, 10},
        {"10", 16, 16},
        {"2147483647", 10, 2147483647},
        {"2147483648", 10, 2147483647},
        {"99999999999999999999999999", 10, 2147483647},
        {"7FFFFFFF", 16, 0x7FFFFFFF},
        {"80000000", 16, 0x7FFFFFFF},
        {"FFFFFFFFFFFFFFFFFFFF", 16, 0x7FFFFFFF},
        {"000000000000000000000012", 10, 12},
        {"0000000000000000000FFFF", 16, 0xFFFF},
    };
    for (const auto& c : cases) EXPECT_EQ(DigitTextValue(c.text, c.base), c.value) << c.text;
}

// --- Scrolling keys ---------------------------------------------------------------------------

TEST_F(ScrollKeys, EachKeyMovesThePositionAndTheResultIsClamped) {
    const struct {
        int key, position, min, max, large, expected;
    } cases[] = {
        {kKeyDown, 5, 0, 8, 8, 6},        {kKeyUp, 5, 0, 8, 8, 4},
        {kKeyPageDown, 5, 0, 100, 9, 14}, {kKeyPageUp, 50, 0, 100, 9, 41},
        {kKeyHome, 50, 0, 100, 9, 0},     {kKeyEnd, 50, 0, 100, 9, 100},
        {kKeyDown, 8, 0, 8, 8, 8},        {kKeyUp, 0, 0, 8, 8, 0},
        {kKeyPageDown, 5, 0, 8, 8, 8},    {kKeyPageUp, 3, 0, 8, 8, 0},
        {kKeyLeft, 5, 0, 8, 8, 5},        {kKeyRight, 5, 0, 8, 8, 5},
        {kKeyEnter, 5, 0, 8, 8, 5},       {kKeyEnd, 0, 0, 0xFFFF, 30, 0xFFFF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScrollKeyPosition(c.key, c.position, c.min, c.max, c.large), c.expected)
            << c.key << " from " << c.position;
    for (int key : {kKeyPageUp, kKeyPageDown, kKeyHome, kKeyEnd, kKeyUp, kKeyDown})
        EXPECT_TRUE(IsScrollKey(key));
    for (int key : {kKeyLeft, kKeyRight, kKeyEnter, kKeyEscape, 0, 65})
        EXPECT_FALSE(IsScrollKey(key));
}

// --- Registers pane ---------------------------------------------------------------------------

TEST_F(RegPane, FlagCellsReadTheirTextsOverAlternatingBackgrounds) {
    g_cpu.F = 0x90;
    const PaneDrawing d = RegDrawing(9);
    std::vector<std::string> flagTexts;
    std::vector<CellShade> shades;
    for (const PaneCell& c : d.Cells)
        if (c.Shade != CellShade::Pane) {
            flagTexts.push_back(c.Text);
            shades.push_back(c.Shade);
        }
    EXPECT_EQ(flagTexts, (std::vector<std::string>{"C ", "NV", "NUZ", "NH", "Z ", "NLZ"}));
    const std::vector<CellShade> alternate = {CellShade::White, CellShade::Silver,
                                              CellShade::White, CellShade::Silver,
                                              CellShade::White, CellShade::Silver};
    EXPECT_EQ(shades, alternate);
    const auto lines = Lines(d, 9);
    EXPECT_EQ(lines[0], "F: C NVNUZ");
    EXPECT_EQ(lines[1], "   NHZ NLZ");
    g_cpu.F = 0;
    // The third character of "NZ " lies under the start of "NLZ".
    EXPECT_EQ(Lines(RegDrawing(9), 9)[1], "   NHNZNLZ");
    g_cpu.F = 0xFF;
    EXPECT_EQ(Lines(RegDrawing(9), 9)[0], "F: C V UZ ");
    EXPECT_EQ(Lines(RegDrawing(9), 9)[1], "   H Z LZ ");
}

TEST_F(RegPane, RegisterRowsFromRegTopMaskedWithTheirDigits) {
    g_cpu.PC = 0x1234;
    g_cpu.LA = 0xBEEF;
    g_cpu.KC = 0x0A;
    g_cpu.AS = 0xFF; // shown masked to 7 bits
    g_cpu.TM = 0x05;
    auto lines = Lines(RegDrawing(9), 9);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[2], "PC: 1234");
    EXPECT_EQ(lines[3], "LA: BEEF");
    EXPECT_EQ(lines[4], "KC: 0A");
    EXPECT_EQ(lines[8], "AS: 7F");
    g_debug.RegTop = 8;
    const PaneDrawing d = RegDrawing(9);
    lines = Lines(d, 9);
    EXPECT_EQ(lines[2], "PE: 00");
    EXPECT_EQ(lines[8], "TM: 05");
    EXPECT_EQ(d.Scroll.Min, 0);
    EXPECT_EQ(d.Scroll.Max, 8);
    EXPECT_EQ(d.Scroll.Position, 8);
    EXPECT_EQ(d.Scroll.LargeChange, 8);
    // More rows than the table needs: at most 17 are used.
    const PaneDrawing all = RegDrawing(40);
    EXPECT_EQ(all.Scroll.Max, 0);
    g_debug.RegTop = 0;
    EXPECT_EQ(Lines(RegDrawing(40), 17)[16], "TM: 05");
}

TEST_F(RegPane, ClicksOpenValueEditorsOrToggleFlags) {
    const struct {
        int column, row;
        bool open;
        int target, width;
    } values[] = {
        {4, 2, true, 0, 4},  {7, 2, true, 0, 4},  {8, 2, false, 0, 0}, {3, 2, false, 0, 0},
        {4, 4, true, 2, 2},  {5, 4, true, 2, 2},  {6, 4, false, 0, 0}, {5, 8, true, 6, 2},
        {4, 9, false, 0, 0}, {0, 3, false, 0, 0},
    };
    for (const auto& v : values) {
        g_debug.EditMode = kEditNone;
        const ClickResult r = RegClick(Grid(10, 9), v.column, v.row);
        EXPECT_EQ(r.OpenEditor, v.open) << v.column << "," << v.row;
        if (!v.open) {
            EXPECT_EQ(g_debug.EditMode, kEditNone);
            continue;
        }
        EXPECT_EQ(g_debug.EditMode, kEditRegister);
        EXPECT_EQ(g_debug.EditTarget, v.target);
        EXPECT_EQ(r.Column, 4);
        EXPECT_EQ(r.Row, v.row);
        EXPECT_EQ(r.Width, v.width);
        EXPECT_TRUE(r.UpperCase);
    }
    const struct {
        int column, row;
        uint8_t mask;
    } flags[] = {{3, 0, 0x80}, {4, 0, 0x80}, {5, 0, 0x20}, {6, 0, 0x20}, {7, 0, 0x08}, {9, 0, 0x08},
                 {3, 1, 0x40}, {6, 1, 0x10}, {8, 1, 0x04}, {2, 0, 0},    {10, 1, 0}};
    for (const auto& f : flags) {
        g_debug.EditMode = kEditNone;
        g_cpu.F = 0x90;
        const ClickResult r = RegClick(Grid(10, 9), f.column, f.row);
        EXPECT_FALSE(r.OpenEditor);
        EXPECT_EQ(g_cpu.F, 0x90 ^ f.mask) << f.column << "," << f.row;
        EXPECT_EQ(r.Redraw, f.mask != 0);
        EXPECT_EQ(g_debug.EditMode, f.mask ? kEditFlag : kEditNone);
    }
    // Row 1, column 6 toggles Z of 0x90 and leaves 0x80.
    g_cpu.F = 0x90;
    RegClick(Grid(10, 9), 6, 1);
    EXPECT_EQ(g_cpu.F, 0x80);
}

TEST_F(RegPane, EnterStoresTheMaskedValue) {
    const struct {
        int entry;
        const char* text;
        uint16_t shown;
    } cases[] = {
        {0, "BEEF", 0xBEEF}, {1, "12", 0x0012}, {6, "FF", 0x7F}, {2, "FF", 0xFF},
        {14, "80", 0x00},    {0, "", 0},        {9, "7", 0x07},
    };
    for (const auto& c : cases) {
        g_cpu = CpuState{};
        g_cpu.PC = 0x5555;
        g_debug.EditMode = kEditRegister;
        g_debug.EditTarget = static_cast<uint16_t>(c.entry);
        const EnterResult r = RegEnter(c.text);
        EXPECT_TRUE(r.Close);
        EXPECT_EQ(RegValue(c.entry), c.shown) << c.entry << " " << c.text;
    }
    g_cpu.AS = 0;
    g_debug.EditTarget = 6;
    RegEnter("FF");
    EXPECT_EQ(g_cpu.AS, 0x7F);
    // Enter after a flag toggle does nothing.
    g_debug.EditMode = kEditFlag;
    g_cpu.PC = 0x4321;
    g_debug.EditTarget = 0;
    EXPECT_FALSE(RegEnter("1").Close);
    EXPECT_EQ(g_cpu.PC, 0x4321);
}

// --- Main register file pane ------------------------------------------------------------------

TEST_F(MainPane, SixteenBytesARowInGroupsOfFour) {
    for (int i = 0; i < kRegBytes; ++i) g_cpu.R[i] = static_cast<uint8_t>(i * 3);
    const auto lines = Lines(MainDrawing(7), 7);
    EXPECT_EQ(lines[0], "R000..R015: 00 03 06 09  0C 0F 12 15  18 1B 1E 21  24 27 2A 2D");
    EXPECT_EQ(lines[6], "R096..R111: 20 23 26 29  2C 2F 32 35  38 3B 3E 41  44 47 4A 4D");
    g_debug.MainTop = 16;
    const PaneDrawing d = MainDrawing(7);
    EXPECT_EQ(Lines(d, 7)[6], "R112..R127: 50 53 56 59  5C 5F 62 65  68 6B 6E 71  74 77 7A 7D");
    EXPECT_EQ(d.Scroll.Max, 1);
    EXPECT_EQ(d.Scroll.Position, 1);
    EXPECT_EQ(d.Scroll.LargeChange, 7);
    EXPECT_EQ(MainDrawing(12).Scroll.Max, 0); // at most 8 rows
}

TEST_F(MainPane, OnlyTheTwoDigitsOfAByteOpenAnEditor) {
    const struct {
        int column;
        int byte; // -1: nothing opens
    } cases[] = {{11, -1}, {12, 0},  {13, 0},  {14, -1}, {15, 1},  {21, 3}, {22, 3},
                 {23, -1}, {24, -1}, {25, 4},  {26, 4},  {37, -1}, {38, 8}, {50, -1},
                 {51, 12}, {60, 15}, {61, 15}, {62, -1}, {63, -1}};
    for (int top : {0, 16}) {
        for (const auto& c : cases) {
            g_debug = DebugState{};
            g_debug.MainTop = static_cast<uint16_t>(top);
            const ClickResult r = MainClick(Grid(70, 7), c.column, 2);
            EXPECT_EQ(r.OpenEditor, c.byte >= 0) << c.column;
            if (c.byte < 0) continue;
            EXPECT_EQ(g_debug.EditMode, kEditMainReg);
            EXPECT_EQ(g_debug.EditTarget, 32 + c.byte + top);
            EXPECT_EQ(r.Column, 12 + 3 * c.byte + c.byte / 4);
            EXPECT_EQ(r.Row, 2);
            EXPECT_EQ(r.Width, 2);
        }
    }
    EXPECT_FALSE(MainClick(Grid(70, 7), 12, 7).OpenEditor); // not a shown row
}

TEST_F(MainPane, EnterStoresTheLowByte) {
    for (const auto& [text, value] : {std::pair{"7F", 0x7F}, {"5", 0x05}, {"", 0x00}}) {
        g_cpu.R[77] = 0xAA;
        g_debug.EditMode = kEditMainReg;
        g_debug.EditTarget = 77;
        EXPECT_TRUE(MainEnter(text).Close);
        EXPECT_EQ(g_cpu.R[77], value) << text;
        EXPECT_EQ(g_cpu.R[76], 0);
        EXPECT_EQ(g_cpu.R[78], 0);
    }
}

// --- Hex editor pane --------------------------------------------------------------------------

TEST_F(BinPane, AddressBytesAndCharacters) {
    const uint8_t row[16] = {0x41, 0x1F, 0x7F, 0x20, 0x7E, 0x61, 0x00, 0xFF,
                             0x30, 0x39, 0x2E, 0x80, 0x5A, 0x7A, 0x21, 0x7B};
    std::memcpy(&g_cpu.Ram[0x0110], row, sizeof row);
    g_debug.HexTop = 0x0100;
    const PaneDrawing d = BinDrawing(9);
    const auto lines = Lines(d, 9);
    EXPECT_EQ(lines[0], "0100: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ................");
    EXPECT_EQ(lines[1], "0110: 41 1F 7F 20 7E 61 00 FF 30 39 2E 80 5A 7A 21 7B A.. ~a..09..Zz!{");
    EXPECT_EQ(lines[8].substr(0, 5), "0180:");
    EXPECT_EQ(d.Scroll.Max, 503);
    EXPECT_EQ(d.Scroll.Position, 0x10);
    EXPECT_EQ(d.Scroll.LargeChange, 9);
}

TEST_F(BinPane, RowsEndAtTheEndOfRam) {
    g_debug.HexTop = 0x1FC0;
    EXPECT_EQ(BinShownRows(9), 4);
    const auto lines = Lines(BinDrawing(9), 9);
    EXPECT_EQ(lines[3].substr(0, 5), "1FF0:");
    EXPECT_TRUE(lines[4].empty());
    g_debug.HexTop = 0x1F70;
    EXPECT_EQ(BinShownRows(9), 9);
}

TEST_F(BinPane, ClicksOnAddressDigitsAndCharacters) {
    const struct {
        int column, row;
        uint8_t mode;
        int target, editColumn, width;
        bool upper;
    } cases[] = {
        {0, 0, kEditHexTop, 0, 0, 4, true},         {3, 0, kEditHexTop, 0, 0, 4, true},
        {2, 1, kEditNone, 0, 0, 0, true},           {4, 0, kEditNone, 0, 0, 0, true},
        {6, 0, kEditHexByte, 0x100, 6, 2, true},    {7, 0, kEditHexByte, 0x100, 6, 2, true},
        {8, 0, kEditNone, 0, 0, 0, true},           {51, 2, kEditHexByte, 0x12F, 51, 2, true},
        {53, 2, kEditNone, 0, 0, 0, true},          {54, 1, kEditHexChar, 0x110, 54, 1, false},
        {69, 3, kEditHexChar, 0x13F, 69, 1, false}, {70, 3, kEditNone, 0, 0, 0, true},
    };
    for (const auto& c : cases) {
        g_debug = DebugState{};
        g_debug.HexTop = 0x100;
        const ClickResult r = BinClick(Grid(70, 9), c.column, c.row);
        EXPECT_EQ(g_debug.EditMode, c.mode) << c.column << "," << c.row;
        EXPECT_EQ(r.OpenEditor, c.mode != kEditNone);
        if (c.mode == kEditNone) continue;
        EXPECT_EQ(g_debug.EditTarget, c.target);
        EXPECT_EQ(r.Column, c.editColumn);
        EXPECT_EQ(r.Row, c.row);
        EXPECT_EQ(r.Width, c.width);
        EXPECT_EQ(r.UpperCase, c.upper);
    }
    // Rows past the end of RAM are not shown and open nothing.
    g_debug = DebugState{};
    g_debug.HexTop = 0x1FC0;
    EXPECT_TRUE(BinClick(Grid(70, 9), 6, 3).OpenEditor);
    g_debug.EditMode = kEditNone;
    EXPECT_FALSE(BinClick(Grid(70, 9), 6, 4).OpenEditor);
    EXPECT_EQ(g_debug.EditMode, kEditNone);
}

TEST_F(BinPane, EnterSetsTheTopOrStoresTheByte) {
    const struct {
        const char* text;
        uint16_t top;
    } tops[] = {{"1234", 0x1230}, {"1FF5", 0x0500}, {"", 0x0000},
                {"1F60", 0x1F60}, {"1F70", 0x0500}, {"0FFF", 0x0FF0}};
    for (const auto& t : tops) {
        g_debug.HexTop = 0x0500;
        g_debug.EditMode = kEditHexTop;
        EXPECT_TRUE(BinEnter(t.text, 9).Close);
        EXPECT_EQ(g_debug.HexTop, t.top) << t.text;
    }
    g_debug.EditTarget = 0x1ABC;
    g_debug.EditMode = kEditHexByte;
    BinEnter("5A", 9);
    EXPECT_EQ(g_cpu.Ram[0x1ABC], 0x5A);
    BinEnter("", 9);
    EXPECT_EQ(g_cpu.Ram[0x1ABC], 0x00);
    g_debug.EditMode = kEditHexChar;
    BinEnter("a", 9);
    EXPECT_EQ(g_cpu.Ram[0x1ABC], 0x61);
    BinEnter("A", 9);
    EXPECT_EQ(g_cpu.Ram[0x1ABC], 0x41);
    // An empty character field stores nothing.
    EXPECT_TRUE(BinEnter("", 9).Close);
    EXPECT_EQ(g_cpu.Ram[0x1ABC], 0x41);
    EXPECT_EQ(g_cpu.Ram[0x1ABB], 0x00);
    EXPECT_EQ(g_cpu.Ram[0x1ABD], 0x00);
}

// --- Disassembly pane -------------------------------------------------------------------------

TEST_F(ListPane, RowsFromListTopWithAddressMnemonicAndOperands) {
    SetRomWord(0x10, 0x20, 0x80, 0x00); // ld r0,&H00
    SetRomWord(0x11, 0x0F, 0x80, 0x01); // ad r0,&H01
    SetRomWord(0x12, 0xEF, 0x00, 0x00); // nop
    g_cpu.PC = 0x0ABC;
    g_debug.ListTop = 0x10;
    const PaneDrawing d = ListDrawing(4);
    const auto lines = Lines(d, 4);
    EXPECT_EQ(lines[0], "0010: ld    r0,&H00");
    EXPECT_EQ(lines[1], "0011: ad    r0,&H01");
    EXPECT_EQ(lines[2], "0012: nop");
    EXPECT_EQ(lines[3].substr(0, 6), "0013: ");
    EXPECT_EQ(g_cpu.PC, 0x0ABC);
    EXPECT_EQ(d.Scroll.Min, 0);
    EXPECT_EQ(d.Scroll.Max, 0xFFFF);
    EXPECT_EQ(d.Scroll.Position, 0x10);
    EXPECT_EQ(d.Scroll.LargeChange, 4); // one word per row in the internal ROM
}

TEST_F(ListPane, ExternalRowsAdvanceByTheInstructionLength) {
    g_cpu.Ext[0x1800] = 0xEF; // nop: 1 byte
    const uint8_t jump[3] = {0xA7, 0x18, 0x00};
    std::memcpy(&g_cpu.Ext[0x1801], jump, 3);
    const uint8_t load[3] = {0x21, 0x86, 0xA0}; // ld r5,r70
    std::memcpy(&g_cpu.Ext[0x1804], load, 3);
    g_debug.ListTop = 0x1800;
    const PaneDrawing d = ListDrawing(3);
    const auto lines = Lines(d, 3);
    EXPECT_EQ(lines[0], "1800: nop");
    EXPECT_EQ(lines[1], "1801: jmp   &H1800");
    EXPECT_EQ(lines[2], "1804: ld    r5,r70");
    EXPECT_EQ(d.Scroll.LargeChange, 7);
    // Starting inside an instruction decodes from that address.
    g_debug.ListTop = 0x1802;
    EXPECT_EQ(Lines(ListDrawing(1), 1)[0].substr(0, 6), "1802: ");
    EXPECT_EQ(ListRowAddress(0), 0x1802);
}

TEST_F(ListPane, TheListingStopsAfterTheRowThatWrapsPastFFFF) {
    g_cpu.Ext[0x7FFE] = 0xEF; // nop at 0xFFFE
    g_cpu.Ext[0x7FFF] = 0xA7; // jmp at 0xFFFF, its bytes wrap to 0x0000, 0x0001
    g_debug.ListTop = 0xFFFE;
    const PaneDrawing d = ListDrawing(9);
    const auto lines = Lines(d, 9);
    EXPECT_EQ(lines[0], "FFFE: nop");
    EXPECT_EQ(lines[1].substr(0, 12), "FFFF: jmp   ");
    EXPECT_TRUE(lines[2].empty());
    EXPECT_EQ(d.Scroll.LargeChange, 0); // wrapped: the large change stays
    EXPECT_EQ(ListRowAddress(1), 0xFFFF);
    EXPECT_EQ(ListRowAddress(2), -1);
    g_debug.EditMode = kEditNone;
    EXPECT_FALSE(ListClick(Grid(34, 9), 6, 2).OpenEditor);
    EXPECT_EQ(g_debug.EditMode, kEditNone);
    const ClickResult r = ListClick(Grid(34, 9), 6, 1);
    EXPECT_TRUE(r.OpenEditor);
    EXPECT_EQ(g_debug.EditTarget, 0xFFFF);
}

TEST_F(ListPane, ClicksOpenTheStartAddressOrAnInstruction) {
    g_debug.ListTop = 0x0100;
    const struct {
        int column, row;
        uint8_t mode;
        int editColumn, width;
        bool upper;
    } cases[] = {
        {0, 0, kEditListTop, 0, 4, true},        {3, 0, kEditListTop, 0, 4, true},
        {4, 0, kEditNone, 0, 0, true},           {5, 3, kEditNone, 0, 0, true},
        {2, 1, kEditNone, 0, 0, true},           {6, 0, kEditInstruction, 6, 28, false},
        {33, 5, kEditInstruction, 6, 28, false}, {34, 5, kEditNone, 0, 0, true},
        {6, 9, kEditNone, 0, 0, true},
    };
    for (const auto& c : cases) {
        g_debug.EditMode = kEditNone;
        g_debug.EditTarget = 0;
        const ClickResult r = ListClick(Grid(34, 9), c.column, c.row);
        EXPECT_EQ(g_debug.EditMode, c.mode) << c.column << "," << c.row;
        EXPECT_EQ(r.OpenEditor, c.mode != kEditNone);
        if (c.mode == kEditNone) continue;
        EXPECT_EQ(r.Column, c.editColumn);
        EXPECT_EQ(r.Row, c.row);
        EXPECT_EQ(r.Width, c.width);
        EXPECT_EQ(r.UpperCase, c.upper);
        if (c.mode == kEditInstruction) {
            EXPECT_EQ(g_debug.EditTarget, 0x0100 + c.row);
        }
    }
}

TEST_F(ListPane, EnterOnTheStartAddress) {
    for (const auto& [text, top] : {std::pair{"1a2", 0x01A2}, {"1A2", 0x01A2}, {"", 0}}) {
        g_debug.ListTop = 0x4444;
        g_debug.EditMode = kEditListTop;
        EXPECT_TRUE(ListEnter(text).Close);
        EXPECT_EQ(g_debug.ListTop, top) << text;
    }
}

TEST_F(ListPane, PatchingAnInternalRomWordWritesOnlyTheAssembledBytes) {
    SetRomWord(5, 0x11, 0x22, 0x33);
    g_debug.EditMode = kEditInstruction;
    g_debug.EditTarget = 5;
    EXPECT_TRUE(ListEnter("nop").Close);
    EXPECT_EQ(g_cpu.Rom[15], 0xEF);
    EXPECT_EQ(g_cpu.Rom[16], 0x22);
    EXPECT_EQ(g_cpu.Rom[17], 0x33);
    g_debug.EditTarget = 6;
    EXPECT_TRUE(ListEnter("ld r5,r70").Close);
    EXPECT_EQ(g_cpu.Rom[18], 0x21);
    EXPECT_EQ(g_cpu.Rom[19], 0x86);
    EXPECT_EQ(g_cpu.Rom[20], 0xA0);
    EXPECT_EQ(g_cpu.Rom[21], 0x00); // the next word is untouched
}

TEST_F(ListPane, PatchingExternalMemoryWritesConsecutiveBytes) {
    g_debug.EditMode = kEditInstruction;
    g_debug.EditTarget = 0x1800;
    EXPECT_TRUE(ListEnter("ld r5,r70").Close);
    EXPECT_EQ(g_cpu.Ext[0x1800], 0x21);
    EXPECT_EQ(g_cpu.Ext[0x1801], 0x86);
    EXPECT_EQ(g_cpu.Ext[0x1802], 0xA0);
    EXPECT_EQ(g_cpu.Ext[0x1803], 0x00);
    // The address is a 16-bit sum masked to 32 KB.
    g_debug.EditTarget = 0xFFFF;
    EXPECT_TRUE(ListEnter("ld r5,r70").Close);
    EXPECT_EQ(g_cpu.Ext[0x7FFF], 0x21);
    EXPECT_EQ(g_cpu.Ext[0x0000], 0x86);
    EXPECT_EQ(g_cpu.Ext[0x0001], 0xA0);
    // Nothing reaches the RAM or the internal ROM.
    for (uint8_t b : g_cpu.Ram) ASSERT_EQ(b, 0);
    for (uint8_t b : g_cpu.Rom) ASSERT_EQ(b, 0);
}

TEST_F(ListPane, ARejectedLineLeavesTheCaretAndStoresNothing) {
    const struct {
        const char* text;
        int caret;
    } cases[] = {{"ldx r5,r7", 2}, {"lq r5", 0}, {"ld r5,x", 6}, {"nop x", 4}};
    for (const auto& c : cases) {
        ResetMachine();
        g_debug.EditMode = kEditInstruction;
        g_debug.EditTarget = 0x1900;
        const EnterResult r = ListEnter(c.text);
        EXPECT_FALSE(r.Close) << c.text;
        EXPECT_EQ(r.Caret, c.caret) << c.text;
        EXPECT_EQ(g_debug.EditMode, kEditInstruction);
        for (uint8_t b : g_cpu.Ext) ASSERT_EQ(b, 0) << c.text;
    }
}

TEST_F(ListPane, LinesWithoutBytesStoreNothingAndClose) {
    for (const char* text : {"", "   ", "; a comment", "db"}) {
        SetRomWord(3, 0x11, 0x22, 0x33);
        g_debug.EditMode = kEditInstruction;
        g_debug.EditTarget = 3;
        EXPECT_TRUE(ListEnter(text).Close) << text;
        EXPECT_EQ(g_cpu.Rom[9], 0x11);
        EXPECT_EQ(g_cpu.Rom[10], 0x22);
        EXPECT_EQ(g_cpu.Rom[11], 0x33);
    }
}

TEST_F(ListPane, AShortJumpTypedAtThePageEndJumpsWhereItSays) {
    // The processor keeps the page of PC after the instruction: the next word in the internal
    // ROM, the address after both bytes in external memory.
    const struct {
        uint16_t target;
        const char* line;
        uint16_t destination;
    } cases[] = {
        {0x12FF, "sjmp &H1310", 0x1310}, {0x1234, "sjmp &H1210", 0x1210},
        {0x18FE, "sjmp &H1920", 0x1920}, {0x18FD, "sjmp &H18F0", 0x18F0},
        {0x2000, "scal &H2080", 0x2080},
    };
    for (const auto& c : cases) {
        ResetMachine();
        PtrSet(kSp, 0x1000);
        g_debug.EditMode = kEditInstruction;
        g_debug.EditTarget = c.target;
        ASSERT_TRUE(ListEnter(c.line).Close) << c.line;
        g_cpu.PC = c.target;
        CpuStep();
        EXPECT_EQ(g_cpu.PC, c.destination) << c.line;
    }
    // A target outside that page is rejected.
    g_debug.EditMode = kEditInstruction;
    g_debug.EditTarget = 0x12FF;
    EXPECT_FALSE(ListEnter("sjmp &H1210").Close);
    EXPECT_EQ(PatchPage(0x12FF), 0x1300);
    EXPECT_EQ(PatchPage(0x18FE), 0x1900);
    EXPECT_EQ(PatchPage(0xFFFF), 0x0001);
}

} // namespace
