// Fuzz target for the disassembler listing. The input gives a start address and a row count
// (bytes 0-3, the count signed) and, tiled, the internal ROM and external memory (the rest).
// Checked: the listing has at most the rows asked for, and no more than it takes to wrap past
// 0xFFFF; every row starts with its address, the first at the start address, each later one
// where the walk of the one before ended; PC and both memories are unchanged afterwards.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "debug/Dis.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

void ReportWarning(std::string_view) {}

namespace {
[[noreturn]] void Broken(const char* what, const std::string& row) {
    std::fprintf(stderr, "invariant broken: %s (%s)\n", what, row.c_str());
    std::abort();
}

// DST filled with the N bytes at DATA, repeated.
void Fill(uint8_t* dst, size_t size, const uint8_t* data, size_t n) {
    for (size_t i = 0; i < size; i += n) std::memcpy(dst + i, data, std::min(n, size - i));
}

CpuState g_before;

int HexValue(const std::string& s) {
    int v = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = s[i];
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kHeader = 4;
    if (size < kHeader + 1) return 0;
    ResetMachine();
    CpuState& c = g_cpu;
    const uint16_t from = static_cast<uint16_t>(data[0] << 8 | data[1]);
    const int count = static_cast<int16_t>(data[2] << 8 | data[3]) % 1024; // -1023 .. 1023
    Fill(c.Rom, sizeof c.Rom, data + kHeader, size - kHeader);
    Fill(c.Ext, sizeof c.Ext, data + kHeader + (size - kHeader) / 2,
         size - kHeader - (size - kHeader) / 2);
    c.PC = static_cast<uint16_t>(size * 7919);
    const uint16_t pc = c.PC;
    std::memcpy(&g_before, &c, sizeof c);

    const std::vector<std::string> rows = DisListing(from, count);

    if (c.PC != pc) Broken("the listing moved PC", "");
    if (std::memcmp(g_before.Rom, c.Rom, sizeof c.Rom) != 0 ||
        std::memcmp(g_before.Ext, c.Ext, sizeof c.Ext) != 0 ||
        std::memcmp(g_before.R, c.R, sizeof c.R) != 0 ||
        std::memcmp(g_before.Ram, c.Ram, sizeof c.Ram) != 0)
        Broken("the listing changed memory or registers", "");
    if (static_cast<int>(rows.size()) > (count > 0 ? count : 0)) Broken("more rows than asked", "");
    // Walk the same instructions again one by one: each row must be the one at the address the
    // walk has reached, and the listing may stop early only after wrapping past 0xFFFF.
    c.PC = from;
    bool wrapped = false;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string& row = rows[i];
        if (row.size() < 6 || row[4] != ':' || HexValue(row) != c.PC)
            Broken("a row without its address", row);
        if (wrapped) Broken("rows after the wrap past 0xFFFF", row);
        if (DisRow() != row) Broken("a row that the walk does not give again", row);
        wrapped = c.PC < from;
    }
    if (static_cast<int>(rows.size()) < count && !wrapped)
        Broken("the listing stopped early without wrapping", rows.empty() ? "" : rows.back());
    c.PC = pc;
    return 0;
}
