// Control transfer: conditional jumps, calls and returns (absolute and in-page), rti, trp,
// ijmp/pla, off, wai and nop. All operand bytes are consumed and all cycles charged whether or
// not the condition holds; PC in the operations is the value after the bytes were consumed.
#include "core/Fetch.h"
#include "exec/Handlers.h"
#include "exec/Stack.h"
#include "periph/Keyboard.h"

#include <iterator>

namespace {
constexpr int kConditionCycles = 4;
constexpr int kCallExtraCycles = 4;
constexpr int kReturnExtraCycles = 6;
constexpr int kTrapCycles = 10;

// Flag masks by cc & 7; cc 7 (mask 0) is "always". cc 0 and 8 test KI instead.
constexpr uint8_t kConditionMasks[] = {0x00,   kFlagLZ, kFlagUZ, kFlagZ,
                                       kFlagV, kFlagH,  kFlagC,  0x00};
static_assert(std::size(kConditionMasks) == 8);

bool ConditionHolds(uint8_t b0) {
    const CpuState& c = g_cpu;
    const int cc = b0 & 0x0F;
    if (cc == 0) return c.KI == 0;
    if (cc == 8) return c.KI != 0;
    const uint8_t mask = kConditionMasks[cc & 7];
    return cc < 8 ? (c.F & mask) == 0 : (c.F & mask) != 0;
}

uint16_t ConsumeAddress() {
    const uint8_t high = NextByte();
    const uint8_t low = NextByte();
    return static_cast<uint16_t>(high << 8 | low);
}

uint16_t InPage(uint8_t low) {
    return static_cast<uint16_t>((g_cpu.PC & 0xFF00) | low);
}
} // namespace

void Jump(const OpArg&) {
    InstructionStart();
    const bool taken = ConditionHolds(NextByte());
    const uint16_t target = ConsumeAddress();
    if (taken) g_cpu.PC = target;
    g_cpu.StepCycles += kConditionCycles;
}

void Call(const OpArg&) {
    InstructionStart();
    const bool taken = ConditionHolds(NextByte());
    const uint16_t target = ConsumeAddress();
    if (taken) {
        PushWord(g_cpu.PC);
        g_cpu.PC = target;
    }
    g_cpu.StepCycles += kConditionCycles + kCallExtraCycles;
}

void Return(const OpArg&) {
    InstructionStart();
    if (ConditionHolds(NextByte())) g_cpu.PC = PopWord();
    g_cpu.StepCycles += kConditionCycles + kReturnExtraCycles;
}

void ShortJump(const OpArg&) {
    InstructionStart();
    const bool taken = ConditionHolds(NextByte());
    const uint8_t low = NextByte();
    if (taken) g_cpu.PC = InPage(low);
    g_cpu.StepCycles += kConditionCycles;
}

void ShortCall(const OpArg&) {
    InstructionStart();
    const bool taken = ConditionHolds(NextByte());
    const uint8_t low = NextByte();
    if (taken) {
        PushWord(g_cpu.PC);
        g_cpu.PC = InPage(low);
    }
    g_cpu.StepCycles += kConditionCycles + kCallExtraCycles;
}

// rti consumes no byte at all: it leaves the highest-priority requested source (clearing it in
// both latches), then pops PC.
void ReturnFromInterrupt(const OpArg&) {
    InstructionStart();
    CpuState& c = g_cpu;
    for (int i = 0; i < 4; ++i) {
        const uint8_t m = static_cast<uint8_t>(1 << i);
        if (c.IRQ & m) {
            c.ISR &= static_cast<uint8_t>(~m);
            c.IRQ &= static_cast<uint8_t>(~m);
            break;
        }
    }
    c.PC = PopWord();
    c.StepCycles += kConditionCycles + kReturnExtraCycles;
}

// trp pushes its own address, so a return from the trap routine comes back to the trp.
void Trap(const OpArg&) {
    InstructionStart();
    CpuState& c = g_cpu;
    PushWord(c.PC);
    NextByte();
    c.PC = static_cast<uint16_t>(c.R[kTrapHigh] << 8 | c.R[kTrapLow]);
    c.StepCycles += kTrapCycles;
}

// The register pair always comes from the direct fields, even with b2 bit 4 set.
void LoadPair(const OpArg& a) {
    InstructionStart();
    CpuState& c = g_cpu;
    NextByte();
    const uint8_t high = c.R[FieldUpper(NextByte())];
    const uint8_t low = c.R[FieldLowerDirect(NextByte())];
    const uint16_t value = static_cast<uint16_t>(high << 8 | low);
    if (a.reg == SpecialReg::PC)
        c.PC = value;
    else
        c.LA = value;
    c.StepCycles += kRegisterOpCycles;
}

void PowerOff(const OpArg&) {
    InstructionStart();
    CpuState& c = g_cpu;
    NextByte();
    c.OFF = 1;
    c.PC = 0;
    c.IE = 0;
    c.ISR = 0;
    c.IRQ = 0;
    c.S6 = 0;
    c.KC = 0x40;
    KeyboardUpdate();
}

void Wait(const OpArg&) {
    InstructionStart();
    NextByte();
    g_cpu.WAIT = 1;
}

void NoOperation(const OpArg&) {
    InstructionStart();
    NextByte();
    g_cpu.StepCycles += kRegisterOpCycles;
}
