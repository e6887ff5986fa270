// The debug window's data panes (registers, main register file, hex editor), the cell grid,
// the digit fields and the scrolling keys.
#include "debug/DebugPanes.h"

#include "core/Cpu.h"
#include "core/SystemRegs.h"
#include "debug/Break.h"
#include "host/Rewind.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

DebugState g_debug;
DebugSnapshot g_debugBefore;

static_assert(sizeof g_debugBefore.R == kRegBytes && sizeof g_debugBefore.Ram == kRamBytes);
static_assert(std::size(DebugSnapshot{}.Regs) == kRegEntries);

// --- Character-cell grid ----------------------------------------------------------------------

CellGrid MakeCellGrid(int cellWidth, int cellHeight, int boxWidth, int boxHeight) {
    CellGrid g;
    g.CellWidth = std::max(cellWidth, 1);
    g.CellHeight = std::max(cellHeight, 1);
    g.Columns = std::max(boxWidth, 0) / g.CellWidth;
    g.Rows = std::max(boxHeight, 0) / g.CellHeight;
    return g;
}

int CellColumn(const CellGrid& grid, int x) {
    return x < 0 ? -1 : x / grid.CellWidth;
}

int CellRow(const CellGrid& grid, int y) {
    return y < 0 ? -1 : y / grid.CellHeight;
}

std::vector<std::string> PaneLines(const PaneDrawing& drawing, int rows) {
    std::vector<std::string> lines(static_cast<size_t>(std::max(rows, 0)));
    for (const PaneCell& cell : drawing.Cells) {
        if (cell.Row < 0 || cell.Row >= rows || cell.Text.empty()) continue;
        std::string& line = lines[static_cast<size_t>(cell.Row)];
        const size_t end = static_cast<size_t>(cell.Column) + cell.Text.size();
        if (line.size() < end) line.resize(end, ' ');
        line.replace(static_cast<size_t>(cell.Column), cell.Text.size(), cell.Text);
    }
    return lines;
}

namespace {

std::string Hex(unsigned value, int digits) {
    char buf[16]; // up to 8 digits of a 32-bit value, and the terminator
    std::snprintf(buf, sizeof buf, "%0*X", digits, value);
    return buf;
}

bool OnDigitCell(int c) {
    return c % 3 < 2;
}

} // namespace

// --- Registers pane ---------------------------------------------------------------------------

const FlagEntry kFlagTable[kFlagEntries] = {
    {"NC", "C ", 3, 0, kFlagC}, {"NV", "V ", 5, 0, kFlagV},  {"NUZ", "UZ ", 7, 0, kFlagUZ},
    {"NH", "H ", 3, 1, kFlagH}, {"NZ ", "Z ", 5, 1, kFlagZ}, {"NLZ", "LZ ", 7, 1, kFlagLZ},
};

static_assert(kRegEntries < kSpecialRegCount && kSpecialRegTable[kRegEntries].Reg == SpecialReg::F);

namespace {
const SpecialRegInfo& RegInfo(int index) {
    return kSpecialRegTable[static_cast<size_t>(index)];
}
// Hex digits of a register row: four for the 16-bit registers, two for the others.
int RegDigits(int index) {
    return RegInfo(index).Width > 8 ? 4 : 2;
}
} // namespace

uint16_t RegValue(int index) {
    if (index < 0 || index >= kRegEntries) return 0;
    return SpecialRegValue(RegInfo(index).Reg);
}

void RegStore(int index, uint32_t value) {
    if (index < 0 || index >= kRegEntries) return;
    SpecialRegStore(RegInfo(index).Reg, value);
    RewindMark(); // an edit from outside the steps: the step history keeps an image of it
}

// --- Changes ----------------------------------------------------------------------------------

void DebugTakeSnapshot() {
    DebugSnapshot& s = g_debugBefore;
    for (int k = 0; k < kRegEntries; ++k) s.Regs[k] = RegValue(k);
    s.F = g_cpu.F;
    std::copy(std::begin(g_cpu.R), std::end(g_cpu.R), s.R);
    std::copy(std::begin(g_cpu.Ram), std::end(g_cpu.Ram), s.Ram);
    s.Valid = true;
}

void DebugDropSnapshot() {
    g_debugBefore.Valid = false;
}

// --- Stop line ------------------------------------------------------------------------------

std::string StopLine(std::string_view reason) {
    std::string line(reason);
    const std::string_view halt = HaltState();
    if (halt.empty()) return line;
    if (!line.empty()) line += "; ";
    return line +
           (halt == "off" ? "the processor is off" : "the processor is in " + std::string(halt));
}

int RegShownRows(int rows) {
    return std::clamp(rows, 0, 17);
}

