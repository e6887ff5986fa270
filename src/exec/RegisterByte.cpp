// Register instructions on single bytes: register with register, register with an immediate,
// their flag-only test forms, and the twin immediate load into r and r XOR 0x40.
#include "core/Fetch.h"
#include "exec/Handlers.h"

namespace {
struct PairOperands {
    uint8_t upper, lower;
};
// Consumes b0 (with the preset), b1 and b2; the indirect lower register reads AS now.
PairOperands ConsumePair(Preset preset) {
    NextByte();
    ApplyPreset(preset);
    const uint8_t b1 = NextByte();
    const uint8_t b2 = NextByte();
    return {FieldUpper(b1), FieldLower(b2, g_cpu.AS)};
}
} // namespace

void PairLo(const OpArg& a) {
    const PairOperands op = ConsumePair(a.preset);
    a.alu(&g_cpu.R[op.lower], &g_cpu.R[op.upper], 0);
    g_cpu.StepCycles += kRegisterOpCycles;
}

void PairUp(const OpArg& a) {
    const PairOperands op = ConsumePair(a.preset);
    a.alu(&g_cpu.R[op.upper], &g_cpu.R[op.lower], 0);
    g_cpu.StepCycles += kRegisterOpCycles;
}

void PairTestLo(const OpArg& a) {
    const PairOperands op = ConsumePair(a.preset);
    uint8_t d = g_cpu.R[op.lower], s = g_cpu.R[op.upper];
    a.alu(&d, &s, 0);
    g_cpu.StepCycles += kRegisterOpCycles;
}

void PairTestUp(const OpArg& a) {
    const PairOperands op = ConsumePair(a.preset);
    uint8_t d = g_cpu.R[op.upper], s = g_cpu.R[op.lower];
    a.alu(&d, &s, 0);
    g_cpu.StepCycles += kRegisterOpCycles;
}

// The immediate forms consume all three bytes before the preset.
void RegImm(const OpArg& a) {
    NextByte();
    const uint8_t r = FieldFull(NextByte());
    uint8_t imm = NextByte();
    ApplyPreset(a.preset);
    a.alu(&g_cpu.R[r], &imm, 0);
    g_cpu.StepCycles += kRegisterOpCycles;
}

void RegImmTest(const OpArg& a) {
    NextByte();
    const uint8_t r = FieldFull(NextByte());
    uint8_t imm = NextByte();
    ApplyPreset(a.preset);
    uint8_t d = g_cpu.R[r];
    a.alu(&d, &imm, 0);
    g_cpu.StepCycles += kRegisterOpCycles;
}

void TwinImmLoad(const OpArg&) {
    NextByte();
    const uint8_t r = FieldFull(NextByte());
    const uint8_t imm = NextByte();
    g_cpu.R[r] = imm;
    g_cpu.R[r ^ 0x40] = imm;
    g_cpu.StepCycles += kRegisterOpCycles;
}
