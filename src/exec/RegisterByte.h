// Register instructions on single bytes: register with register, register with an immediate,
// their flag-only test forms, and the twin immediate load into r and r XOR 0x40.
#pragma once

#include "core/Fetch.h"
#include "exec/Handlers.h"

namespace handler_detail {
struct PairOperands {
    uint8_t upper, lower;
};
// Consumes b0, b1 and b2, then applies the preset (no byte read sees F, so the preset may as well
// follow them, which keeps the reads together); the indirect lower register reads AS now.
VELMORA_HOT_INLINE PairOperands ConsumePair(Preset preset) {
    NextByte();
    const uint8_t b1 = NextByte();
    const uint8_t b2 = NextByte();
    ApplyPreset(preset);
    return {FieldUpper(b1), FieldLower(b2, g_cpu.AS)};
}
} // namespace handler_detail

template <AluFn Op, Preset P> void PairLo(const OpArg&) {
    InstructionStart();
    const handler_detail::PairOperands op = handler_detail::ConsumePair(P);
    Op(&g_cpu.R[op.lower], &g_cpu.R[op.upper], 0);
    g_cpu.StepCycles += kRegisterOpCycles;
}

template <AluFn Op, Preset P> void PairUp(const OpArg&) {
    InstructionStart();
    const handler_detail::PairOperands op = handler_detail::ConsumePair(P);
    Op(&g_cpu.R[op.upper], &g_cpu.R[op.lower], 0);
    g_cpu.StepCycles += kRegisterOpCycles;
}

template <AluFn Op, Preset P> void PairTestLo(const OpArg&) {
    InstructionStart();
    const handler_detail::PairOperands op = handler_detail::ConsumePair(P);
    uint8_t d = g_cpu.R[op.lower], s = g_cpu.R[op.upper];
    Op(&d, &s, 0);
    g_cpu.StepCycles += kRegisterOpCycles;
}

template <AluFn Op, Preset P> void PairTestUp(const OpArg&) {
    InstructionStart();
    const handler_detail::PairOperands op = handler_detail::ConsumePair(P);
    uint8_t d = g_cpu.R[op.upper], s = g_cpu.R[op.lower];
    Op(&d, &s, 0);
    g_cpu.StepCycles += kRegisterOpCycles;
}

// The immediate forms consume all three bytes before the preset; the test form works on a
// copy of the register.
template <AluFn Op, Preset P, bool kTest> VELMORA_HOT_INLINE void RegImmForm() {
    NextByte();
    const uint8_t r = FieldFull(NextByte());
    uint8_t imm = NextByte();
    ApplyPreset(P);
    uint8_t copy = g_cpu.R[r];
    Op(kTest ? &copy : &g_cpu.R[r], &imm, 0);
    g_cpu.StepCycles += kRegisterOpCycles;
}

template <AluFn Op, Preset P> void RegImm(const OpArg&) {
    InstructionStart();
    RegImmForm<Op, P, false>();
}
template <AluFn Op, Preset P> void RegImmTest(const OpArg&) {
    InstructionStart();
    RegImmForm<Op, P, true>();
}

inline void TwinImmLoad(const OpArg&) {
    InstructionStart();
    NextByte();
    const uint8_t r = FieldFull(NextByte());
    const uint8_t imm = NextByte();
    g_cpu.R[r] = imm;
    g_cpu.R[r ^ 0x40] = imm;
    g_cpu.StepCycles += kRegisterOpCycles;
}
