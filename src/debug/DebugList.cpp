// The debug window's disassembly pane: the listing from ListTop, the row addresses a click
// walks to, and code patching through the one-line assembler.
#include "core/Cpu.h"
#include "core/Fetch.h"
#include "debug/Asem.h"
#include "debug/DebugPanes.h"
#include "debug/Dis.h"
#include "host/Rewind.h"

#include <cstdio>
#include <string>

namespace {
// Addresses the listing has covered since ListTop: negative once it has wrapped past 0xFFFF.
int Covered() {
    return static_cast<int>(g_cpu.PC) - static_cast<int>(g_debug.ListTop);
}
} // namespace

PaneDrawing ListDrawing(int rows) {
    PaneDrawing d;
    PcGuard guard;
    g_cpu.PC = g_debug.ListTop;
    int covered = 0;
    for (int r = 0; r < rows; ++r) {
        char address[8];
        std::snprintf(address, sizeof address, "%04X:", static_cast<unsigned>(g_cpu.PC));
        d.Cells.push_back({0, r, address});
        const int index = FetchInstruction();
        d.Cells.push_back({6, r, std::string(DisListingMnemonic(index))});
        d.Cells.push_back({12, r, DisOperands(index)});
        covered = Covered();
        if (covered < 0) break;
    }
    d.Scroll = {0, 0xFFFF, g_debug.ListTop, covered > 0 ? covered : 0};
    return d;
}

int ListRowAddress(int row) {
    PcGuard guard;
    g_cpu.PC = g_debug.ListTop;
    for (int i = 0; i < row; ++i) {
        DisOperands(FetchInstruction());
        if (Covered() < 0) return -1;
    }
    return g_cpu.PC;
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
        AsmLine.assign(text.substr(0, kAsmLineMax));
        AsmPage = PatchPage(g_debug.EditTarget);
        AssembleLine();
        if (AsmPos != 0) {
            const int caret = AsmPos - 1;
            const int length = static_cast<int>(AsmLine.size());
            return {false, caret < length ? caret : length};
        }
        PatchCode(g_debug.EditTarget, AsmBytes, AsmCount);
        return {true, -1};
    }
    default: return {};
    }
}
