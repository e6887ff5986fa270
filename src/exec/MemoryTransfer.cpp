// Memory transfers through pointer registers: single-byte and multi-byte stores and loads with
// pointer stepping or a displacement, the repeating block transfer and the repeating search.
// None of them reads or changes a flag. A store always lands one step beyond the address the
// matching load reads: the store steps first, the load reads first.
#include "core/Fetch.h"
#include "exec/Handlers.h"

#include <type_traits>

namespace {
// Pointer steps. Each returns the address to use; the downward ones turn the step direction
// to -1, so multi-byte transfers then walk registers and addresses downward.
uint16_t PostIncrement(int p) {
    const uint16_t old = PtrGet(p);
    PtrSet(p, static_cast<uint16_t>(old + 1));
    return old;
}
uint16_t PostDecrement(int p) {
    const uint16_t old = PtrGet(p);
    PtrSet(p, static_cast<uint16_t>(old - 1));
    g_cpu.StepDir = -1;
    return old;
}
uint16_t PreIncrement(int p) {
    const uint16_t v = static_cast<uint16_t>(PtrGet(p) + 1);
    PtrSet(p, v);
    return v;
}
uint16_t PreDecrement(int p) {
    const uint16_t v = static_cast<uint16_t>(PtrGet(p) - 1);
    PtrSet(p, v);
    g_cpu.StepDir = -1;
    return v;
}
uint16_t PlusNextByte(int p) {
    return static_cast<uint16_t>(PtrGet(p) + NextByte());
}
uint16_t MinusNextByte(int p) {
    const uint8_t d = NextByte();
    g_cpu.StepDir = -1;
    return static_cast<uint16_t>(PtrGet(p) - d);
}
uint16_t PlusFiveBits(int p, uint8_t k) {
    return static_cast<uint16_t>(PtrGet(p) + (k & 0x1F));
}
uint16_t MinusFiveBits(int p, uint8_t k) {
    g_cpu.StepDir = -1;
    return static_cast<uint16_t>(PtrGet(p) - (k & 0x1F));
}

// Address of a single-byte transfer: b0 0x68-0x6B post-decrement, 0x6C-0x6F post-increment,
// 0x80-0x83 minus the displacement byte, 0x84-0x87 plus it (consumed here).
VELMORA_HOT_INLINE uint16_t SingleAddress(uint8_t b0, int p) {
    const bool up = b0 & 4;
    if (b0 < 0x80) return up ? PostIncrement(p) : PostDecrement(p);
    return up ? PlusNextByte(p) : MinusNextByte(p);
}
} // namespace

// One instantiation per b0: the pointer, its memory area and the kind of step are constants.
template <uint8_t kB0> void StoreByte(const OpArg&) {
    InstructionStart();
    CpuState& c = g_cpu;
    NextByte();
    constexpr int p = PointerOfB0(kB0);
    const uint8_t r = FieldFull(NextByte());
    uint16_t address = SingleAddress(kB0, p);
    address = static_cast<uint16_t>(address + c.StepDir);
    MemWrite(PtrArea(p), address, c.R[r]);
    c.StepCycles += kTransferCycles;
}

template <uint8_t kB0> void LoadByte(const OpArg&) {
    InstructionStart();
    CpuState& c = g_cpu;
    NextByte();
    constexpr int p = PointerOfB0(kB0);
    const uint8_t r = FieldFull(NextByte());
    const uint16_t address = SingleAddress(kB0, p);
    c.R[r] = MemRead(PtrArea(p), address);
    c.StepCycles += kTransferCycles;
}

#define VELMORA_SINGLE_TRANSFER(row)                                                               \
    template void StoreByte<row + 0>(const OpArg&);                                                \
    template void StoreByte<row + 1>(const OpArg&);                                                \
    template void StoreByte<row + 2>(const OpArg&);                                                \
    template void StoreByte<row + 3>(const OpArg&);                                                \
    template void LoadByte<row + 0>(const OpArg&);                                                 \
    template void LoadByte<row + 1>(const OpArg&);                                                 \
    template void LoadByte<row + 2>(const OpArg&);                                                 \
    template void LoadByte<row + 3>(const OpArg&);
VELMORA_SINGLE_TRANSFER(0x68)
VELMORA_SINGLE_TRANSFER(0x6C)
VELMORA_SINGLE_TRANSFER(0x80)
VELMORA_SINGLE_TRANSFER(0x84)
#undef VELMORA_SINGLE_TRANSFER

