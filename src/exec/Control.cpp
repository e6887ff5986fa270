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

// The condition of b0's low digit; with b0 a template argument of the handler, the mask and
// the sense are constants and "always" costs nothing.
template <uint8_t kB0> VELMORA_HOT_INLINE bool ConditionHolds() {
    const CpuState& c = g_cpu;
    constexpr int cc = kB0 & 0x0F;
    if constexpr (cc == 0) return c.KI == 0;
    if constexpr (cc == 8) return c.KI != 0;
    constexpr uint8_t mask = kConditionMasks[cc & 7];
    if constexpr (mask == 0) return cc < 8; // cc 7: always; cc 15 is never a condition
    return cc < 8 ? (c.F & mask) == 0 : (c.F & mask) != 0;
}

VELMORA_HOT_INLINE uint16_t ConsumeAddress() {
    const uint8_t high = NextByte();
    const uint8_t low = NextByte();
    return static_cast<uint16_t>(high << 8 | low);
}

VELMORA_HOT_INLINE uint16_t InPage(uint8_t low) {
    return static_cast<uint16_t>((g_cpu.PC & 0xFF00) | low);
}
} // namespace

template <uint8_t kB0> void Jump(const OpArg&) {
    InstructionStart();
    NextByte();
    const bool taken = ConditionHolds<kB0>();
    const uint16_t target = ConsumeAddress();
    if (taken) g_cpu.PC = target;
    g_cpu.StepCycles += kConditionCycles;
}

template <uint8_t kB0> void Call(const OpArg&) {
    InstructionStart();
    NextByte();
    const bool taken = ConditionHolds<kB0>();
    const uint16_t target = ConsumeAddress();
    if (taken) {
        PushWord(g_cpu.PC);
        g_cpu.PC = target;
    }
    g_cpu.StepCycles += kConditionCycles + kCallExtraCycles;
}

template <uint8_t kB0> void Return(const OpArg&) {
    InstructionStart();
    NextByte();
    if (ConditionHolds<kB0>()) g_cpu.PC = PopWord();
    g_cpu.StepCycles += kConditionCycles + kReturnExtraCycles;
}

template <uint8_t kB0> void ShortJump(const OpArg&) {
    InstructionStart();
    NextByte();
    const bool taken = ConditionHolds<kB0>();
    const uint8_t low = NextByte();
    if (taken) g_cpu.PC = InPage(low);
    g_cpu.StepCycles += kConditionCycles;
}

template <uint8_t kB0> void ShortCall(const OpArg&) {
    InstructionStart();
    NextByte();
    const bool taken = ConditionHolds<kB0>();
    const uint8_t low = NextByte();
    if (taken) {
        PushWord(g_cpu.PC);
        g_cpu.PC = InPage(low);
    }
    g_cpu.StepCycles += kConditionCycles + kCallExtraCycles;
}

// One instantiation per condition: b0 0xA0-0xAE, 0xB0-0xBE, 0xC0-0xCE, 0xE0-0xEE, 0xF0-0xFE.
#define VELMORA_CONDITIONS(form, row)                                                              \
    template void form<row + 0x0>(const OpArg&);                                                   \
    template void form<row + 0x1>(const OpArg&);                                                   \
    template void form<row + 0x2>(const OpArg&);                                                   \
    template void form<row + 0x3>(const OpArg&);                                                   \
    template void form<row + 0x4>(const OpArg&);                                                   \
    template void form<row + 0x5>(const OpArg&);                                                   \
    template void form<row + 0x6>(const OpArg&);                                                   \
    template void form<row + 0x7>(const OpArg&);                                                   \
    template void form<row + 0x8>(const OpArg&);                                                   \
    template void form<row + 0x9>(const OpArg&);                                                   \
    template void form<row + 0xA>(const OpArg&);                                                   \
    template void form<row + 0xB>(const OpArg&);                                                   \
    template void form<row + 0xC>(const OpArg&);                                                   \
    template void form<row + 0xD>(const OpArg&);                                                   \
    template void form<row + 0xE>(const OpArg&);
VELMORA_CONDITIONS(Jump, 0xA0)
VELMORA_CONDITIONS(Call, 0xB0)
VELMORA_CONDITIONS(Return, 0xC0)
VELMORA_CONDITIONS(ShortJump, 0xE0)
VELMORA_CONDITIONS(ShortCall, 0xF0)
#undef VELMORA_CONDITIONS

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
