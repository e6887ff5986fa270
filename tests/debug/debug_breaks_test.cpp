// The debug window's additions without the window: the change marks, the stop line, the message
// for a rejected line, the listing's labels and breakpoint markers, the breakpoint list's field,
// and the call stack and history as the panes show them.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "debug/Asem.h"
#include "debug/Break.h"
#include "debug/DebugPanes.h"
#include "debug/Program.h"
#include "debug/Symbols.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Words 0-5 of the internal ROM: a call of a routine that copies R70 to R5.
constexpr const char* kProgram = R"(
        org 0
start:  ldw sp,&h1f00
        cal sub
        ld r6,r71
spin:   jmp spin
sub:    ld r5,r70
        rtn
)";

struct Additions : ::testing::Test {
    Additions() {
        ResetMachine();
        g_debug = DebugState{};
        g_symbols.Clear();
        DebugDropSnapshot();
        const ProgramImage image = AssembleProgram(kProgram);
        EXPECT_TRUE(image.Ok());
        std::copy(image.Rom.begin(), image.Rom.end(), g_cpu.Rom);
        std::copy(image.Ext.begin(), image.Ext.end(), g_cpu.Ext);
    }
    ~Additions() override { g_symbols.Clear(); }
    void NameProgram() {
        g_symbols.Add(0x0000, "start");
        g_symbols.Add(0x0003, "spin");
        g_symbols.Add(0x0004, "sub");
    }
};

CellGrid Grid(int columns, int rows) {
    return {8, 15, columns, rows};
}

const PaneCell* CellAt(const PaneDrawing& d, int column, int row) {
    const PaneCell* found = nullptr;
    for (const PaneCell& c : d.Cells)
        if (c.Column == column && c.Row == row) found = &c; // the last drawn wins
    return found;
}

std::vector<std::string> ChangedTexts(const PaneDrawing& d) {
    std::vector<std::string> out;
    for (const PaneCell& c : d.Cells)
        if (c.Changed) out.push_back(std::to_string(c.Row) + ":" + c.Text);
    return out;
}

using Marks = Additions;
using Listing = Additions;
using BreakField = Additions;
using SidePanes = Additions;

// --- Change marks -----------------------------------------------------------------------------

TEST_F(Marks, OnlyWhatDiffersFromThePictureIsMarked) {
    g_cpu.R[70] = 0x42;
    g_cpu.PC = 4; // ld r5,r70
    DebugTakeSnapshot();
    g_cpu.Ram[0x0012] = 0x41;
    DebugStepInto();
    ASSERT_EQ(g_cpu.R[5], 0x42);
    // Registers: PC (row 2) changed; the flags and the other registers did not.
    EXPECT_EQ(ChangedTexts(RegDrawing(17)), std::vector<std::string>{"2:0005"});
    // Main register file: R5 only, in row 0.
    EXPECT_EQ(ChangedTexts(MainDrawing(8)), std::vector<std::string>{"0:42"});
    // RAM: the byte as digits and as its character.
    g_debug.HexTop = 0x0010;
    EXPECT_EQ(ChangedTexts(BinDrawing(2)), (std::vector<std::string>{"0:41", "0:A"}));
    DebugDropSnapshot();
    EXPECT_TRUE(ChangedTexts(RegDrawing(17)).empty());
    EXPECT_TRUE(ChangedTexts(MainDrawing(8)).empty());
    EXPECT_TRUE(ChangedTexts(BinDrawing(2)).empty());
}

TEST_F(Marks, AFlagIsMarkedWhenItsBitChanged) {
    g_cpu.F = 0x90;
    DebugTakeSnapshot();
    g_cpu.F = 0x80 | 0x04; // Z cleared, LZ set
    std::vector<std::string> changed = ChangedTexts(RegDrawing(17));
    std::sort(changed.begin(), changed.end());
    EXPECT_EQ(changed, (std::vector<std::string>{"1:LZ ", "1:NZ "}));
}

