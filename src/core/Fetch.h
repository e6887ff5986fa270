// Instruction fetch, the opcode index, the operand-field decoders and the dispatch table.
// Handlers, the disassembler and the assembler all read instructions through these.
#pragma once

#include "core/Cpu.h"

#include <cassert>

inline constexpr int kOpcodeIndices = 736;

// Opcode index of an instruction whose first bytes are b0 and b1.
constexpr int OpcodeIndex(uint8_t b0, uint8_t b1) {
    return b0 >= 0xA0 ? b0 + 480 : b0 * 4 + (b1 >> 6);
}

// Loads the instruction buffer for the current PC, sets the byte position to 0 and returns the
// opcode index. Neither changes PC nor costs cycles.
VELMORA_HOT_INLINE int FetchInstruction() {
    CpuState& c = g_cpu;
    if (c.PC < kFirstExternalPc) {
        const uint8_t* w = &c.Rom[c.PC * 3];
        c.Buf[0] = w[0];
        c.Buf[1] = w[1];
        c.Buf[2] = w[2];
    } else {
        c.Buf[0] = c.Ext[c.PC & 0x7FFF];
        c.Buf[1] = c.Ext[(c.PC + 1) & 0x7FFF];
        c.Buf[2] = c.Ext[(c.PC + 2) & 0x7FFF];
    }
    c.BytePos = 0;
    return OpcodeIndex(c.Buf[0], c.Buf[1]);
}

// Every handler starts right after FetchInstruction, which left BytePos at 0, and the
// dispatcher, which set the step direction to +1. The handlers say so first: the optimiser then
// resolves the byte positions of their NextByte calls at compile time instead of testing and
// clamping BytePos at every byte. Debug builds check it.
VELMORA_HOT_INLINE void InstructionStart() {
#ifdef NDEBUG
    if (g_cpu.BytePos != 0 || g_cpu.StepDir != 1) __builtin_unreachable();
#else
    assert(g_cpu.BytePos == 0 && g_cpu.StepDir == 1);
#endif
}

// External fetch cost of one consumed byte.
inline constexpr int kExternalByteCycles = 2;

// Consumes the next byte of the instruction buffer. In the internal ROM PC moves one word when
// b0 is consumed; in external memory it moves one address per byte and each byte costs 2
// cycles. The test is made on PC as it stands at each read.
VELMORA_HOT_INLINE uint8_t NextByte() {
    CpuState& c = g_cpu;
    // No handler reads more than three bytes; the clamp only keeps a misuse inside the buffer.
    const uint8_t byte = c.Buf[c.BytePos < 2 ? c.BytePos : 2];
    if (c.PC >= kFirstExternalPc) {
        c.PC = static_cast<uint16_t>(c.PC + 1);
        c.StepCycles += kExternalByteCycles;
    } else if (c.BytePos == 0) {
        c.PC = static_cast<uint16_t>(c.PC + 1);
    }
    ++c.BytePos;
    return byte;
}

// Fetch, step direction +1, and call the handler of the dispatch entry.
void ExecuteInstruction();

// --- Operand-field decoders -----------------------------------------------------------------
// Register numbers are main-register-file indices. "as" is the AS register at decode time.

// Upper register U: 0x40 | (b1 & 0x3F).
constexpr uint8_t FieldUpper(uint8_t b1) {
    return 0x40 | (b1 & 0x3F);
}
// Full register r: b1 & 0x7F.
constexpr uint8_t FieldFull(uint8_t b1) {
    return b1 & 0x7F;
}
// Direct lower register: ((b2 & 7) << 3) | (b2 >> 5).
constexpr uint8_t FieldLowerDirect(uint8_t b2) {
    return static_cast<uint8_t>(((b2 & 7) << 3) | (b2 >> 5));
}
// Indirect lower register, chosen through AS when b2 bit 4 is set.
constexpr uint8_t FieldLowerIndirect(uint8_t b2, uint8_t as) {
    return (as & 1) ? static_cast<uint8_t>(((as >> 1) & 7) | ((b2 & 7) << 3))
                    : static_cast<uint8_t>((as >> 1) & 0x3F);
}
// Most code names its lower registers directly (the default firmware in at least 86 % of its
// register instructions), so the handlers are laid out for the direct form.
constexpr bool FieldIsIndirect(uint8_t b2) {
    return __builtin_expect((b2 & 0x10) != 0, 0);
}
// Lower register L, direct or indirect by b2 bit 4.
constexpr uint8_t FieldLower(uint8_t b2, uint8_t as) {
    return FieldIsIndirect(b2) ? FieldLowerIndirect(b2, as) : FieldLowerDirect(b2);
}
// Short immediate: b2 & 0x1F.
constexpr uint8_t FieldShortImm(uint8_t b2) {
    return b2 & 0x1F;
}

