// The disassembler: one instruction of the processor as a mnemonic and an operand text, and the
// code listing of the debug window built from it. Bytes are consumed through the same
// FetchInstruction/NextByte as execution, so a listing walks code exactly as the processor does.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Fetch.h"

// One record of the disassembly table: mnemonic length (1-6), the lower-case characters (unused
// positions 0) and the output format (0-40).
struct DisRecord {
    uint8_t Length;
    char Name[6];
    uint8_t Format;
};
static_assert(sizeof(DisRecord) == 8);

inline constexpr int kDisFormats = 41;

namespace dis_detail {

constexpr std::string_view kAlu[8] = {"na", "xr", "sbb", "sb", "an", "or", "adb", "ad"};
constexpr std::string_view kSingleFirst[8] = {"rod", "did", "tcmpb", "tcmp",
                                              "byd", "bnd", "tmtb",  "tbiu"};
constexpr std::string_view kSingleSecond[8] = {"rou", "diu", "cmpb", "cmp",
                                               "byu", "bnu", "mtb",  "biu"};

constexpr DisRecord Rec(int format, std::string_view a, std::string_view b = {},
                        std::string_view c = {}) {
    DisRecord r{0, {0, 0, 0, 0, 0, 0}, static_cast<uint8_t>(format)};
    for (std::string_view part : {a, b, c})
        for (char ch : part) r.Name[r.Length++] = ch;
    return r;
}

constexpr DisRecord AppendM(DisRecord r, int format) {
    r.Name[r.Length++] = 'm';
    r.Format = static_cast<uint8_t>(format);
    return r;
}

// Record of opcode byte b0 (0x00-0x9F) and column col (byte 1 bits 7-6).
constexpr DisRecord LowRecord(int b0, int col) {
    const int op = b0 & 7;
    const bool test = col < 2;        // columns 00 and 01 are the flag-only forms in most rows
    const int lu = (col & 1) ? 6 : 5; // format of the lower-first / upper-first pair
    if (b0 <= 0x07) return test ? Rec(lu, "t", kAlu[op]) : Rec(lu, kAlu[op]);
    if (b0 <= 0x0F) return test ? Rec(10, "t", kAlu[op]) : Rec(10, kAlu[op]);
    if (b0 <= 0x17) {
        const int f = (col & 1) ? 28 : 27;
        return test ? Rec(f, "t", kAlu[op], "m") : Rec(f, kAlu[op], "m");
    }
    switch (b0) {
    case 0x18: return Rec(8, test ? "pla" : "ijmp");
    case 0x19: return Rec(col == 0 ? 5 : col == 1 ? 6 : 11, "bit");
    case 0x1A:
    case 0x1B:
    case 0x1E:
    case 0x1F: return test ? Rec(29, "t", kAlu[op], "m") : Rec(29, kAlu[op], "m");
    case 0x1C: return Rec(7, test ? "sdn" : "sup");
    case 0x1D: {
        constexpr std::string_view names[4] = {"[1D00]", "[1D40]", "[1D80]", "[1DC0]"};
        return Rec(7, names[col]);
    }
    case 0x20: return Rec(test ? 9 : 11, "ld");
    case 0x21: return Rec(lu, test ? "xc" : "ld");
    case 0x22:
    case 0x23:
    case 0x26:
    case 0x27: return test ? Rec(lu, "t", kAlu[op], "c") : Rec(lu, kAlu[op], "c");
    case 0x24: return Rec(test ? lu : (col == 2 ? 3 : 4), "swp");
    case 0x25: return Rec(lu, test ? "xcs" : "lds");
    case 0x28: {
        constexpr std::string_view n[4] = {"xcl", "xch", "ldl", "ldh"};
        return Rec(lu, n[col]);
    }
    case 0x29: {
        constexpr std::string_view n[4] = {"xchs", "xcls", "ldhs", "ldls"};
        return Rec(lu, n[col]);
    }
    case 0x2A:
    case 0x2B:
    case 0x2E:
    case 0x2F: return test ? Rec(10, "t", kAlu[op], "c") : Rec(10, kAlu[op], "c");
    case 0x2C: {
        constexpr std::string_view n[4] = {"xcls", "xchs", "ldls", "ldhs"};
        return Rec(lu, n[col]);
    }
    case 0x2D: {
        constexpr std::string_view n[4] = {"xch", "xcl", "ldh", "ldl"};
        return Rec(lu, n[col]);
    }
    default: break;
    }
    if (b0 <= 0x3F) {
        // The multi-byte forms of the row 0x10 below, with their range formats.
        const DisRecord base = LowRecord(b0 - 0x10, col);
        int f = base.Format;
        switch (f) {
        case 5: f = 27; break;
        case 6: f = 28; break;
        case 3: f = 25; break;
        case 4: f = 26; break;
        case 9: f = 30; break;
        case 10:
        case 11: f = 29; break;
        default: break;
        }
        return AppendM(base, f);
    }
    if (b0 <= 0x47 || (b0 >= 0x50 && b0 <= 0x57))
        return test ? Rec(12, "t", kAlu[op]) : Rec(12, kAlu[op]);
    if (b0 <= 0x5F) return Rec(13, kAlu[op]);
    if (b0 <= 0x67) {
        const int f = (op == 0 || op == 1 || op == 4 || op == 5) ? 2 : 1;
        return Rec(f, test ? kSingleFirst[op] : kSingleSecond[op]);
    }
    if (b0 <= 0x6F) return test ? Rec(15, "st") : Rec(16, "ld");
    if (b0 <= 0x77) {
        const int f = (col & 1) ? 26 : 25;
        return Rec(f, test ? kSingleFirst[op] : kSingleSecond[op], "m");
    }
    if (b0 <= 0x7F) {
        constexpr int f[4] = {17, 18, 19, 20};
        return Rec(f[col], test ? "stm" : "ldm");
    }
    if (b0 <= 0x87) return test ? Rec(21, "st") : Rec(22, "ld");
    if (b0 <= 0x8B) return Rec(38, "pst");
    if (b0 <= 0x8F) return Rec(37, "pst");
    if (b0 <= 0x97) return test ? Rec(23, "stm") : Rec(24, "ldm");
    if (b0 <= 0x9D) return test ? Rec(39, "pst") : Rec(40, "gst");
    return Rec(2, test ? "bdn" : "bup"); // 0x9E, 0x9F
}

// Record of opcode byte b0 from 0xA0 to 0xFF.
constexpr DisRecord HighRecord(int b0) {
    const bool always = (b0 & 0x0F) == 0x07;
    switch (b0 >> 4) {
    case 0xA: return b0 == 0xAF ? Rec(0, "off") : Rec(always ? 31 : 34, "jmp");
    case 0xB: return b0 == 0xBF ? Rec(0, "wai") : Rec(always ? 31 : 34, "cal");
    case 0xC: return b0 == 0xCF ? Rec(0, "rti") : Rec(always ? 0 : 33, "rtn");
    case 0xD: return b0 <= 0xD7 ? Rec(32, "ldw") : Rec(14, b0 <= 0xDB ? "sbw" : "adw");
    case 0xE: return b0 == 0xEF ? Rec(0, "nop") : Rec(always ? 35 : 36, "sjmp");
    default: return b0 == 0xFF ? Rec(0, "trp") : Rec(always ? 35 : 36, "scal");
    }
}

constexpr std::array<DisRecord, kOpcodeIndices> BuildTable() {
    std::array<DisRecord, kOpcodeIndices> t{};
    for (int b0 = 0; b0 < 0xA0; ++b0)
        for (int col = 0; col < 4; ++col) t[b0 * 4 + col] = LowRecord(b0, col);
    for (int b0 = 0xA0; b0 <= 0xFF; ++b0) t[b0 + 480] = HighRecord(b0);
    return t;
}

} // namespace dis_detail

