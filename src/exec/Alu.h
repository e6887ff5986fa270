// The arithmetic and logic unit: byte primitives that every arithmetic, logic, shift, move and
// exchange instruction uses. They produce all flags in g_cpu.F and never charge cycles.
//
// The operations are inline so that handler templates over them compile to straight code.
// One signature serves the three shapes:
//   two-operand  op(d, s, 0): reads *d and *s, writes *d (exchanges also write *s);
//   one-operand  op(d, unused, 0);
//   chained      op(d, unused, k): k is the incoming value, the result the outgoing one.
// Flag contract with the handlers: before the first call of an instruction the handler presets
// F (to 0x10, or keeping C); an operation never sets Z, only the result evaluation clears it, so
// Z after a run is 1 exactly when every result byte was zero.
#pragma once

#include "core/Cpu.h"

#include <cstdint>

using AluFn = uint8_t (*)(uint8_t* d, uint8_t* s, uint8_t k);

namespace alu_detail {
VELMORA_HOT_INLINE int CarryIn() {
    return (g_cpu.F & kFlagC) ? 1 : 0;
}
// "Keep only Z": the operations that evaluate their result clear everything else first.
VELMORA_HOT_INLINE void KeepOnlyZ() {
    g_cpu.F &= kFlagZ;
}
// Result evaluation: clears Z for a non-zero byte, sets UZ and LZ for zero digits.
VELMORA_HOT_INLINE void Evaluate(uint8_t r) {
    if (r != 0) g_cpu.F &= static_cast<uint8_t>(~kFlagZ);
    if ((r & 0xF0) == 0) g_cpu.F |= kFlagUZ;
    if ((r & 0x0F) == 0) g_cpu.F |= kFlagLZ;
}
VELMORA_HOT_INLINE void SetIf(bool condition, uint8_t flag) {
    if (condition) g_cpu.F |= flag;
}
constexpr uint8_t SwapDigits(uint8_t x) {
    return static_cast<uint8_t>((x << 4) | (x >> 4));
}
// Carry and overflow into bits 4 and 7 of a binary add or subtract.
VELMORA_HOT_INLINE void HalfAndOverflow(int d, int s, int t) {
    const int x = d ^ s ^ t;
    SetIf(x & 0x10, kFlagH);
    SetIf(x & 0x80, kFlagV);
}
VELMORA_HOT_INLINE void Store(uint8_t* d, int t) {
    *d = static_cast<uint8_t>(t);
    Evaluate(*d);
}
} // namespace alu_detail