// --- Stop line --------------------------------------------------------------------------------

TEST(StopLineTest, TheReasonThenTheHaltState) {
    const struct {
        uint8_t Off, Wait;
        const char* Reason;
        const char* Line;
    } cases[] = {
        {0, 0, "breakpoint 1 at 0004", "breakpoint 1 at 0004"},
        {0, 1, "paused", "paused; the processor is in wai"},
        {1, 0, "step", "step; the processor is off"},
        {1, 1, "step", "step; the processor is off"},
        {0, 1, "", "the processor is in wai"},
    };
    for (const auto& c : cases) {
        ResetMachine();
        g_cpu.OFF = c.Off;
        g_cpu.WAIT = c.Wait;
        EXPECT_EQ(StopLine(c.Reason), c.Line) << c.Reason << " off " << int(c.Off);
    }
}

// --- Rejected line ----------------------------------------------------------------------------

TEST(AsmRejectTest, SaysWhereAndWhatTheMnemonicTakes) {
    const struct {
        const char* Line;
        const char* Starts; // the message starts so
    } cases[] = {
        {"frob r1", "unknown instruction"},
        {"ld r5,zz", "cannot assemble 'ld': stopped at 'z' (column 7); expected "},
        {"ld r5,", "cannot assemble 'ld': stopped at the end of the line; expected "},
        {"  jmp xyz", "cannot assemble 'jmp': stopped at 'x' (column 7); expected "},
    };
    for (const auto& c : cases) {
        const AsmResult r = AssembleLine(c.Line, 0);
        ASSERT_FALSE(r.Ok()) << c.Line;
        const std::string m = AsmRejectMessage(c.Line, r);
        EXPECT_EQ(m.rfind(c.Starts, 0), 0u) << c.Line << ": " << m;
    }
    // The listing's editor gets it with the caret (the caret rule is the seed's).
    ResetMachine();
    g_debug = DebugState{};
    g_debug.EditMode = kEditInstruction;
    const EnterResult e = ListEnter("ld r5,zz");
    EXPECT_FALSE(e.Close);
    EXPECT_EQ(e.Caret, 6);
    EXPECT_NE(e.Message.find("cannot assemble 'ld'"), std::string::npos);
}

// --- Listing ----------------------------------------------------------------------------------

TEST_F(Listing, LabelsAreRowsOfTheirOwnExceptAtTheTopAndNameTheTargets) {
    NameProgram();
    const std::vector<std::string> lines = PaneLines(ListDrawing(9), 9);
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0].substr(0, 5), "0000:"); // the first row is the instruction, never a label
    EXPECT_EQ(lines[1].substr(0, 5), "0001:");
    EXPECT_NE(lines[1].find("cal   sub"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[3], "spin:");
    EXPECT_EQ(lines[4].substr(0, 5), "0003:");
    EXPECT_NE(lines[4].find("jmp   spin"), std::string::npos) << lines[4];
    EXPECT_EQ(lines[5], "sub:");
    EXPECT_EQ(lines[6].substr(0, 5), "0004:");
    // Clicks find the rows' addresses past the labels; a label row has none.
    const struct {
        int Row, Address;
    } rows[] = {{0, 0}, {1, 1}, {2, 2}, {3, -1}, {4, 3}, {5, -1}, {6, 4}};
    for (const auto& r : rows) EXPECT_EQ(ListRowAddress(r.Row), r.Address) << r.Row;
    // Patching with a name: cal spin over word 2.
    ClickResult click = ListClick(Grid(34, 9), 8, 2);
    ASSERT_TRUE(click.OpenEditor);
    EXPECT_TRUE(ListEnter("cal spin").Close);
    EXPECT_NE(PaneLines(ListDrawing(9), 9)[2].find("cal   spin"), std::string::npos);
}