// The disassembly table, indexed by the opcode index.
inline constexpr std::array<DisRecord, kOpcodeIndices> kDisTable = dis_detail::BuildTable();
static_assert(kDisTable.size() == 736);
static_assert(kDisTable[OpcodeIndex(0x1D, 0xC0)].Name[5] == ']');

// Mnemonic of an opcode index as the table gives it (empty for an index out of range).
std::string_view DisMnemonic(int index);

// Number of bytes an instruction of this format occupies in external memory (1, 2 or 3).
int DisFormatBytes(int format);

// Operand text of an opcode index. Call right after FetchInstruction has loaded the
// instruction; consumes the instruction's bytes through NextByte, so PC moves to the next
// instruction.
std::string DisOperands(int index);

// Mnemonic as the listing shows it: "stlm" for the stm forms at 0x78-0x7F with byte 1 bit 7
// clear when bit 3 of byte 2 in the instruction buffer is set; otherwise DisMnemonic. Call after
// FetchInstruction.
std::string_view DisListingMnemonic(int index);

// Keeps PC across a listing walk: the walk moves PC, the guard puts it back.
class PcGuard {
public:
    PcGuard() : saved_(g_cpu.PC) {}
    ~PcGuard() { g_cpu.PC = saved_; }
    PcGuard(const PcGuard&) = delete;
    PcGuard& operator=(const PcGuard&) = delete;

private:
    uint16_t saved_;
};

// Listing row text of the instruction at the current PC: the address as four upper-case hex
// digits and ":", the mnemonic from column 6 and the operand text from column 12. Moves PC to
// the next instruction.
std::string DisRow();

// Up to count rows from address from, as the debug pane draws them: the walk stops after the
// row at which the address wraps past 0xFFFF. PC is unchanged afterwards.
std::vector<std::string> DisListing(uint16_t from, int count);