// stm/ldm with pointer stepping (b0 0x78-0x7B down, 0x7C-0x7F up). b1 bit 6 picks the upper
// block form, bit 7 the load; both are in the dispatch column, so every form is its own
// instantiation.
template <uint8_t kB0, int kColumn> void TransferRunStep(const OpArg&) {
    InstructionStart();
    constexpr int p = PointerOfB0(kB0);
    constexpr bool up = kB0 & 4, load = kColumn & 2, upperBlock = kColumn & 1;
    CpuState& c = g_cpu;
    NextByte();
    const uint8_t area = PtrArea(p);
    const uint8_t b1 = NextByte();
    const uint8_t b2 = NextByte();
    uint8_t current = upperBlock ? FieldUpperBlockStart(b1) : FieldLowerBlockStartDirect(b1, b2);
    const uint8_t last = upperBlock ? FieldUpperBlockLast(b1, b2) : FieldLowerDirect(b2);
    int bytes = 0;
    if ((current & 0x38) == 0x38) {
        // The block lies in a group that holds the pointer registers' own bytes, so a byte moved
        // may be the pointer itself: step the pointer in the register file at every byte.
        for (;;) {
            if (load) {
                const uint16_t address = up ? PostIncrement(p) : PostDecrement(p);
                c.R[current] = MemRead(area, address);
            } else {
                const uint16_t address = up ? PreIncrement(p) : PreDecrement(p);
                MemWrite(area, address, c.R[current]);
            }
            ++bytes;
            if (current == last) break;
            current = GroupStep(current, c.StepDir);
        }
    } else {
        // Otherwise the pointer stays in a local and is written back once.
        constexpr int dir = up ? 1 : -1;
        if (!up) c.StepDir = -1;
        uint16_t pointer = PtrGet(p);
        bytes = RunLength(current, last, dir);
        // The area is the same for every byte: the walk is compiled once for RAM, with the area
        // a constant, and once for any area.
        const auto walk = [&](auto memoryArea) {
            const auto move = [&](uint8_t reg) {
                if (load) {
                    c.R[reg] = MemRead(memoryArea, pointer);
                    pointer = static_cast<uint16_t>(pointer + dir);
                } else {
                    pointer = static_cast<uint16_t>(pointer + dir);
                    MemWrite(memoryArea, pointer, c.R[reg]);
                }
            };
            WalkToLast<dir>(current, bytes, move);
            move(current);
        };
        if (area == 3)
            walk(std::integral_constant<uint8_t, 3>{});
        else
            walk(area);
        PtrSet(p, pointer);
    }
    c.StepCycles += (bytes + 1) * kRegisterOpCycles;
}

#define VELMORA_TRANSFER_RUN_STEP(b0)                                                              \
    template void TransferRunStep<b0, 0>(const OpArg&);                                            \
    template void TransferRunStep<b0, 1>(const OpArg&);                                            \
    template void TransferRunStep<b0, 2>(const OpArg&);                                            \
    template void TransferRunStep<b0, 3>(const OpArg&);
VELMORA_TRANSFER_RUN_STEP(0x78)
VELMORA_TRANSFER_RUN_STEP(0x79)
VELMORA_TRANSFER_RUN_STEP(0x7A)
VELMORA_TRANSFER_RUN_STEP(0x7B)
VELMORA_TRANSFER_RUN_STEP(0x7C)
VELMORA_TRANSFER_RUN_STEP(0x7D)
VELMORA_TRANSFER_RUN_STEP(0x7E)
VELMORA_TRANSFER_RUN_STEP(0x7F)
#undef VELMORA_TRANSFER_RUN_STEP

// stm/ldm with a 5-bit displacement (b0 0x90-0x93 subtract, 0x94-0x97 add); P is unchanged.
void TransferRunDisplaced(const OpArg&) {
    InstructionStart();
    CpuState& c = g_cpu;
    constexpr int kStoreExtraCycles = 6, kLoadExtraCycles = 4;
    const uint8_t b0 = NextByte();
    const int p = PointerOfB0(b0);
    const uint8_t area = PtrArea(p);
    const uint8_t b1 = NextByte();
    const uint8_t b2 = NextByte();
    uint8_t current = FieldFull(b1);
    const uint8_t last = FieldFullBlockLast(b1, b2);
    uint16_t address = (b0 & 4) ? PlusFiveBits(p, b2) : MinusFiveBits(p, b2);
    if (b1 & 0x80) {
        for (;;) {
            c.R[current] = MemRead(area, address);
            c.StepCycles += kRegisterOpCycles;
            if (current == last) break;
            address = static_cast<uint16_t>(address + c.StepDir);
            current = GroupStep(current, c.StepDir);
        }
        c.StepCycles += kLoadExtraCycles;
    } else {
        for (;;) {
            address = static_cast<uint16_t>(address + c.StepDir);
            MemWrite(area, address, c.R[current]);
            c.StepCycles += kRegisterOpCycles;
            if (current == last) break;
            current = GroupStep(current, c.StepDir);
        }
        c.StepCycles += kStoreExtraCycles;
    }
}

// bdn/bup: one byte from [ix] (area of ix) to [iy] (area of iy) per step; while the counter
// register is not yet 0, PC goes back to the instruction, so each repetition is a full step
// that interrupts, the debugger and the cycle budget all see.
void BlockTransfer(const OpArg&) {
    InstructionStart();
    CpuState& c = g_cpu;
    const uint16_t start = c.PC;
    NextByte();
    const uint8_t b1 = NextByte();
    const uint8_t counter = FieldFull(b1);
    const bool up = b1 & 0x80;
    const uint16_t source = up ? PreIncrement(kIx) : PreDecrement(kIx);
    const uint8_t value = MemRead(PtrArea(kIx), source);
    const uint16_t target = up ? PreIncrement(kIy) : PreDecrement(kIy);
    MemWrite(PtrArea(kIy), target, value);
    c.R[counter] = static_cast<uint8_t>(c.R[counter] - 1);
    if (c.R[counter] != 0) c.PC = start;
    c.StepCycles += kRepeatCycles;
}

// sdn/sup: steps ix and compares the byte there with the compare register; repeats while it
// differs and the counter has not reached 0.
void BlockSearch(const OpArg&) {
    InstructionStart();
    CpuState& c = g_cpu;
    const uint16_t start = c.PC;
    NextByte();
    const uint8_t b1 = NextByte();
    const uint8_t counter = FieldFull(b1);
    c.R[counter] = static_cast<uint8_t>(c.R[counter] - 1);
    const uint16_t address = (b1 & 0x80) ? PreIncrement(kIx) : PreDecrement(kIx);
    const uint8_t value = MemRead(PtrArea(kIx), address);
    const uint8_t compare = FieldLower(NextByte(), c.AS);
    if (value != c.R[compare] && c.R[counter] != 0) c.PC = start;
    c.StepCycles += kRepeatCycles;
}
