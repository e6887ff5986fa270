// The processor: its registers, flags, main register file, the four memories and the
// bookkeeping of the core (interrupt latches, halt flags, cycle counter, step direction,
// instruction buffer). There is exactly one processor, held in the global g_cpu.
#pragma once

#include <cstddef>
#include <cstdint>

// Small functions on the step path: the optimiser is told to inline them everywhere, since it
// otherwise keeps some of them as calls in the larger handlers.
#define VELMORA_HOT_INLINE [[gnu::always_inline]] inline

// Sizes of the memories.
inline constexpr int kRomWords = 6144;          // internal ROM: 3-byte instruction words
inline constexpr int kRomBytes = kRomWords * 3; // 18432
inline constexpr int kExtBytes = 32768;         // external memory (area 0)
inline constexpr int kRamBytes = 8192;          // RAM (area 3)
inline constexpr int kRegBytes = 128;           // main register file
inline constexpr uint16_t kFirstExternalPc = 0x1800;

// Flag register bits. Bits 1 and 0 carry no flag; only a direct write of f sets them.
inline constexpr uint8_t kFlagC = 0x80;
inline constexpr uint8_t kFlagH = 0x40;
inline constexpr uint8_t kFlagV = 0x20;
inline constexpr uint8_t kFlagZ = 0x10;
inline constexpr uint8_t kFlagUZ = 0x08;
inline constexpr uint8_t kFlagLZ = 0x04;

// Pointer registers live in the main register file: low byte at 0x38 + p, high at 0x78 + p.
enum PointerReg : int { kIx = 0, kIy = 1, kIz = 2, kV3 = 3, kV2 = 4, kV1 = 5, kV0 = 6, kSp = 7 };
inline constexpr int kPtrLow = 0x38;
inline constexpr int kPtrHigh = 0x78;
inline constexpr int kTrapLow = 0x37;  // trap vector, low byte
inline constexpr int kTrapHigh = 0x77; // trap vector, high byte

struct CpuState {
    // Special registers. The 7-bit ones (AS, PE, S4..S8, TM) always have bit 7 clear.
    uint16_t PC = 0; // 0x0000-0x17FF: internal ROM word; 0x1800-0xFFFF: external byte address
    uint16_t LA = 0; // display address used by the LCD transfer
    uint8_t KC = 0;  // key output (strobe); "ky" for pst
    uint8_t KI = 0;  // key input, computed by KeyboardUpdate; "ky" for gst
    uint8_t IE = 0;  // interrupt enable: bit 7 master, bits 0-3 the four sources
    uint8_t DS = 0;  // memory area of ix/iz (bits 1-0), iy (3-2), sp (5-4)
    uint8_t PD = 0;  // general byte
    uint8_t AS = 0;  // indirect selector of the lower register operand
    uint8_t PE = 0;  // LCD control: bit 6 is the transfer direction
    uint8_t S4 = 0;
    uint8_t S5 = 0; // LCD row period in units of 16 cycles
    uint8_t S6 = 0; // LCD enable (bit 0) and row count (bits 1-3)
    uint8_t S7 = 0; // LCD bytes per row minus one
    uint8_t S8 = 0;
    uint8_t TM = 0; // timer: rows per interrupt of source 3, 0 = off
    uint8_t F = 0;  // flag register f

    uint8_t R[kRegBytes] = {}; // main register file R[0x00]..R[0x7F]

    // Core variables, not addressable by instructions.
    uint8_t IRQ = 0;          // interrupt request register, bits 0-3
    uint8_t ISR = 0;          // interrupt in-service register, bits 0-3
    uint8_t OFF = 0;          // off flag, set by `off`
    uint8_t WAIT = 0;         // wait flag, set by `wai`
    int32_t StepCycles = 0;   // cycles of the current step
    int16_t StepDir = 1;      // +1, or -1 after a downward operation
    uint8_t Buf[3] = {};      // instruction buffer b0 b1 b2
    int32_t BytePos = 0;      // index of the next byte of Buf to consume
    int32_t CycleBalance = 0; // cycles the processor may still run in this tick

    // Memories.
    uint8_t Rom[kRomBytes] = {}; // internal ROM, word w at bytes 3w..3w+2
    uint8_t Ext[kExtBytes] = {}; // external memory, area 0
    uint8_t Ram[kRamBytes] = {}; // RAM, area 3
};

extern CpuState g_cpu;

// --- Watchpoints on RAM ---------------------------------------------------------------------
// While a watchpoint on RAM is set (debug/Break.h), the RAM accesses of instructions are
// reported to the break engine: On has bit 0 set for writes, bit 1 for reads. The engine keeps
// the first watched access of a step. With no watchpoint, an access costs one test of On.
struct RamWatchState {
    uint8_t On = 0;
    uint8_t Hit = 0; // a watched access was noted in this step
    bool Read = false;
    uint16_t Address = 0;
    uint8_t Old = 0, New = 0;
};
extern RamWatchState g_ramWatch;
[[gnu::cold]] void RamWatchWrite(uint16_t address, uint8_t value);
[[gnu::cold]] void RamWatchRead(uint16_t address);

// --- Memory areas ---------------------------------------------------------------------------
// Area 0 reads external memory and ignores writes, area 3 is RAM, areas 1 and 2 read 0xFF and
// swallow writes. Addresses wrap to the size of the memory.
VELMORA_HOT_INLINE uint8_t MemRead(uint8_t area, uint16_t address) {
    switch (area & 3) {
    case 0: return g_cpu.Ext[address & 0x7FFF];
    case 3:
        if (g_ramWatch.On & 2) [[unlikely]]
            RamWatchRead(address & 0x1FFF);
        return g_cpu.Ram[address & 0x1FFF];
    default: return 0xFF;
    }
}

VELMORA_HOT_INLINE void MemWrite(uint8_t area, uint16_t address, uint8_t value) {
    if ((area & 3) == 3) {
        if (g_ramWatch.On & 1) [[unlikely]]
            RamWatchWrite(address & 0x1FFF, value);
        g_cpu.Ram[address & 0x1FFF] = value;
    }
}

// --- Pointer registers ----------------------------------------------------------------------
VELMORA_HOT_INLINE uint16_t PtrGet(int p) {
    return static_cast<uint16_t>(g_cpu.R[kPtrHigh + p] << 8 | g_cpu.R[kPtrLow + p]);
}

VELMORA_HOT_INLINE void PtrSet(int p, uint16_t value) {
    g_cpu.R[kPtrLow + p] = static_cast<uint8_t>(value);
    g_cpu.R[kPtrHigh + p] = static_cast<uint8_t>(value >> 8);
}

// Memory area that DS gives pointer register p: ix and iz bits 1-0, iy bits 3-2, sp bits 5-4.
// The vector registers v3..v0 never address data; they are given the ix area.
VELMORA_HOT_INLINE uint8_t PtrArea(int p) {
    switch (p) {
    case kIy: return (g_cpu.DS >> 2) & 3;
    case kSp: return (g_cpu.DS >> 4) & 3;
    default: return g_cpu.DS & 3;
    }
}

// --- Execution cycle (Step.cpp) -------------------------------------------------------------
// One step: idles 6 cycles while off or waiting, or enters an interrupt, or executes one
// instruction. Adds its cycles to StepCycles without clearing it first.
void CpuStep();
// Latches a request of source 0..3 while IE bit 7 is set, and ends a wait.
void RequestInterrupt(int source);
// Processor reset: registers, latches and halt flags; memories and register file untouched.
void CpuReset();
