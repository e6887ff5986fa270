// The return-address stack: 16-bit addresses in RAM below sp, high byte at the lower address.
// Always area 3, whatever DS says. Used by calls, returns, trp and interrupt entry.
#pragma once

#include "core/Cpu.h"

VELMORA_HOT_INLINE void PushWord(uint16_t value) {
    CpuState& c = g_cpu;
    uint16_t sp = PtrGet(kSp);
    sp = static_cast<uint16_t>(sp - 1);
    if (g_ramWatch.On & 1) [[unlikely]]
        RamWatchWrite(sp & 0x1FFF, static_cast<uint8_t>(value));
    c.Ram[sp & 0x1FFF] = static_cast<uint8_t>(value);
    sp = static_cast<uint16_t>(sp - 1);
    if (g_ramWatch.On & 1) [[unlikely]]
        RamWatchWrite(sp & 0x1FFF, static_cast<uint8_t>(value >> 8));
    c.Ram[sp & 0x1FFF] = static_cast<uint8_t>(value >> 8);
    PtrSet(kSp, sp);
    c.StepDir = -1;
}

VELMORA_HOT_INLINE uint16_t PopWord() {
    CpuState& c = g_cpu;
    uint16_t sp = PtrGet(kSp);
    if (g_ramWatch.On & 2) [[unlikely]] {
        RamWatchRead(sp & 0x1FFF);
        RamWatchRead(static_cast<uint16_t>(sp + 1) & 0x1FFF);
    }
    const uint8_t high = c.Ram[sp & 0x1FFF];
    sp = static_cast<uint16_t>(sp + 1);
    const uint8_t low = c.Ram[sp & 0x1FFF];
    sp = static_cast<uint16_t>(sp + 1);
    PtrSet(kSp, sp);
    return static_cast<uint16_t>(high << 8 | low);
}
