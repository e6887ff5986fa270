// Instruction forms: one handler per form, reached only through the dispatch table. A handler
// consumes its bytes through NextByte, applies the flag preset, walks the register run and
// charges the base cycles; the ALU operation, a template argument of the handler, does the byte
// arithmetic.
//
// Legend: Lo / Up = the lower or upper register operand is the destination; Test = the form
// works on scratch copies so that only F changes; Imm = immediate operand; Run = a run of bytes
// inside one group of eight registers.
#pragma once

#include "core/Cpu.h"
#include "core/SystemRegs.h"
#include "exec/Alu.h"

enum class Preset : uint8_t {
    None,      // moves, exchanges, digit swaps: F untouched
    Clear,     // F := 0x10
    KeepCarry, // F := (F & C) | 0x10
};

struct OpArg {
    SpecialReg reg = SpecialReg::IE;  // pst/gst target; PC or LA for ijmp/pla
    SpecialReg reg2 = SpecialReg::IE; // second register of the 7-bit pst pairs (b1 bit 7 = 1)
};

using Handler = void (*)(const OpArg&);

VELMORA_HOT_INLINE void ApplyPreset(Preset p) {
    if (p == Preset::Clear)
        g_cpu.F = kFlagZ;
    else if (p == Preset::KeepCarry)
        g_cpu.F = static_cast<uint8_t>((g_cpu.F & kFlagC) | kFlagZ);
}

// Pointer register named by b0 & 3 in the transfers and in adw/sbw: ix, iy, iz or sp.
constexpr int PointerOfB0(uint8_t b0) {
    return (b0 & 3) == 3 ? kSp : (b0 & 3);
}

// Base cycle costs.
inline constexpr int kRegisterOpCycles = 4; // also per byte of a run
inline constexpr int kMemoryOpCycles = 8;
inline constexpr int kMemoryTestCycles = 6;
inline constexpr int kPointerRegisterOperandCycles = 2;
inline constexpr int kTransferCycles = 10;
inline constexpr int kRepeatCycles = 12;

// Handlers of the forms that apply an ALU operation are templates over the operation and its
// flag preset, defined in RegisterByte.h, RegisterRun.h, SingleRegister.h and MemoryPointer.h.

// Control transfer. The conditional forms are one instantiation per b0 (so per condition).
template <uint8_t kB0> void Jump(const OpArg& a);
template <uint8_t kB0> void Call(const OpArg& a);
template <uint8_t kB0> void Return(const OpArg& a);
template <uint8_t kB0> void ShortJump(const OpArg& a);
template <uint8_t kB0> void ShortCall(const OpArg& a);
void ReturnFromInterrupt(const OpArg& a);
void Trap(const OpArg& a);
void LoadPair(const OpArg& a); // ijmp (reg = PC) and pla (reg = LA)
void PowerOff(const OpArg& a);
void Wait(const OpArg& a);
void NoOperation(const OpArg& a);

// Memory transfers through pointer registers.
template <uint8_t kB0> void StoreByte(const OpArg& a); // b0 0x68-0x6F, 0x80-0x87
template <uint8_t kB0> void LoadByte(const OpArg& a);
template <uint8_t kB0, int kColumn> void TransferRunStep(const OpArg& a); // b0 0x78-0x7F
void TransferRunDisplaced(const OpArg& a);
void BlockTransfer(const OpArg& a);
void BlockSearch(const OpArg& a);

// Special register transfers.
void PutSpecialImm(const OpArg& a);
void PutSpecialImm7(const OpArg& a);
void PutSpecialReg(const OpArg& a);
void GetSpecialReg(const OpArg& a);
void WriteSpecial(SpecialReg reg, uint8_t value);
uint8_t ReadSpecial(SpecialReg reg);