PaneDrawing RegDrawing(int rows) {
    PaneDrawing d;
    const int shown = RegShownRows(rows);
    for (int r = 2; r < shown; ++r) {
        const int k = g_debug.RegTop + r - 2;
        if (k >= kRegEntries) break;
        const uint16_t value = RegValue(k);
        d.Cells.push_back({0, r, std::string(RegInfo(k).Caption)});
        d.Cells.push_back({4, r, Hex(value, RegDigits(k)), CellShade::Pane,
                           g_debugBefore.Valid && g_debugBefore.Regs[k] != value});
    }
    d.Cells.push_back({0, 0, "F:"});
    for (int i = 0; i < kFlagEntries; ++i) {
        const FlagEntry& e = kFlagTable[i];
        const bool set = (g_cpu.F & e.Mask) != 0;
        d.Cells.push_back({e.Column, e.Row, set ? e.SetText : e.ClearText,
                           i % 2 ? CellShade::Silver : CellShade::White,
                           g_debugBefore.Valid && ((g_debugBefore.F ^ g_cpu.F) & e.Mask) != 0});
    }
    d.Scroll = {0, std::max(17 - shown, 0), g_debug.RegTop, std::max(shown - 1, 1)};
    return d;
}

ClickResult RegClick(const CellGrid& grid, int c, int r) {
    ClickResult res;
    const int shown = RegShownRows(grid.Rows);
    if (c < 0 || r < 0) return res;
    if (r >= 2 && r < shown && c >= 4) {
        const int k = g_debug.RegTop + r - 2;
        if (k >= kRegEntries) return res;
        g_debug.EditTarget = static_cast<uint16_t>(k);
        const int digits = RegDigits(k);
        if (c >= digits + 4) return res;
        g_debug.EditMode = kEditRegister;
        res.OpenEditor = true;
        res.Column = 4;
        res.Row = r;
        res.Width = digits;
        return res;
    }
    if (r <= 1 && r < shown && c >= 3 && c <= 9) {
        g_debug.EditMode = kEditFlag;
        const int i = r * 3 + (c < 5 ? 0 : c < 7 ? 1 : 2);
        g_cpu.F ^= kFlagTable[i].Mask;
        RewindMark();
        res.Redraw = true;
    }
    return res;
}

EnterResult RegEnter(std::string_view text) {
    if (g_debug.EditMode != kEditRegister) return {};
    RegStore(g_debug.EditTarget, static_cast<uint32_t>(DigitTextValue(text, 16)));
    return {true, -1, {}};
}

// --- Main register file pane ------------------------------------------------------------------

namespace {
constexpr const char* kMainLabels[8] = {"R000..R015:", "R016..R031:", "R032..R047:", "R048..R063:",
                                        "R064..R079:", "R080..R095:", "R096..R111:", "R112..R127:"};

constexpr int MainByteColumn(int j) {
    return 12 + 3 * j + j / 4;
}
} // namespace

int MainShownRows(int rows) {
    return std::clamp(rows, 0, 8);
}

PaneDrawing MainDrawing(int rows) {
    PaneDrawing d;
    const int shown = MainShownRows(rows);
    for (int i = 0; i < shown; ++i) {
        const int label = g_debug.MainTop / 16 + i;
        if (label >= 8) break;
        d.Cells.push_back({0, i, kMainLabels[label]});
        for (int j = 0; j < 16; ++j) {
            const int n = label * 16 + j;
            d.Cells.push_back({MainByteColumn(j), i, Hex(g_cpu.R[n], 2), CellShade::Pane,
                               g_debugBefore.Valid && g_debugBefore.R[n] != g_cpu.R[n]});
        }
    }
    d.Scroll = {0, std::max(8 - shown, 0), g_debug.MainTop / 16, std::max(shown, 1)};
    return d;
}

ClickResult MainClick(const CellGrid& grid, int c, int r) {
    ClickResult res;
    if (r < 0 || r >= MainShownRows(grid.Rows)) return res;
    const int a = c - 12;
    if (a < 0 || a >= 51 || a % 13 >= 11 || !OnDigitCell(a % 13)) return res;
    const int j = (a - a / 13) / 3;
    const int target = 16 * r + j + g_debug.MainTop;
    if (target >= kRegBytes) return res;
    g_debug.EditTarget = static_cast<uint16_t>(target);
    g_debug.EditMode = kEditMainReg;
    res.OpenEditor = true;
    res.Column = MainByteColumn(j);
    res.Row = r;
    res.Width = 2;
    return res;
}

EnterResult MainEnter(std::string_view text) {
    if (g_debug.EditMode != kEditMainReg) return {};
    g_cpu.R[g_debug.EditTarget & (kRegBytes - 1)] = static_cast<uint8_t>(DigitTextValue(text, 16));
    RewindMark();
    return {true, -1, {}};
}

// --- Hex editor pane --------------------------------------------------------------------------

int BinShownRows(int rows) {
    int shown = 0;
    while (shown < rows && g_debug.HexTop + 16 * shown < kRamBytes) ++shown;
    return shown;
}

