// The names of the listing's notation, shared by the disassembler, which writes them, and the
// assembler, which reads them: pointers, conditions and the special registers of pst and gst.
#pragma once

#include "core/Instructions.h"
#include "core/SystemRegs.h"

#include <array>
#include <cstdint>
#include <string_view>

// Pointer registers as b0 & 3 names them (the transfers, sbw, adw), and as a pointer number
// 0-7 does (ldw, pla, ijmp).
inline constexpr std::array<std::string_view, 4> kShortPointerNames = {"ix", "iy", "iz", "sp"};
inline constexpr std::array<std::string_view, 8> kPointerNames = {"ix", "iy", "iz", "v3",
                                                                  "v2", "v1", "v0", "sp"};

// Conditions by the condition field b0 & 0x0F of the control transfers: bit 3 clear gives the
// negated ones. 7 and 15 are "always", which the notation writes as no condition.
inline constexpr std::array<std::string_view, 16> kConditionNames = {
    "nk", "nlz", "nuz", "nz", "nv", "nh", "nc", "", "k", "lz", "uz", "z", "v", "h", "c", ""};
constexpr bool IsAlwaysCondition(int field) {
    return (field & 7) == 7;
}

// The operand name of the special register a pst or gst code names, "*" where none is.
template <int N> constexpr std::array<std::string_view, N> SpecialOperandNames(SpecialCode kind) {
    std::array<std::string_view, N> names{};
    names.fill("*");
    for (const SpecialRegInfo& r : kSpecialRegTable) {
        const int code = SpecialCodeOf(r, kind);
        if (code >= 0 && code < N) names[code] = r.AsmName;
    }
    return names;
}
// By the fields that name them: pst sr,n with b0 & 3 (8-bit registers) or (b0 & 3) * 2 + (b1 >> 7)
// (7-bit registers); pst sr,r and gst r,sr with b0 & 7.
inline constexpr auto kPutImmNames = SpecialOperandNames<4>(SpecialCode::PutImm8);
inline constexpr auto kPutImm7Names = SpecialOperandNames<8>(SpecialCode::PutImm7);
inline constexpr auto kPutRegNames = SpecialOperandNames<8>(SpecialCode::PutReg);
inline constexpr auto kGetRegNames = SpecialOperandNames<8>(SpecialCode::GetReg);

// The rows that write a condition never hold the "always" field, whose name is empty.
constexpr bool ConditionRowsHaveConditions() {
    for (int i = 640; i < kOpcodeIndices; ++i) {
        const OperandFormat f = kInstructions[i].Format;
        if ((f == OperandFormat::Condition || f == OperandFormat::ConditionWord ||
             f == OperandFormat::ConditionPageWord) &&
            IsAlwaysCondition(i - 480))
            return false;
    }
    return true;
}
static_assert(ConditionRowsHaveConditions());
