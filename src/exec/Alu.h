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
// The operations work on a local copy of F and write it back once at the end, so that the
// byte stores through d and s (which the compiler must assume may alias any byte) do not force
// the flags back and forth through memory.
VELMORA_HOT_INLINE int CarryIn(uint8_t f) {
    return f >> 7;
}
// "Keep only Z": the operations that evaluate their result clear everything else first.
VELMORA_HOT_INLINE uint8_t KeepOnlyZ(uint8_t f) {
    return f & kFlagZ;
}
// Result evaluation: clears Z for a non-zero byte, sets UZ and LZ for zero digits.
VELMORA_HOT_INLINE uint8_t Evaluate(uint8_t f, uint8_t r) {
    if (r != 0) f &= static_cast<uint8_t>(~kFlagZ);
    if ((r & 0xF0) == 0) f |= kFlagUZ;
    if ((r & 0x0F) == 0) f |= kFlagLZ;
    return f;
}
VELMORA_HOT_INLINE uint8_t SetIf(uint8_t f, bool condition, uint8_t flag) {
    return condition ? static_cast<uint8_t>(f | flag) : f;
}
constexpr uint8_t SwapDigits(uint8_t x) {
    return static_cast<uint8_t>((x << 4) | (x >> 4));
}
// Carry and overflow into bits 4 and 7 of a binary add or subtract.
VELMORA_HOT_INLINE uint8_t HalfAndOverflow(uint8_t f, int d, int s, int t) {
    const int x = d ^ s ^ t;
    return static_cast<uint8_t>(f | (x & 0x10 ? kFlagH : 0) | (x & 0x80 ? kFlagV : 0));
}
// Stores the result byte, evaluates it and writes the flags back. kAll false: the inner byte of
// a run (see kRunInnerOp below), where only Z is evaluated.
template <bool kAll = true> VELMORA_HOT_INLINE void Store(uint8_t* d, int t, uint8_t f) {
    const uint8_t r = static_cast<uint8_t>(t);
    *d = r;
    if constexpr (kAll)
        g_cpu.F = Evaluate(f, r);
    else
        g_cpu.F = r != 0 ? static_cast<uint8_t>(f & ~kFlagZ) : f;
}

// The arithmetic, with every flag (kAll) or with C and Z alone.
template <bool kAll> VELMORA_HOT_INLINE uint8_t Add(uint8_t* d, uint8_t* s) {
    const int D = *d, S = *s;
    uint8_t f = g_cpu.F;
    const int t = D + S + CarryIn(f);
    f = SetIf(KeepOnlyZ(f), t > 0xFF, kFlagC);
    if constexpr (kAll) f = HalfAndOverflow(f, D, S, t);
    Store<kAll>(d, t, f);
    return 0;
}

template <bool kAll> VELMORA_HOT_INLINE uint8_t Subtract(uint8_t* d, uint8_t* s) {
    const int D = *d, S = *s;
    uint8_t f = g_cpu.F;
    const int t = D - S - CarryIn(f);
    f = SetIf(KeepOnlyZ(f), t < 0, kFlagC);
    if constexpr (kAll) f = HalfAndOverflow(f, D, S, t);
    Store<kAll>(d, t, f);
    return 0;
}

// Decimal add; exact for valid BCD and this same arithmetic for any byte.
template <bool kAll> VELMORA_HOT_INLINE uint8_t DecimalAdd(uint8_t* d, uint8_t* s) {
    const int D = *d, S = *s;
    uint8_t f = g_cpu.F;
    int lo = (D & 0x0F) + (S & 0x0F) + CarryIn(f);
    f = KeepOnlyZ(f);
    if (lo > 9) {
        lo = ((lo + 6) & 0x0F) | 0x10;
        if constexpr (kAll) f |= kFlagH;
    }
    int t = lo + (D & 0xF0) + (S & 0xF0);
    if constexpr (kAll) f = SetIf(f, (D ^ S ^ t) & 0x80, kFlagV);
    if (t > 0x9F) {
        t += 0x60;
        f |= kFlagC;
    }
    Store<kAll>(d, t, f);
    return 0;
}

template <bool kAll> VELMORA_HOT_INLINE uint8_t DecimalSubtract(uint8_t* d, uint8_t* s) {
    const int D = *d, S = *s;
    uint8_t f = g_cpu.F;
    int lo = (D & 0x0F) - (S & 0x0F) - CarryIn(f);
    f = KeepOnlyZ(f);
    if (lo < 0 || lo > 9) {
        lo = ((lo - 6) & 0x0F) - 16; // lo - 6 with every bit from bit 4 upward set
        if constexpr (kAll) f |= kFlagH;
    }
    int t = lo + (D & 0xF0) - (S & 0xF0);
    if constexpr (kAll) f = SetIf(f, (D ^ S ^ t) & 0x80, kFlagV);
    if (t < 0 || t > 0x9F) {
        t -= 0x60;
        f |= kFlagC;
    }
    Store<kAll>(d, t, f);
    return 0;
}

template <bool kAll> VELMORA_HOT_INLINE uint8_t DigitShiftDown(uint8_t* d, uint8_t k) {
    g_cpu.StepDir = -1;
    const uint8_t out = static_cast<uint8_t>(*d << 4); // only the low byte travels on
    const uint8_t r = static_cast<uint8_t>(k | (*d >> 4));
    Store<kAll>(d, r, KeepOnlyZ(g_cpu.F));
    return out;
}

