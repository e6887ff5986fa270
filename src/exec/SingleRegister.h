// Single-register and shift instructions: rotates, digit and byte shifts, complements,
// decimal doubling and the binary shift left, on one byte (b0 0x60-0x67) or on a run inside
// one group of eight (b0 0x70-0x77). The chained value k carries from byte to byte; rod, did
// and byd turn the step direction to -1 on their first call, so those runs walk downward.
#pragma once

#include "core/Fetch.h"
#include "exec/Handlers.h"

namespace handler_detail {
// bnd/bnu (b0 0x65, 0x75) start the chain with the first byte itself. They share their
// handlers with byd/byu (0x64, 0x74), so only those look at b0.
template <AluFn Op> inline constexpr bool kSharedWithBnd = false;
template <> inline constexpr bool kSharedWithBnd<AluByd> = true;
template <> inline constexpr bool kSharedWithBnd<AluByu> = true;
template <AluFn Op> VELMORA_HOT_INLINE bool ChainsFirstByte(uint8_t b0) {
    return kSharedWithBnd<Op> && (b0 & 0x0F) == 0x05;
}

// One call of a single-register operation with the chained value k; the test forms work on a
// copy of the byte. Returns the value that travels on.
template <bool kTest> VELMORA_HOT_INLINE uint8_t ApplyChained(AluFn fn, uint8_t* byte, uint8_t k) {
    if constexpr (kTest) {
        uint8_t copy = *byte;
        return fn(&copy, nullptr, k);
    }
    return fn(byte, nullptr, k);
}

struct LowerRun {
    uint8_t j, limit, n, last;
    bool hasLimit;
};

// Lower run: the count n runs from b1 & 7 to b2 >> 5; an indirect start may meet its limit
// (the group's far end in the direction of travel), after which the rest of the count
// processes zero scratch bytes.
template <AluFn Op, Preset P, bool kTest> VELMORA_HOT_INLINE void RunLower() {
    CpuState& c = g_cpu;
    const uint8_t b0 = NextByte();
    const uint8_t b1 = NextByte();
    const uint8_t b2 = NextByte();
    LowerRun run{FieldLowerBlockStart(b1, b2, c.AS), FieldLowerBlockLimit(b2, c.AS),
                 static_cast<uint8_t>(b1 & 7), static_cast<uint8_t>(b2 >> 5), FieldIsIndirect(b2)};
    ApplyPreset(P);
    uint8_t k = (!kTest && ChainsFirstByte<Op>(b0)) ? c.R[run.j] : 0;
    // The run walks in the direction the operation leaves; the cycles are charged at the end.
    constexpr int dir = kRunDirection<Op>;
    // The last call (the count at its end) applies Op, the ones before kRunInnerOp<Op>.
    const auto apply = [&k](AluFn fn, uint8_t* byte) { k = ApplyChained<kTest>(fn, byte, k); };
    if (!run.hasLimit) {
        // A direct run: count bytes, with no limit to meet.
        const int count = RunLength(run.n, run.last, dir);
        uint8_t j = run.j;
        WalkToLast<dir>(j, count, [&](uint8_t reg) { apply(kRunInnerOp<Op>, &c.R[reg]); });
        apply(Op, &c.R[j]);
        c.StepCycles += count * kRegisterOpCycles;
        return;
    }
    int calls = 1;
    for (;;) {
        if (run.n == run.last) {
            apply(Op, &c.R[run.j]);
            c.StepCycles += calls * kRegisterOpCycles;
            return;
        }
        apply(kRunInnerOp<Op>, &c.R[run.j]);
        ++calls;
        const uint8_t e = dir == 1 ? 0 : 7;
        if (run.j == (run.limit ^ e)) break;
        run.n = static_cast<uint8_t>((run.n + dir) & 7);
        run.j = GroupStep(run.j, dir);
    }
    for (;;) {
        run.n = static_cast<uint8_t>((run.n + dir) & 7);
        uint8_t scratch = 0;
        if (run.n == run.last) {
            k = Op(&scratch, nullptr, k);
            break;
        }
        k = kRunInnerOp<Op>(&scratch, nullptr, k);
        ++calls;
    }
    c.StepCycles += calls * kRegisterOpCycles;
}

template <AluFn Op, Preset P, bool kTest> VELMORA_HOT_INLINE void RunUpper() {
    CpuState& c = g_cpu;
    const uint8_t b0 = NextByte();
    const uint8_t b1 = NextByte();
    const uint8_t b2 = NextByte();
    uint8_t j = FieldUpperBlockStart(b1);
    const uint8_t last = FieldUpperBlockLast(b1, b2);
    ApplyPreset(P);
    uint8_t k = (!kTest && ChainsFirstByte<Op>(b0)) ? c.R[j] : 0;
    const auto apply = [&k](AluFn fn, uint8_t* byte) { k = ApplyChained<kTest>(fn, byte, k); };
    constexpr int dir = kRunDirection<Op>;
    const int calls = RunLength(j, last, dir);
    WalkToLast<dir>(j, calls, [&](uint8_t reg) { apply(kRunInnerOp<Op>, &c.R[reg]); });
    apply(Op, &c.R[j]);
    c.StepCycles += calls * kRegisterOpCycles;
}
} // namespace handler_detail

template <AluFn Op, Preset P> void Single(const OpArg&) {
    InstructionStart();
    CpuState& c = g_cpu;
    const uint8_t b0 = NextByte();
    const uint8_t r = FieldFull(NextByte());
    ApplyPreset(P);
    const uint8_t k = handler_detail::ChainsFirstByte<Op>(b0) ? c.R[r] : 0;
    Op(&c.R[r], nullptr, k);
    c.StepCycles += kRegisterOpCycles;
}

// The test forms start from F = Z whatever the operation's preset.
template <AluFn Op> void SingleTest(const OpArg&) {
    InstructionStart();
    CpuState& c = g_cpu;
    NextByte();
    uint8_t copy = c.R[FieldFull(NextByte())];
    c.F = kFlagZ;
    Op(&copy, nullptr, 0);
    c.StepCycles += kRegisterOpCycles;
}

template <AluFn Op, Preset P> void SingleRunLo(const OpArg&) {
    InstructionStart();
    handler_detail::RunLower<Op, P, false>();
}
template <AluFn Op, Preset P> void SingleRunUp(const OpArg&) {
    InstructionStart();
    handler_detail::RunUpper<Op, P, false>();
}
template <AluFn Op, Preset P> void SingleRunTestLo(const OpArg&) {
    InstructionStart();
    handler_detail::RunLower<Op, P, true>();
}
template <AluFn Op, Preset P> void SingleRunTestUp(const OpArg&) {
    InstructionStart();
    handler_detail::RunUpper<Op, P, true>();
}
