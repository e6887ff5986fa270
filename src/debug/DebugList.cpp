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
        d.Cells.push_back({0, r, text});
        d.Cells.push_back({6, r, std::string(in.Mnemonic())});
        d.Cells.push_back({12, r, DisOperands(in)});
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
        return {true, -1};
    case kEditInstruction: {
        const std::string_view line = text.substr(0, kAsmLineMax);
        const AsmResult r = AssembleLine(line, PatchPage(g_debug.EditTarget));
        if (!r.Ok()) {
            const int caret = r.AsmPos - 1;
            const int length = static_cast<int>(line.size());
            return {false, caret < length ? caret : length};
        }
        PatchCode(g_debug.EditTarget, r.AsmBytes.data(), r.AsmCount);
        return {true, -1};
    }
    default: return {};
    }
}