TEST_F(Listing, WithoutSymbolsTheRowsAreTheSeeds) {
    const std::vector<std::string> lines = PaneLines(ListDrawing(6), 6);
    for (int r = 0; r < 6; ++r) {
        char address[8];
        std::snprintf(address, sizeof address, "%04X:", r);
        EXPECT_EQ(lines[static_cast<size_t>(r)].substr(0, 5), address);
        EXPECT_EQ(ListRowAddress(r), r);
    }
}

TEST_F(Listing, ThePcRowAndBreakpointRowsAreMarked) {
    g_cpu.PC = 2;
    ASSERT_NE(BreakToggle(3), 0);
    const int off = BreakToggle(5);
    ASSERT_NE(off, 0);
    ASSERT_TRUE(BreakEnable(off, false));
    const PaneDrawing d = ListDrawing(7);
    const struct {
        int Row;
        CellShade Address, Mnemonic;
    } rows[] = {
        {0, CellShade::Pane, CellShade::Pane},
        {2, CellShade::PcRow, CellShade::PcRow},
        {3, CellShade::Breakpoint, CellShade::Pane},
        {5, CellShade::BreakpointOff, CellShade::Pane},
    };
    for (const auto& r : rows) {
        ASSERT_NE(CellAt(d, 0, r.Row), nullptr);
        EXPECT_EQ(CellAt(d, 0, r.Row)->Shade, r.Address) << r.Row;
        EXPECT_EQ(CellAt(d, 6, r.Row)->Shade, r.Mnemonic) << r.Row;
    }
    // A breakpoint on the PC row marks the address as a breakpoint, the rest as the PC row.
    ASSERT_NE(BreakToggle(2), 0);
    const PaneDrawing both = ListDrawing(7);
    EXPECT_EQ(CellAt(both, 0, 2)->Shade, CellShade::Breakpoint);
    EXPECT_EQ(CellAt(both, 12, 2)->Shade, CellShade::PcRow);
}

TEST_F(Listing, ClickingARowsAddressTogglesABreakpoint) {
    NameProgram();
    const CellGrid grid = Grid(34, 9);
    const struct {
        int Column, Row;
        int Address; // where a breakpoint appears, -1: none
        uint8_t Mode;
    } cases[] = {
        {0, 2, 2, kEditNone},         {3, 4, 3, kEditNone},     {5, 6, 4, kEditNone},
        {4, 0, 0, kEditNone},         {0, 0, -1, kEditListTop}, {0, 3, -1, kEditNone}, // a label
        {6, 1, -1, kEditInstruction},
    };
    for (const auto& c : cases) {
        BreakRemoveAll();
        g_debug.EditMode = kEditNone;
        const ClickResult r = ListClick(grid, c.Column, c.Row);
        EXPECT_EQ(g_debug.EditMode, c.Mode) << c.Column << "," << c.Row;
        EXPECT_EQ(Breakpoints().size(), c.Address < 0 ? 0u : 1u) << c.Column << "," << c.Row;
        if (c.Address < 0) continue;
        EXPECT_TRUE(r.Redraw);
        EXPECT_EQ(Breakpoints()[0].Address, c.Address);
        ListClick(grid, c.Column, c.Row); // again: off
        EXPECT_EQ(BreakAt(static_cast<uint16_t>(c.Address)), 0);
    }
}

// --- The list's field -------------------------------------------------------------------------