// Block fields of the register runs.
constexpr uint8_t FieldUpperBlockStart(uint8_t b1) {
    return 0x40 | (b1 & 0x3F);
}
constexpr uint8_t FieldUpperBlockLast(uint8_t b1, uint8_t b2) {
    return static_cast<uint8_t>(0x40 | (b1 & 0x38) | (b2 >> 5));
}
constexpr uint8_t FieldLowerBlockStartDirect(uint8_t b1, uint8_t b2) {
    return static_cast<uint8_t>((b1 & 0x07) | ((b2 & 0x07) << 3));
}
constexpr uint8_t FieldLowerBlockStart(uint8_t b1, uint8_t b2, uint8_t as) {
    return FieldIsIndirect(b2) ? FieldLowerIndirect(b2, as) : FieldLowerBlockStartDirect(b1, b2);
}
// Limit of an indirect lower block (a direct block has none).
constexpr uint8_t FieldLowerBlockLimit(uint8_t b2, uint8_t as) {
    return (as & 1) ? static_cast<uint8_t>(((as >> 4) & 0x07) | ((b2 & 0x07) << 3))
                    : static_cast<uint8_t>(((as >> 1) & 0x3F) | 0x07);
}
// Full block of the short-immediate forms: start r = b1 & 0x7F, last = (r & 0x78) | (b2 >> 5).
constexpr uint8_t FieldFullBlockLast(uint8_t b1, uint8_t b2) {
    return static_cast<uint8_t>((b1 & 0x78) | (b2 >> 5));
}

// Step the low three bits of a register number inside its group of eight.
constexpr uint8_t GroupStep(uint8_t reg, int dir) {
    return static_cast<uint8_t>((reg & 0x78) | ((reg + dir) & 7));
}
// Bytes of a run from first to last, walking in direction dir inside one group of eight.
constexpr int RunLength(uint8_t first, uint8_t last, int dir) {
    return (((last - first) * dir) & 7) + 1;
}
// Whether `count` bytes from reg in direction dir stay inside reg's group without wrapping, so
// that the walk may step the register number itself (GroupStep is then reg + dir).
constexpr bool StaysInGroup(uint8_t reg, int count, int dir) {
    return dir > 0 ? (reg & 7) + count <= 8 : (reg & 7) + 1 >= count;
}
// Walks `count` bytes in direction kDir from a, and from b in step with it, each inside its own
// group of eight: calls each(a, b) for every byte but the last, and leaves a and b at the last.
template <int kDir, typename Each>
VELMORA_HOT_INLINE void WalkToLast(uint8_t& a, uint8_t& b, int count, Each each) {
    if (StaysInGroup(a, count, kDir) && StaysInGroup(b, count, kDir)) {
        for (int i = 1; i < count; ++i) {
            each(a, b);
            a = static_cast<uint8_t>(a + kDir);
            b = static_cast<uint8_t>(b + kDir);
        }
    } else {
        for (int i = 1; i < count; ++i) {
            each(a, b);
            a = GroupStep(a, kDir);
            b = GroupStep(b, kDir);
        }
    }
}
template <int kDir, typename Each>
VELMORA_HOT_INLINE void WalkToLast(uint8_t& reg, int count, Each each) {
    uint8_t same = reg;
    WalkToLast<kDir>(reg, same, count, [&](uint8_t r, uint8_t) { each(r); });
}
