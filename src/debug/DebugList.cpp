// The debug window's disassembly pane: the listing from ListTop, the row addresses a click
// walks to, and code patching through the one-line assembler.
#include "core/Cpu.h"
#include "core/Decode.h"
#include "debug/Asem.h"
#include "debug/DebugPanes.h"
#include "debug/Dis.h"
#include "host/Rewind.h"

#include <cstdio>
#include <string>

PaneDrawing ListDrawing(int rows) {
    PaneDrawing d;
    uint16_t address = g_debug.ListTop;
    int covered = 0;
    for (int r = 0; r < rows; ++r) {
        const DecodedInstruction in = Decode(address);
        char text[8];
        std::snprintf(text, sizeof text, "%04X:", static_cast<unsigned>(address));
        const CellShade shade = address == g_cpu.PC ? CellShade::PcRow : CellShade::Pane;
        d.Cells.push_back({0, r, text, shade});
        d.Cells.push_back({6, r, std::string(in.Mnemonic()), shade});
        d.Cells.push_back({12, r, DisOperands(in), shade});
        address = in.Next;
        // Addresses covered since ListTop: negative once the rows have wrapped past 0xFFFF.
        covered = static_cast<int>(address) - static_cast<int>(g_debug.ListTop);
        if (covered < 0) break;
    }
    d.Scroll = {0, 0xFFFF, g_debug.ListTop, covered > 0 ? covered : 0};
    return d;
}

int ListRowAddress(int row) {
    uint16_t address = g_debug.ListTop;
    for (int i = 0; i < row; ++i) {
        address = Decode(address).Next;
        if (address < g_debug.ListTop) return -1;
    }
    return address;
}

ClickResult ListClick(const CellGrid& grid, int c, int r) {
    ClickResult res;
    if (c < 0 || r < 0 || r >= grid.Rows) return res;
    if (r == 0 && c <= 3) {
        g_debug.EditMode = kEditListTop;
        res.OpenEditor = true;
        res.Width = 4;
        return res;
    }
    if (c < 6 || c >= grid.Columns) return res;
    const int address = ListRowAddress(r);
    if (address < 0) return res;
    g_debug.EditTarget = static_cast<uint16_t>(address);
    g_debug.EditMode = kEditInstruction;
    res.OpenEditor = true;
    res.Column = 6;
    res.Row = r;
    res.Width = grid.Columns - 6;
    res.UpperCase = false;
    return res;
}

std::string AsmRejectMessage(std::string_view line, const AsmResult& r) {
    if (r.Ok()) return {};
    size_t first = 0;
    while (first < line.size() && (line[first] == ' ' || line[first] == '\t')) ++first;
    int length = 0;
    const int m = AsmMatchMnemonic(line.substr(first), length);
    const size_t at = static_cast<size_t>(r.AsmPos); // 1-based
    if (m < 0 || at <= first + static_cast<size_t>(length))
        return first == line.size() ? "no instruction" : "unknown instruction";
    const AsmMnemonic& mnemonic = AsmMnemonics()[static_cast<size_t>(m)];
    std::string where = "at the end of the line";
    if (at <= line.size())
        where = "at '" + std::string(1, line[at - 1]) + "' (column " + std::to_string(at) + ")";
    return "cannot assemble '" + std::string(mnemonic.Name) + "': stopped " + where +
           "; expected " + std::string(AsmFormSyntax(mnemonic.Form));
}

uint16_t PatchPage(uint16_t target) {
    return static_cast<uint16_t>(target < kFirstExternalPc ? target + 1 : target + 2);
}

void PatchCode(uint16_t target, const uint8_t* bytes, int count) {
    for (int i = 0; i < count && i < 3; ++i) {
        if (target < kFirstExternalPc)
            g_cpu.Rom[target * 3 + i] = bytes[i];
        else
            g_cpu.Ext[static_cast<uint16_t>(target + i) & (kExtBytes - 1)] = bytes[i];
    }
    if (count > 0) RewindCodeChanged(); // the history cannot replay the old code
}

EnterResult ListEnter(std::string_view text) {
    switch (g_debug.EditMode) {
    case kEditListTop:
        g_debug.ListTop = static_cast<uint16_t>(DigitTextValue(text, 16));
        return {true, -1, {}};
    case kEditInstruction: {
        const std::string_view line = text.substr(0, kAsmLineMax);
        const AsmResult r = AssembleLine(line, PatchPage(g_debug.EditTarget));
        if (!r.Ok()) {
            const int caret = r.AsmPos - 1;
            const int length = static_cast<int>(line.size());
            return {false, caret < length ? caret : length, AsmRejectMessage(line, r)};
        }
        PatchCode(g_debug.EditTarget, r.AsmBytes.data(), r.AsmCount);
        return {true, -1, {}};
    }
    default: return {};
    }
}
