// The debug window's disassembly pane: the listing from ListTop, the row addresses a click
// walks to, and code patching through the one-line assembler.
#include "core/Cpu.h"
#include "core/Decode.h"
#include "debug/Asem.h"
#include "debug/Break.h"
#include "debug/DebugPanes.h"
#include "debug/Dis.h"
#include "debug/Symbols.h"
#include "host/Rewind.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// One row of the listing: an instruction, or the label of the instruction row after it.
struct ListRow {
    uint16_t Address;
    bool Label;
};

// The rows from ListTop: the first is always the instruction at ListTop (so after a stop it is the
// one about to execute); every later instruction whose address has a name gets its label row
// first. Stops after the instruction row at which the addresses wrap past 0xFFFF; covered is the
// number of addresses the rows cover (negative after a wrap).
std::vector<ListRow> ListRows(int rows, int* covered = nullptr) {
    std::vector<ListRow> out;
    uint16_t address = g_debug.ListTop;
    int d = 0;
    while (static_cast<int>(out.size()) < rows) {
        if (!out.empty() && g_symbols.NameAt(address)) {
            out.push_back({address, true});
            if (static_cast<int>(out.size()) >= rows) break;
        }
        out.push_back({address, false});
        address = Decode(address).Next;
        d = static_cast<int>(address) - static_cast<int>(g_debug.ListTop);
        if (d < 0) break;
    }
    if (covered) *covered = d;
    return out;
}

CellShade AddressShade(uint16_t address) {
    const int id = BreakAt(address);
    if (id == 0) return address == g_cpu.PC ? CellShade::PcRow : CellShade::Pane;
    const Breakpoint* bp = FindBreakpoint(id);
    return bp && bp->Enabled ? CellShade::Breakpoint : CellShade::BreakpointOff;
}

} // namespace

PaneDrawing ListDrawing(int rows) {
    PaneDrawing d;
    int covered = 0;
    const std::vector<ListRow> list = ListRows(rows, &covered);
    const AddressNamer namer = g_symbols.ExactNamer();
    const AddressNamer* named = g_symbols.Empty() ? nullptr : &namer;
    for (int r = 0; r < static_cast<int>(list.size()); ++r) {
        const uint16_t address = list[static_cast<size_t>(r)].Address;
        if (list[static_cast<size_t>(r)].Label) {
            d.Cells.push_back({0, r, *g_symbols.NameAt(address) + ":"});
            continue;
        }
        const DecodedInstruction in = Decode(address);
        char text[8];
        std::snprintf(text, sizeof text, "%04X:", static_cast<unsigned>(address));
        const CellShade row = address == g_cpu.PC ? CellShade::PcRow : CellShade::Pane;
        d.Cells.push_back({0, r, text, AddressShade(address)});
        d.Cells.push_back({6, r, std::string(in.Mnemonic()), row});
        d.Cells.push_back({12, r, DisOperands(in, named), row});
    }
    d.Scroll = {0, 0xFFFF, g_debug.ListTop, covered > 0 ? covered : 0};
    return d;
}

int ListRowAddress(int row) {
    if (row < 0) return -1;
    const std::vector<ListRow> list = ListRows(row + 1);
    if (static_cast<int>(list.size()) <= row || list[static_cast<size_t>(row)].Label) return -1;
    return list[static_cast<size_t>(row)].Address;
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
    if (c < 6) {
        // The address and the two cells after it: a breakpoint there on or off.
        const int address = ListRowAddress(r);
        if (address < 0) return res;
        BreakToggle(static_cast<uint16_t>(address));
        res.Redraw = true;
        return res;
    }
    if (c >= grid.Columns) return res;
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
        const AsmResult r = AssembleLineWithSymbols(line, PatchPage(g_debug.EditTarget), g_symbols);
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