VELMORA_HOT_INLINE uint8_t AluAd(uint8_t* d, uint8_t* s, uint8_t) {
    const int D = *d, S = *s;
    const int t = D + S + alu_detail::CarryIn();
    alu_detail::KeepOnlyZ();
    alu_detail::SetIf(t > 0xFF, kFlagC);
    alu_detail::HalfAndOverflow(D, S, t);
    alu_detail::Store(d, t);
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluSb(uint8_t* d, uint8_t* s, uint8_t) {
    const int D = *d, S = *s;
    const int t = D - S - alu_detail::CarryIn();
    alu_detail::KeepOnlyZ();
    alu_detail::SetIf(t < 0, kFlagC);
    alu_detail::HalfAndOverflow(D, S, t);
    alu_detail::Store(d, t);
    return 0;
}

// Decimal add; exact for valid BCD and this same arithmetic for any byte.
VELMORA_HOT_INLINE uint8_t AluAdb(uint8_t* d, uint8_t* s, uint8_t) {
    const int D = *d, S = *s;
    int lo = (D & 0x0F) + (S & 0x0F) + alu_detail::CarryIn();
    alu_detail::KeepOnlyZ();
    if (lo > 9) {
        lo = ((lo + 6) & 0x0F) | 0x10;
        g_cpu.F |= kFlagH;
    }
    int t = lo + (D & 0xF0) + (S & 0xF0);
    alu_detail::SetIf((D ^ S ^ t) & 0x80, kFlagV);
    if (t > 0x9F) {
        t += 0x60;
        g_cpu.F |= kFlagC;
    }
    alu_detail::Store(d, t);
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluSbb(uint8_t* d, uint8_t* s, uint8_t) {
    const int D = *d, S = *s;
    int lo = (D & 0x0F) - (S & 0x0F) - alu_detail::CarryIn();
    alu_detail::KeepOnlyZ();
    if (lo < 0 || lo > 9) {
        lo = ((lo - 6) & 0x0F) - 16; // lo - 6 with every bit from bit 4 upward set
        g_cpu.F |= kFlagH;
    }
    int t = lo + (D & 0xF0) - (S & 0xF0);
    alu_detail::SetIf((D ^ S ^ t) & 0x80, kFlagV);
    if (t < 0 || t > 0x9F) {
        t -= 0x60;
        g_cpu.F |= kFlagC;
    }
    alu_detail::Store(d, t);
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluAn(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t r = *d & *s;
    alu_detail::KeepOnlyZ();
    alu_detail::Store(d, r);
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluBit(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t r = static_cast<uint8_t>(~*d & *s);
    alu_detail::KeepOnlyZ();
    alu_detail::Store(d, r);
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluXr(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t r = *d ^ *s;
    alu_detail::KeepOnlyZ();
    alu_detail::Store(d, r);
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluOr(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t r = *d | *s;
    g_cpu.F = (g_cpu.F & kFlagZ) | kFlagC | kFlagH | kFlagV;
    alu_detail::Store(d, r);
    return 0;
}

// No result evaluation: Z keeps its preset and UZ, LZ stay clear.
VELMORA_HOT_INLINE uint8_t AluNa(uint8_t* d, uint8_t* s, uint8_t) {
    *d = static_cast<uint8_t>(~(*d & *s));
    g_cpu.F = (g_cpu.F & kFlagZ) | kFlagC | kFlagH | kFlagV;
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluRod(uint8_t* d, uint8_t*, uint8_t) {
    g_cpu.StepDir = -1;
    const uint8_t b = *d;
    const uint8_t r = static_cast<uint8_t>((b >> 1) | (alu_detail::CarryIn() ? 0x80 : 0));
    alu_detail::KeepOnlyZ();
    alu_detail::SetIf(b & 1, kFlagC);
    alu_detail::Store(d, r);
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluRou(uint8_t* d, uint8_t*, uint8_t) {
    uint8_t copy = *d;
    return AluAd(d, &copy, 0);
}

VELMORA_HOT_INLINE uint8_t AluMtb(uint8_t* d, uint8_t*, uint8_t) {
    uint8_t copy = *d;
    return AluAdb(d, &copy, 0);
}

VELMORA_HOT_INLINE uint8_t AluCmp(uint8_t* d, uint8_t*, uint8_t) {
    uint8_t old = *d;
    *d = 0;
    return AluSb(d, &old, 0);
}

VELMORA_HOT_INLINE uint8_t AluCmpb(uint8_t* d, uint8_t*, uint8_t) {
    uint8_t old = *d;
    *d = 0;
    return AluSbb(d, &old, 0);
}

VELMORA_HOT_INLINE uint8_t AluDiu(uint8_t* d, uint8_t*, uint8_t k) {
    const uint8_t out = *d >> 4;
    const uint8_t r = static_cast<uint8_t>(k | (*d << 4));
    alu_detail::KeepOnlyZ();
    alu_detail::Store(d, r);
    return out;
}

VELMORA_HOT_INLINE uint8_t AluDid(uint8_t* d, uint8_t*, uint8_t k) {
    g_cpu.StepDir = -1;
    const uint8_t out = static_cast<uint8_t>(*d << 4); // only the low byte travels on
    const uint8_t r = static_cast<uint8_t>(k | (*d >> 4));
    alu_detail::KeepOnlyZ();
    alu_detail::Store(d, r);
    return out;
}

VELMORA_HOT_INLINE uint8_t AluByu(uint8_t* d, uint8_t*, uint8_t k) {
    const uint8_t out = *d;
    alu_detail::KeepOnlyZ();
    alu_detail::Store(d, k);
    return out;
}

VELMORA_HOT_INLINE uint8_t AluByd(uint8_t* d, uint8_t* s, uint8_t k) {
    g_cpu.StepDir = -1;
    return AluByu(d, s, k);
}

VELMORA_HOT_INLINE uint8_t AluLd(uint8_t* d, uint8_t* s, uint8_t) {
    *d = *s;
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluLdh(uint8_t* d, uint8_t* s, uint8_t) {
    *d = static_cast<uint8_t>((*d & 0xF0) | (*s >> 4));
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluLdl(uint8_t* d, uint8_t* s, uint8_t) {
    *d = static_cast<uint8_t>((*d & 0x0F) | ((*s << 4) & 0xF0));
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluLds(uint8_t* d, uint8_t* s, uint8_t) {
    *d = alu_detail::SwapDigits(*s);
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluLdhs(uint8_t* d, uint8_t* s, uint8_t) {
    *d = static_cast<uint8_t>((*d >> 4) | (*s & 0xF0));
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluLdls(uint8_t* d, uint8_t* s, uint8_t) {
    *d = static_cast<uint8_t>((*d << 4) | (*s & 0x0F));
    return 0;
}

// The exchanges compute both new values from the old ones before writing either, so naming
// one register twice behaves like two copies.
VELMORA_HOT_INLINE uint8_t AluXc(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t D = *d, S = *s;
    *d = S;
    *s = D;
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluXch(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t D = *d, S = *s;
    *d = static_cast<uint8_t>((D & 0xF0) | (S >> 4));
    *s = static_cast<uint8_t>((S & 0x0F) | ((D << 4) & 0xF0));
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluXcl(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t D = *d, S = *s;
    *d = static_cast<uint8_t>((D & 0x0F) | ((S << 4) & 0xF0));
    *s = static_cast<uint8_t>((S & 0xF0) | (D >> 4));
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluXcs(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t D = *d, S = *s;
    *d = alu_detail::SwapDigits(S);
    *s = alu_detail::SwapDigits(D);
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluXcls(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t D = *d, S = *s;
    *d = static_cast<uint8_t>((D << 4) | (S & 0x0F));
    *s = static_cast<uint8_t>((S >> 4) | (D & 0xF0));
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluXchs(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t D = *d, S = *s;
    *d = static_cast<uint8_t>((D >> 4) | (S & 0xF0));
    *s = static_cast<uint8_t>((S << 4) | (D & 0x0F));
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluSwp1(uint8_t* d, uint8_t*, uint8_t) {
    *d = alu_detail::SwapDigits(*d);
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluSwp2(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t D = *d, S = *s;
    *d = alu_detail::SwapDigits(D);
    *s = alu_detail::SwapDigits(S);
    return 0;
}
