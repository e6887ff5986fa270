// Register instructions on byte runs: a two-operand ALU operation over a run of bytes inside
// one group of eight, least significant byte first, with the carry chained from byte to byte;
// and the runs with a 5-bit immediate. The upper run sets the length; an indirect lower run may
// reach its limit first, after which it reads as zero bytes (the tail).
#pragma once

#include "core/Fetch.h"
#include "exec/Handlers.h"

#include <type_traits>

namespace handler_detail {
struct RunOperands {
    uint8_t u, uLast, j, limit;
    bool hasLimit;
};

VELMORA_HOT_INLINE RunOperands ConsumeRun(Preset preset) {
    NextByte();
    const uint8_t b1 = NextByte();
    const uint8_t b2 = NextByte();
    ApplyPreset(preset); // after the byte reads, as in ConsumePair
    const uint8_t as = g_cpu.AS;
    return {FieldUpperBlockStart(b1), FieldUpperBlockLast(b1, b2), FieldLowerBlockStart(b1, b2, as),
            FieldLowerBlockLimit(b2, as), FieldIsIndirect(b2)};
}

// Walks the run; body(last, upper, lower, inTail) performs one ALU call, with `last` a
// std::bool_constant telling whether it is the run's last (see kRunInnerOp); inTail is set past an
// indirect lower run's limit, where the lower operand reads as zero. It walks in the direction
// the operation leaves (kRunDirection), and the cycles are charged once at the end.
template <AluFn Op, typename Body> VELMORA_HOT_INLINE void WalkRun(RunOperands op, Body body) {
    constexpr int dir = kRunDirection<Op>;
    int calls = 1;
    if (!op.hasLimit) {
        calls = RunLength(op.u, op.uLast, dir);
        WalkToLast<dir>(op.u, op.j, calls,
                        [&](uint8_t u, uint8_t j) { body(std::false_type{}, u, j, false); });
        body(std::true_type{}, op.u, op.j, false);
    } else {
        // A call is the last one when it finds the upper run at its end.
        const auto call = [&](bool tail) {
            if (op.u == op.uLast)
                body(std::true_type{}, op.u, op.j, tail);
            else
                body(std::false_type{}, op.u, op.j, tail);
        };
        call(false);
        while (op.u != op.uLast) {
            if (op.j == op.limit) {
                do {
                    op.u = GroupStep(op.u, dir);
                    call(true);
                    ++calls;
                } while (op.u != op.uLast);
                break;
            }
            op.u = GroupStep(op.u, dir);
            op.j = GroupStep(op.j, dir);
            call(false);
            ++calls;
        }
    }
    g_cpu.StepCycles += calls * kRegisterOpCycles;
}

// The operation of one call of a run: the full one on the last byte, kRunInnerOp before it.
template <AluFn Op, typename Last>
inline constexpr AluFn kRunOp = Last::value ? Op : kRunInnerOp<Op>;
} // namespace handler_detail

template <AluFn Op, Preset P> void RunPairLo(const OpArg&) {
    InstructionStart();
    handler_detail::WalkRun<Op>(handler_detail::ConsumeRun(P), [](auto last, uint8_t u, uint8_t j,
                                                                  bool tail) {
        uint8_t scratch = 0;
        handler_detail::kRunOp<Op, decltype(last)>(tail ? &scratch : &g_cpu.R[j], &g_cpu.R[u], 0);
    });
}

template <AluFn Op, Preset P> void RunPairUp(const OpArg&) {
    InstructionStart();
    handler_detail::WalkRun<Op>(handler_detail::ConsumeRun(P), [](auto last, uint8_t u, uint8_t j,
                                                                  bool tail) {
        uint8_t scratch = 0;
        handler_detail::kRunOp<Op, decltype(last)>(&g_cpu.R[u], tail ? &scratch : &g_cpu.R[j], 0);
    });
}

template <AluFn Op, Preset P> void RunPairTestLo(const OpArg&) {
    InstructionStart();
    handler_detail::WalkRun<Op>(handler_detail::ConsumeRun(P),
                                [](auto last, uint8_t u, uint8_t j, bool tail) {
                                    uint8_t d = tail ? 0 : g_cpu.R[j], s = g_cpu.R[u];
                                    handler_detail::kRunOp<Op, decltype(last)>(&d, &s, 0);
                                });
}

template <AluFn Op, Preset P> void RunPairTestUp(const OpArg&) {
    InstructionStart();
    handler_detail::WalkRun<Op>(handler_detail::ConsumeRun(P),
                                [](auto last, uint8_t u, uint8_t j, bool tail) {
                                    uint8_t d = g_cpu.R[u], s = tail ? 0 : g_cpu.R[j];
                                    handler_detail::kRunOp<Op, decltype(last)>(&d, &s, 0);
                                });
}

template <AluFn Op> inline constexpr bool kIsLoad = false;
template <> inline constexpr bool kIsLoad<AluLd> = true;

// Short-immediate run: the immediate goes into the least significant byte and only the carry
// travels on, except for ldm r,imm5 (b0 0x30), which stores the immediate into every byte. The
// test form works on copies and always drops the immediate after the first byte.
template <AluFn Op, Preset P, bool kTest> VELMORA_HOT_INLINE void RunImmForm() {
    CpuState& c = g_cpu;
    const uint8_t b0 = NextByte();
    const uint8_t b1 = NextByte();
    const uint8_t b2 = NextByte();
    ApplyPreset(P);
    uint8_t r = FieldFull(b1);
    const uint8_t last = FieldFullBlockLast(b1, b2);
    uint8_t k = FieldShortImm(b2);
    // Only ldm r,imm5 (b0 0x30) keeps the immediate, and it is the only immediate run of ld.
    const bool keepImmediate = !kTest && kIsLoad<Op> && b0 == 0x30;
    constexpr int dir = kRunDirection<Op>;
    const int calls = RunLength(r, last, dir);
    WalkToLast<dir>(r, calls, [&](uint8_t reg) {
        uint8_t copy = c.R[reg], source = k;
        kRunInnerOp<Op>(kTest ? &copy : &c.R[reg], &source, 0);
        if (!keepImmediate) k = 0;
    });
    uint8_t copy = c.R[r], source = k;
    Op(kTest ? &copy : &c.R[r], &source, 0);
    c.StepCycles += calls * kRegisterOpCycles;
}

template <AluFn Op, Preset P> void RunImm(const OpArg&) {
    InstructionStart();
    RunImmForm<Op, P, false>();
}
template <AluFn Op, Preset P> void RunImmTest(const OpArg&) {
    InstructionStart();
    RunImmForm<Op, P, true>();
}
