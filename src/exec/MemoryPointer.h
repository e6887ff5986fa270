// ALU operations on a data byte addressed by ix (b0 0x40-0x4F) or iy (0x50-0x5F), with a
// register or an immediate as second operand; and the 16-bit pointer instructions ldw, adw,
// sbw. The byte is read and written through the pointer's memory area, so only RAM changes.
#pragma once

#include "core/Fetch.h"
#include "exec/Handlers.h"

namespace handler_detail {
struct MemOperand {
    uint8_t area;
    uint16_t address;
    uint8_t value;
};

// b0 names the pointer: ix for 0x40-0x4F, iy for 0x50-0x5F (kPointer, a template argument of
// the handlers). The handlers apply the preset once their bytes are consumed.
template <int kPointer> VELMORA_HOT_INLINE MemOperand ConsumeMemOperand() {
    NextByte();
    constexpr int p = kPointer;
    const uint8_t area = PtrArea(p);
    const uint16_t address = PtrGet(p);
    return {area, address, MemRead(area, address)};
}

// Register operand of the memory forms: the full register field with its half bit inverted.
VELMORA_HOT_INLINE uint8_t MemRegisterField(uint8_t b1) {
    return (b1 & 0x7F) ^ 0x40;
}

VELMORA_HOT_INLINE uint16_t ConsumeWordOperand() {
    CpuState& c = g_cpu;
    NextByte();
    const uint8_t b1 = NextByte();
    if (b1 & 0x80) {
        c.StepCycles += kPointerRegisterOperandCycles;
        return c.R[b1 & 0x7F];
    }
    return b1;
}
} // namespace handler_detail

template <AluFn Op, Preset P, int kPointer> void MemReg(const OpArg&) {
    InstructionStart();
    handler_detail::MemOperand m = handler_detail::ConsumeMemOperand<kPointer>();
    const uint8_t s = handler_detail::MemRegisterField(NextByte());
    ApplyPreset(P);
    Op(&m.value, &g_cpu.R[s], 0);
    MemWrite(m.area, m.address, m.value);
    g_cpu.StepCycles += kMemoryOpCycles;
}

template <AluFn Op, Preset P, int kPointer> void MemRegTest(const OpArg&) {
    InstructionStart();
    handler_detail::MemOperand m = handler_detail::ConsumeMemOperand<kPointer>();
    uint8_t s = g_cpu.R[handler_detail::MemRegisterField(NextByte())];
    ApplyPreset(P);
    Op(&m.value, &s, 0);
    g_cpu.StepCycles += kMemoryTestCycles;
}

template <AluFn Op, Preset P, int kPointer> void MemImm(const OpArg&) {
    InstructionStart();
    handler_detail::MemOperand m = handler_detail::ConsumeMemOperand<kPointer>();
    uint8_t imm = NextByte();
    ApplyPreset(P);
    Op(&m.value, &imm, 0);
    MemWrite(m.area, m.address, m.value);
    g_cpu.StepCycles += kMemoryOpCycles;
}

inline void LoadWord(const OpArg&) {
    InstructionStart();
    CpuState& c = g_cpu;
    const int p = NextByte() & 7;
    c.R[kPtrHigh + p] = NextByte();
    c.R[kPtrLow + p] = NextByte();
    c.StepCycles += kRegisterOpCycles;
}

// The carry out of 16 bits is not recorded anywhere; F is unchanged.
template <uint8_t kB0> void AddWord(const OpArg&) {
    InstructionStart();
    constexpr int p = PointerOfB0(kB0);
    const uint16_t operand = handler_detail::ConsumeWordOperand();
    PtrSet(p, static_cast<uint16_t>(PtrGet(p) + operand));
    g_cpu.StepCycles += kMemoryOpCycles;
}

template <uint8_t kB0> void SubWord(const OpArg&) {
    InstructionStart();
    constexpr int p = PointerOfB0(kB0);
    const uint16_t operand = handler_detail::ConsumeWordOperand();
    PtrSet(p, static_cast<uint16_t>(PtrGet(p) - operand));
    g_cpu.StepCycles += kMemoryOpCycles;
}
