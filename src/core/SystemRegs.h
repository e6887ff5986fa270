// The special registers: their names, widths and masks, the captions of the debug window's
// registers pane, and the codes by which pst and gst name them. One row per register, read by
// execution (pst, gst), the registers pane, the headless runner's --set and --dump, the
// assembler and the disassembler.
#pragma once

#include "core/Cpu.h"

#include <array>
#include <cstdint>
#include <string_view>

// In the order of the registers pane; F, shown there as flags, comes last.
enum class SpecialReg : uint8_t { PC, LA, KC, KI, IE, DS, AS, PD, PE, S4, S5, S6, S7, S8, TM, F };
inline constexpr int kSpecialRegCount = 16;

struct SpecialRegInfo {
    SpecialReg Reg;
    std::string_view Name;    // as the registers pane, --set and --dump write it
    std::string_view Caption; // label of the registers pane
    uint8_t Width;            // bits: 16, 8 or 7 (bit 7 always clear)
    uint16_t Mask;
    uint16_t CpuState::*Word; // the 16-bit registers
    uint8_t CpuState::*Byte;  // the others
    // pst and gst. AsmName is the operand name ("ky" is KC for pst and KI for gst). The codes
    // say where the instruction names the register, -1 where it cannot:
    //   PutImm8: pst sr,n with b0 = 0x88 + code (0-3), n the whole of b1;
    //   PutImm7: pst sr,n with b0 = 0x8C + (code >> 1) and b1 bit 7 = code & 1, n in bits 6-0;
    //   PutReg / GetReg: pst sr,r / gst r,sr with b0 = 0x98 + code (0-5).
    std::string_view AsmName;
    int8_t PutImm8, PutImm7, PutReg, GetReg;
};

// clang-format off
inline constexpr std::array<SpecialRegInfo, kSpecialRegCount> kSpecialRegTable = {{
    //                  name  caption width mask  word           byte            asm  imm8 imm7 put  get
    {SpecialReg::PC,    "PC", "PC:", 16, 0xFFFF, &CpuState::PC, nullptr,        "",   -1,  -1,  -1,  -1},
    {SpecialReg::LA,    "LA", "LA:", 16, 0xFFFF, &CpuState::LA, nullptr,        "",   -1,  -1,  -1,  -1},
    {SpecialReg::KC,    "KC", "KC:",  8, 0xFF,   nullptr,       &CpuState::KC,  "ky",  2,  -1,   2,  -1},
    {SpecialReg::KI,    "KI", "KI:",  8, 0xFF,   nullptr,       &CpuState::KI,  "ky", -1,  -1,  -1,   2},
    {SpecialReg::IE,    "IE", "IE:",  8, 0xFF,   nullptr,       &CpuState::IE,  "ie",  0,  -1,   0,   0},
    {SpecialReg::DS,    "DS", "DS:",  8, 0xFF,   nullptr,       &CpuState::DS,  "ds",  1,  -1,   1,   1},
    {SpecialReg::AS,    "AS", "AS:",  7, 0x7F,   nullptr,       &CpuState::AS,  "as", -1,   3,   5,   5},
    {SpecialReg::PD,    "PD", "PD:",  8, 0xFF,   nullptr,       &CpuState::PD,  "pd",  3,  -1,   3,   3},
    {SpecialReg::PE,    "PE", "PE:",  7, 0x7F,   nullptr,       &CpuState::PE,  "pe", -1,   7,  -1,  -1},
    {SpecialReg::S4,    "S4", "S4:",  7, 0x7F,   nullptr,       &CpuState::S4,  "s4", -1,   0,  -1,  -1},
    {SpecialReg::S5,    "S5", "S5:",  7, 0x7F,   nullptr,       &CpuState::S5,  "s5", -1,   2,  -1,  -1},
    {SpecialReg::S6,    "S6", "S6:",  7, 0x7F,   nullptr,       &CpuState::S6,  "s6", -1,   4,  -1,  -1},
    {SpecialReg::S7,    "S7", "S7:",  7, 0x7F,   nullptr,       &CpuState::S7,  "s7", -1,   6,  -1,  -1},
    {SpecialReg::S8,    "S8", "S8:",  7, 0x7F,   nullptr,       &CpuState::S8,  "s8", -1,   1,  -1,  -1},
    {SpecialReg::TM,    "TM", "TM:",  7, 0x7F,   nullptr,       &CpuState::TM,  "tm", -1,   5,  -1,  -1},
    {SpecialReg::F,     "F",  "F:",   8, 0xFF,   nullptr,       &CpuState::F,   "f",  -1,  -1,   4,   4},
}};
// clang-format on

constexpr const SpecialRegInfo& SpecialRegOf(SpecialReg reg) {
    return kSpecialRegTable[static_cast<int>(reg)];
}

constexpr bool SpecialRegTableInOrder() {
    for (int i = 0; i < kSpecialRegCount; ++i) {
        const SpecialRegInfo& r = kSpecialRegTable[i];
        if (static_cast<int>(r.Reg) != i || (r.Word == nullptr) == (r.Byte == nullptr))
            return false;
        if (r.Mask != (1u << r.Width) - 1) return false;
    }
    return true;
}
static_assert(SpecialRegTableInOrder(), "one row per SpecialReg, in its order, one field each");

// The pst or gst code of a register (see SpecialRegInfo), -1 where it has none; and the index in
// the table of the register a code names, -1 where none is. (Indices, not pointers: compilers
// with sanitizers cannot compare pointers in constant expressions.)
enum class SpecialCode { PutImm8, PutImm7, PutReg, GetReg };
constexpr int SpecialCodeOf(const SpecialRegInfo& r, SpecialCode kind) {
    switch (kind) {
    case SpecialCode::PutImm8: return r.PutImm8;
    case SpecialCode::PutImm7: return r.PutImm7;
    case SpecialCode::PutReg: return r.PutReg;
    case SpecialCode::GetReg: return r.GetReg;
    }
    return -1;
}
constexpr int SpecialRegByCode(SpecialCode kind, int code) {
    for (int i = 0; i < kSpecialRegCount; ++i)
        if (SpecialCodeOf(kSpecialRegTable[i], kind) == code) return i;
    return -1;
}

// Value of a special register, and a plain store masked to its width (16 bits or the low byte),
// as the debug window and --set make it: no side effect of pst (see WriteSpecial).
inline uint16_t SpecialRegValue(SpecialReg reg) {
    const SpecialRegInfo& r = SpecialRegOf(reg);
    return static_cast<uint16_t>((r.Word ? g_cpu.*r.Word : g_cpu.*r.Byte) & r.Mask);
}
inline void SpecialRegStore(SpecialReg reg, uint32_t value) {
    const SpecialRegInfo& r = SpecialRegOf(reg);
    if (r.Word)
        g_cpu.*r.Word = static_cast<uint16_t>(value & r.Mask);
    else
        g_cpu.*r.Byte = static_cast<uint8_t>(value & r.Mask);
}