template <bool kAll> VELMORA_HOT_INLINE uint8_t DigitShiftUp(uint8_t* d, uint8_t k) {
    const uint8_t out = *d >> 4;
    const uint8_t r = static_cast<uint8_t>(k | (*d << 4));
    Store<kAll>(d, r, KeepOnlyZ(g_cpu.F));
    return out;
}
} // namespace alu_detail

VELMORA_HOT_INLINE uint8_t AluAd(uint8_t* d, uint8_t* s, uint8_t) {
    return alu_detail::Add<true>(d, s);
}

VELMORA_HOT_INLINE uint8_t AluSb(uint8_t* d, uint8_t* s, uint8_t) {
    return alu_detail::Subtract<true>(d, s);
}

VELMORA_HOT_INLINE uint8_t AluAdb(uint8_t* d, uint8_t* s, uint8_t) {
    return alu_detail::DecimalAdd<true>(d, s);
}

VELMORA_HOT_INLINE uint8_t AluSbb(uint8_t* d, uint8_t* s, uint8_t) {
    return alu_detail::DecimalSubtract<true>(d, s);
}

VELMORA_HOT_INLINE uint8_t AluAn(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t r = *d & *s;
    alu_detail::Store(d, r, alu_detail::KeepOnlyZ(g_cpu.F));
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluBit(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t r = static_cast<uint8_t>(~*d & *s);
    alu_detail::Store(d, r, alu_detail::KeepOnlyZ(g_cpu.F));
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluXr(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t r = *d ^ *s;
    alu_detail::Store(d, r, alu_detail::KeepOnlyZ(g_cpu.F));
    return 0;
}

VELMORA_HOT_INLINE uint8_t AluOr(uint8_t* d, uint8_t* s, uint8_t) {
    const uint8_t r = *d | *s;
    alu_detail::Store(d, r, (g_cpu.F & kFlagZ) | kFlagC | kFlagH | kFlagV);
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
    const uint8_t f = g_cpu.F;
    const uint8_t r = static_cast<uint8_t>((b >> 1) | (alu_detail::CarryIn(f) ? 0x80 : 0));
    alu_detail::Store(d, r, alu_detail::SetIf(alu_detail::KeepOnlyZ(f), b & 1, kFlagC));
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
    return alu_detail::DigitShiftUp<true>(d, k);
}

VELMORA_HOT_INLINE uint8_t AluDid(uint8_t* d, uint8_t*, uint8_t k) {
    return alu_detail::DigitShiftDown<true>(d, k);
}

VELMORA_HOT_INLINE uint8_t AluByu(uint8_t* d, uint8_t*, uint8_t k) {
    const uint8_t out = *d;
    alu_detail::Store(d, k, alu_detail::KeepOnlyZ(g_cpu.F));
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

// The operations that turn the step direction to -1 (on every call, so from the first on).
template <AluFn Op> inline constexpr bool kTurnsStepDirection = false;
template <> inline constexpr bool kTurnsStepDirection<AluRod> = true;
template <> inline constexpr bool kTurnsStepDirection<AluDid> = true;
template <> inline constexpr bool kTurnsStepDirection<AluByd> = true;
static_assert(kTurnsStepDirection<AluDid> && !kTurnsStepDirection<AluDiu>);

// The step direction a multi-byte handler walks in once the operation has been called: the
// dispatcher set it to +1, and only the operations above turn it.
template <AluFn Op> inline constexpr int kRunDirection = kTurnsStepDirection<Op> ? -1 : 1;

// The operation a run applies to every byte but its last. Each flag-setting operation starts
// from F & Z and reads nothing of F but C, so of an inner byte's flags only C and Z reach the
// next byte, and the last byte sets all the others afresh: the inner bytes of the arithmetic
// runs and the digit shifts skip H, V, UZ and LZ. The other operations are their own.
VELMORA_HOT_INLINE uint8_t AluAdInner(uint8_t* d, uint8_t* s, uint8_t) {
    return alu_detail::Add<false>(d, s);
}
VELMORA_HOT_INLINE uint8_t AluSbInner(uint8_t* d, uint8_t* s, uint8_t) {
    return alu_detail::Subtract<false>(d, s);
}
VELMORA_HOT_INLINE uint8_t AluAdbInner(uint8_t* d, uint8_t* s, uint8_t) {
    return alu_detail::DecimalAdd<false>(d, s);
}
VELMORA_HOT_INLINE uint8_t AluSbbInner(uint8_t* d, uint8_t* s, uint8_t) {
    return alu_detail::DecimalSubtract<false>(d, s);
}
VELMORA_HOT_INLINE uint8_t AluDiuInner(uint8_t* d, uint8_t*, uint8_t k) {
    return alu_detail::DigitShiftUp<false>(d, k);
}
VELMORA_HOT_INLINE uint8_t AluDidInner(uint8_t* d, uint8_t*, uint8_t k) {
    return alu_detail::DigitShiftDown<false>(d, k);
}
template <AluFn Op> inline constexpr AluFn kRunInnerOp = Op;
template <> inline constexpr AluFn kRunInnerOp<AluAd> = AluAdInner;
template <> inline constexpr AluFn kRunInnerOp<AluSb> = AluSbInner;
template <> inline constexpr AluFn kRunInnerOp<AluAdb> = AluAdbInner;
template <> inline constexpr AluFn kRunInnerOp<AluSbb> = AluSbbInner;
template <> inline constexpr AluFn kRunInnerOp<AluDiu> = AluDiuInner;
template <> inline constexpr AluFn kRunInnerOp<AluDid> = AluDidInner;