PaneDrawing BinDrawing(int rows) {
    PaneDrawing d;
    const int shown = BinShownRows(rows);
    for (int i = 0; i < shown; ++i) {
        const int a = g_debug.HexTop + 16 * i;
        d.Cells.push_back({0, i, Hex(static_cast<unsigned>(a), 4) + ":"});
        std::string chars(16, '.');
        bool changed[16] = {};
        for (int j = 0; j < 16; ++j) {
            const uint8_t b = MemRead(3, static_cast<uint16_t>(a + j));
            changed[j] = g_debugBefore.Valid && g_debugBefore.Ram[(a + j) & (kRamBytes - 1)] != b;
            d.Cells.push_back({6 + 3 * j, i, Hex(b, 2), CellShade::Pane, changed[j]});
            if (b >= 0x20 && b <= 0x7E) chars[static_cast<size_t>(j)] = static_cast<char>(b);
        }
        for (int j = 0; j < 16; ++j)
            d.Cells.push_back({54 + j, i, std::string(1, chars[static_cast<size_t>(j)]),
                               CellShade::Pane, changed[j]});
    }
    d.Scroll = {0, std::max(512 - std::max(rows, 0), 0), g_debug.HexTop / 16, std::max(rows, 1)};
    return d;
}

ClickResult BinClick(const CellGrid& grid, int c, int r) {
    ClickResult res;
    if (c < 0 || r < 0 || r >= BinShownRows(grid.Rows)) return res;
    if (r == 0 && c <= 3) {
        g_debug.EditMode = kEditHexTop;
        g_debug.EditTarget = 0;
        res.OpenEditor = true;
        res.Width = 4;
        return res;
    }
    int target = 0;
    if (c >= 6 && c <= 53 && OnDigitCell(c)) {
        const int j = (c - 6) / 3;
        target = 16 * r + j + g_debug.HexTop;
        if (target >= kRamBytes) return res;
        g_debug.EditMode = kEditHexByte;
        res.Column = 6 + 3 * j;
        res.Width = 2;
    } else if (c >= 54 && c <= 69) {
        target = 16 * r + c - 54 + g_debug.HexTop;
        if (target >= kRamBytes) return res;
        g_debug.EditMode = kEditHexChar;
        res.Column = c;
        res.Width = 1;
        res.UpperCase = false;
    } else {
        return res;
    }
    g_debug.EditTarget = static_cast<uint16_t>(target);
    res.OpenEditor = true;
    res.Row = r;
    return res;
}

EnterResult BinEnter(std::string_view text, int rows) {
    switch (g_debug.EditMode) {
    case kEditHexTop: {
        const int32_t v = DigitTextValue(text, 16) & 0xFFF0;
        if (v + 16 * rows < kRamBytes) g_debug.HexTop = static_cast<uint16_t>(v);
        return {true, -1, {}};
    }
    case kEditHexByte:
        MemWrite(3, g_debug.EditTarget, static_cast<uint8_t>(DigitTextValue(text, 16)));
        RewindMark();
        return {true, -1, {}};
    case kEditHexChar:
        // An empty character field has nothing to store: the byte keeps its value.
        if (!text.empty()) {
            MemWrite(3, g_debug.EditTarget, static_cast<uint8_t>(text[0]));
            RewindMark();
        }
        return {true, -1, {}};
    default: return {};
    }
}

// --- Digit fields -----------------------------------------------------------------------------

FilteredText FilterDigits(std::string_view text, int base, int selStart, int selLength) {
    FilteredText out{std::string(text), selStart, selLength};
    // From the end, so the positions of the characters still to be looked at stay put; the
    // selection is adjusted against the text as it stands at each deletion.
    for (int j = static_cast<int>(out.Text.size()); j >= 1; --j) {
        if (DigitValue(out.Text[static_cast<size_t>(j - 1)]) < base) continue;
        out.Text.erase(static_cast<size_t>(j - 1), 1);
        if (out.SelStart >= j)
            --out.SelStart;
        else if (out.SelStart + out.SelLength >= j)
            --out.SelLength;
    }
    return out;
}

int32_t DigitTextValue(std::string_view text, int base) {
    size_t first = 0, last = text.size();
    while (first < last && text[first] == ' ') ++first;
    while (last > first && text[last - 1] == ' ') --last;
    constexpr int64_t kLimit = 0x7FFFFFFF;
    int64_t value = 0;
    for (size_t i = first; i < last; ++i) {
        const int digit = DigitValue(text[i]);
        if (digit >= base) break;
        value = std::min(value * base + digit, kLimit);
    }
    return static_cast<int32_t>(value);
}

// --- Scrolling keys ---------------------------------------------------------------------------

bool IsScrollKey(int key) {
    switch (key) {
    case kKeyPageUp:
    case kKeyPageDown:
    case kKeyHome:
    case kKeyEnd:
    case kKeyUp:
    case kKeyDown: return true;
    default: return false;
    }
}

int ScrollKeyPosition(int key, int position, int min, int max, int largeChange) {
    int p = position;
    switch (key) {
    case kKeyPageUp: p = position - largeChange; break;
    case kKeyPageDown: p = position + largeChange; break;
    case kKeyHome: p = min; break;
    case kKeyEnd: p = max; break;
    case kKeyUp: p = position - 1; break;
    case kKeyDown: p = position + 1; break;
    default: break;
    }
    return std::clamp(p, min, std::max(min, max));
}