TEST_F(BreakField, EachKindOfLineAddsItsRow) {
    NameProgram();
    const struct {
        const char* Text;
        bool Watch;
        const char* Where;
        const char* Detail;
    } cases[] = {
        {"0004", false, "sub (0004)", ""},
        {"  sub+1  ", false, "sub+1 (0005)", ""},
        {"spin if R[5] == 3", false, "spin (0003)", "if R[5] == 3"},
        {"2:PC == 2", false, "start+2 (0002)", "if PC == 2"},
        {"sub log r5={R[5]}", false, "sub (0004)", "log r5={R[5]}"},
        {"watch ram:0100-0103", true, nullptr, ""},
        {"ram:0180:rw", true, nullptr, ""},
        {"watch KC", true, nullptr, ""},
        // RAM is not the code's address space: a code label at the same number names nothing.
        {"watch ram:0003", true, "RAM 0003 w", ""},
    };
    for (const auto& c : cases) {
        BreakRemoveAll();
        WatchRemoveAll();
        std::string error;
        const int id = BreakLineAdd(c.Text, error);
        EXPECT_NE(id, 0) << c.Text << ": " << error;
        const std::vector<BreakRow> rows = BreakRows();
        ASSERT_EQ(rows.size(), 1u) << c.Text;
        EXPECT_EQ(rows[0].Id, id);
        EXPECT_EQ(rows[0].Watch, c.Watch) << c.Text;
        EXPECT_TRUE(rows[0].Enabled);
        if (c.Where) {
            EXPECT_EQ(rows[0].Where, c.Where) << c.Text;
        }
        if (c.Watch) {
            EXPECT_EQ(rows[0].Where, WatchText(Watchpoints()[0]));
        }
        EXPECT_EQ(rows[0].Detail, c.Detail) << c.Text;
    }
}

TEST_F(BreakField, ABadLineAddsNothingAndSaysWhy) {
    NameProgram();
    const struct {
        const char* Text;
        const char* Contains;
    } cases[] = {
        {"", "type an address"}, {"nowhere", ""}, {"sub if (R[5] == ", "at "},
        {"watch ram:3000", ""},  {"watch", ""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(BreakLineAdd(c.Text, error), 0) << c.Text;
        EXPECT_FALSE(error.empty()) << c.Text;
        EXPECT_NE(error.find(c.Contains), std::string::npos) << c.Text << ": " << error;
    }
    EXPECT_TRUE(BreakRows().empty());
}

TEST_F(BreakField, RemoveAndEnableFindBothKinds) {
    std::string error;
    const int bp = BreakLineAdd("0003", error);
    const int wp = BreakLineAdd("watch ram:0100", error);
    ASSERT_NE(bp, 0);
    ASSERT_NE(wp, 0);
    EXPECT_TRUE(BreakItemEnable(wp, false));
    EXPECT_TRUE(BreakItemEnable(bp, false));
    for (const BreakRow& r : BreakRows()) EXPECT_FALSE(r.Enabled) << r.Where;
    EXPECT_TRUE(BreakItemRemove(wp));
    EXPECT_TRUE(BreakItemRemove(bp));
    EXPECT_FALSE(BreakItemRemove(bp));
    EXPECT_TRUE(BreakRows().empty());
}

// --- Call stack and history -------------------------------------------------------------------

TEST_F(SidePanes, TheCallStackNamesTheReturnAndTheCall) {
    NameProgram();
    DebugStepInto(); // ldw sp
    DebugStepInto(); // cal sub
    ASSERT_EQ(g_cpu.PC, 4);
    const std::vector<CallFrame> frames = CallStack();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(CallFrameLine(frames[0]), "start+2 (0002)  from start+1 (0001)");
}

TEST_F(SidePanes, TheHistoryListsTheStepsAndFoldsRepeats) {
    for (int i = 0; i < 5; ++i) DebugStepInto(); // ldw, cal, ld, rtn, ld r6,r7
    g_cpu.PC = 3;
    for (int i = 0; i < 4; ++i) DebugStepInto(); // jmp spin, four times
    const std::vector<std::string> lines = HistoryLines(kHistorySteps);
    ASSERT_EQ(lines.size(), 6u);
    const char* starts[] = {"0000  ldw", "0001  cal", "0004  ld",
                            "0005  rtn", "0002  ld",  "0003  jmp"};
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].rfind(starts[i], 0), 0u) << lines[i];
    EXPECT_EQ(lines[5].substr(lines[5].size() - 4), "  x4") << lines[5];
    EXPECT_EQ(HistoryLines(2).size(), 1u); // the last two steps: one folded line
}

} // namespace
