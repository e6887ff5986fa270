// The debug window's logic without the window: its state, the character-cell grid of the
// panes, the text every pane draws, what a click on a cell opens, what Enter writes, the digit
// filter of the edit fields and the scrolling keys. The Qt window (debug/qt/Debug.h) only turns
// events into these calls and paints the cells they return.
#pragma once

#include "core/Digits.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct AsmResult;
struct CallFrame;
struct HistoryEntry;

// What the open in-place editor edits.
enum EditModes : uint8_t {
    kEditNone = 0,        // no editor
    kEditListTop = 1,     // the listing's start address
    kEditInstruction = 2, // an instruction of the listing
    kEditRegister = 3,    // a value of the register table
    kEditFlag = 4,        // a flag was toggled (no editor)
    kEditMainReg = 5,     // a byte of the main register file
    kEditHexTop = 6,      // the hex editor's start address
    kEditHexByte = 7,     // a RAM byte as hex digits
    kEditHexChar = 8,     // a RAM byte as a character
};

struct DebugState {
    uint8_t EditMode = kEditNone;
    uint16_t EditTarget = 0; // address, register-table index or register-file index edited
    uint16_t ListTop = 0;    // address of the listing's first row
    uint16_t RegTop = 0;     // register-table entry of the registers pane's first register row
    uint16_t MainTop = 0;    // first main register shown, a multiple of 16
    uint16_t HexTop = 0;     // first RAM address of the hex editor, a multiple of 16
};

extern DebugState g_debug;

// Key codes the panes' key handlers see (the PC's virtual-key codes).
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyPageUp = 33;
inline constexpr int kKeyPageDown = 34;
inline constexpr int kKeyEnd = 35;
inline constexpr int kKeyHome = 36;
inline constexpr int kKeyLeft = 37;
inline constexpr int kKeyUp = 38;
inline constexpr int kKeyRight = 39;
inline constexpr int kKeyDown = 40;

// --- Character-cell grid ----------------------------------------------------------------------

struct CellGrid {
    int CellWidth = 1;  // text width of "0"
    int CellHeight = 1; // text height of "0"
    int Columns = 0;    // whole cells across the paint box
    int Rows = 0;       // whole cells down the paint box
};

CellGrid MakeCellGrid(int cellWidth, int cellHeight, int boxWidth, int boxHeight);

// The cell under a pixel of the paint box; negative pixels give -1.
int CellColumn(const CellGrid& grid, int x);
int CellRow(const CellGrid& grid, int y);

// --- What a pane draws ------------------------------------------------------------------------

// Backgrounds of a cell. PcRow marks the listing's row of the instruction about to execute,
// Breakpoint and BreakpointOff the address of a row with an enabled or a disabled breakpoint.
enum class CellShade : uint8_t { Pane, White, Silver, PcRow, Breakpoint, BreakpointOff };

struct PaneCell {
    int Column;
    int Row;
    std::string Text;
    CellShade Shade = CellShade::Pane;
    bool Changed = false; // the value differs from the picture taken before the last run or step
};

struct ScrollSetup {
    int Min = 0;
    int Max = 0;
    int Position = 0;
    int LargeChange = 0; // 0: leave the scroll bar's large change as it is
};

struct PaneDrawing {
    std::vector<PaneCell> Cells; // in drawing order: a later cell covers an earlier one
    ScrollSetup Scroll;
};

// The cells laid into rows of text, as they appear on the screen (blanks where nothing is drawn).
std::vector<std::string> PaneLines(const PaneDrawing& drawing, int rows);

// Rows each pane shows of the rows that fit.
int RegShownRows(int rows);
int MainShownRows(int rows);
int BinShownRows(int rows);

// The disassembly from ListTop: per row the address, the mnemonic and the operand text, stopping
// after the row at which the addresses wrap past 0xFFFF. With symbols loaded, every instruction
// after the first whose address has a name gets a row "name:" before it, and jump and call
// targets show by name. The row of PC is marked (CellShade::PcRow), and the address of a row with
// a breakpoint (Breakpoint, BreakpointOff when disabled). Reads code through Decode: the machine
// is left as it was.
PaneDrawing ListDrawing(int rows);
// Flags, then the register table from RegTop.
PaneDrawing RegDrawing(int rows);
// The main register file from MainTop, 16 bytes a row in groups of four.
PaneDrawing MainDrawing(int rows);
// RAM from HexTop: address, 16 bytes as hex digits, the same bytes as characters.
PaneDrawing BinDrawing(int rows);

// Address of listing row r as the listing walks to it from ListTop, or -1 when the walk wraps
// past 0xFFFF before reaching it or the row is a label. Changes nothing.
int ListRowAddress(int row);

// --- Changes since the processor last ran from the debugger ----------------------------------
// The window takes a picture of the registers, the flags, the main register file and the RAM
// before it lets the processor run (a step, a run, a step over or out); the panes then mark every
// value that differs from it, until the next picture or until it is dropped.

struct DebugSnapshot {
    bool Valid = false;
    uint16_t Regs[15] = {}; // the register table's values, masked
    uint8_t F = 0;
    uint8_t R[128] = {};
    uint8_t Ram[8192] = {};
};

extern DebugSnapshot g_debugBefore;

void DebugTakeSnapshot();
void DebugDropSnapshot(); // nothing is marked until the next picture

// --- Stop line ------------------------------------------------------------------------------
// The line under the panes: why the processor stopped, then whether it is waiting for an
// interrupt or a key (wai) or switched off (off), which a stop in those states would not show
// otherwise, since PC stays put.
std::string StopLine(std::string_view reason);

// --- Breakpoints and watchpoints, call stack, history (DebugBreaks.cpp) ----------------------

// A row of the breakpoint and watchpoint list.
struct BreakRow {
    int Id = 0;
    bool Watch = false;
    bool Enabled = true;
    std::string Where; // "print_number+3 (1A2B)", "RAM 0180-0189 w"
    uint64_t Hits = 0;
    std::string Detail; // "if R[5] == 3", "log {PC}", "ignore 2", joined by "; "
};
std::vector<BreakRow> BreakRows();

// Adds what the list's field holds: a breakpoint ("ADDR", a label, "ADDR if COND"), a logging
// breakpoint ("ADDR [if COND] log FORMAT"), or a watchpoint ("watch AREA:ADDR[-END][:r|w|rw]",
// "watch KC"; without the word when the text is no breakpoint but a watchpoint). Returns the new
// Id, or 0 with a message.
int BreakLineAdd(std::string_view text, std::string& error);
// Removes or enables a breakpoint or watchpoint by Id.
bool BreakItemRemove(int id);
bool BreakItemEnable(int id, bool enabled);

// "print_number+3 (1A2B)", or "1A2B" when no name is near.
std::string AddressText(uint16_t address);
// A frame of the call stack: "1A2B  print_number+3  from 1A00 main+5" (innermost first).
std::string CallFrameLine(const CallFrame& frame);
// A step of the history: "1A2B  cal   print_number   f=90  12 cyc".
std::string HistoryLine(const HistoryEntry& entry);
// The last count steps, oldest first, a run of equal steps (a wait, a loop of one instruction)
// as one line ending in "xN".
std::vector<std::string> HistoryLines(int count);

// --- Register table ---------------------------------------------------------------------------
// The registers pane lists the first kRegEntries rows of the special-register table (all but F,
// which it shows as flags).

inline constexpr int kRegEntries = 15;
uint16_t RegValue(int index);             // the register's value, masked
void RegStore(int index, uint32_t value); // masked, 16 bits or the low byte

struct FlagEntry {
    const char* ClearText;
    const char* SetText;
    int Column;
    int Row;
    uint8_t Mask;
};

inline constexpr int kFlagEntries = 6;
extern const FlagEntry kFlagTable[kFlagEntries];

// --- Clicks -----------------------------------------------------------------------------------

// What a click in a pane asks the window to do. The click functions have already set EditMode,
// EditTarget (and toggled a flag) when they return.
struct ClickResult {
    bool OpenEditor = false;
    bool Redraw = false; // the pane changed without an editor (a flag toggle)
    int Column = 0;      // editor's first cell
    int Row = 0;
    int Width = 0; // in cells, also the editor's maximum length
    bool UpperCase = true;
};

// Besides the editors: a click on columns 0 to 5 of an instruction row (columns 4 and 5 only on
// row 0, whose address cells open the start-address editor) puts a breakpoint there, or removes
// the breakpoints there (Redraw is then set).
ClickResult ListClick(const CellGrid& grid, int column, int row);
ClickResult RegClick(const CellGrid& grid, int column, int row);
ClickResult MainClick(const CellGrid& grid, int column, int row);
ClickResult BinClick(const CellGrid& grid, int column, int row);

// --- Enter ------------------------------------------------------------------------------------

// What Enter in a pane's editor did: the editor closes, or stays open with the caret placed
// (a rejected instruction line), or nothing happened (a mode the pane does not handle).
struct EnterResult {
    bool Close = false;
    int Caret = -1;      // >= 0: leave the editor open, caret in front of this character
    std::string Message; // why a line was rejected, for the window's message line
};

EnterResult ListEnter(std::string_view text);
EnterResult RegEnter(std::string_view text);
EnterResult MainEnter(std::string_view text);
EnterResult BinEnter(std::string_view text, int rows);

// Page for the short jumps of a line typed over address target: the page of the address the
// processor's program counter holds once it has read the instruction (the next internal-ROM
// word, or the address after the two bytes of a short jump in external memory).
uint16_t PatchPage(uint16_t target);

// Why the one-line assembler rejected line (its result r): the mnemonic it did not know, or the
// character at which it stopped with the operands that mnemonic takes.
std::string AsmRejectMessage(std::string_view line, const AsmResult& r);

// Stores the bytes of an assembled line at target: the first count bytes of an internal-ROM
// word, or consecutive external-memory bytes.
void PatchCode(uint16_t target, const uint8_t* bytes, int count);

// --- Digit fields -----------------------------------------------------------------------------

struct FilteredText {
    std::string Text;
    int SelStart;
    int SelLength;
};

// Deletes every character whose digit value is not below base, keeping the selection in step.
FilteredText FilterDigits(std::string_view text, int base, int selStart, int selLength);

// Value of a digit text in base 16 or 10: blanks around it ignored, empty reads 0, the digits up
// to the first other character count, and a value beyond the signed 32-bit range reads as the
// largest one (0x7FFFFFFF).
int32_t DigitTextValue(std::string_view text, int base);

// --- Scrolling keys ---------------------------------------------------------------------------

bool IsScrollKey(int key);
// The scroll position a key gives from position, clamped to min..max.
int ScrollKeyPosition(int key, int position, int min, int max, int largeChange);
