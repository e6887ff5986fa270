// The decoder: one instruction read from a code address into a value, without touching the
// machine. The disassembler formats that value; the listing, velmora-dis and the debugger walk
// code with it.
#pragma once

#include "core/Fetch.h"
#include "core/Instructions.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

// The operand fields of the instruction's bytes, decoded as the listing shows them: the lower
// register always from its direct fields, with Indirect telling that the processor would take it
// through AS.
struct InstructionFields {
    uint8_t Reg = 0;        // R = b1 & 0x7F
    uint8_t Upper = 0;      // U = 0x40 | (b1 & 0x3F)
    uint8_t UpperLast = 0;  // Ue = 0x40 | (b1 & 0x38) | (b2 >> 5)
    uint8_t Lower = 0;      // L = ((b2 & 7) << 3) | (b2 >> 5)
    uint8_t LowerStart = 0; // Ls = ((b2 & 7) << 3) | (b1 & 7)
    uint8_t RunLast = 0;    // E = (b1 & 0x78) | (b2 >> 5)
    bool Indirect = false;  // b2 bit 4
    uint8_t Pointer = 0;    // b0 & 3: ix, iy, iz, sp
    bool StepUp = false;    // b0 bit 2: "+" rather than "-"
    uint8_t Condition = 0;  // b0 & 0x0F: bit 3 set for k..c, clear for nk..nc; 7 and 15 always
};

struct DecodedInstruction {
    uint16_t Address = 0; // below 0x1800 an internal ROM word, from 0x1800 an external byte address
    uint16_t Next = 0;    // where PC stands once execution has consumed the instruction's bytes
    int Index = 0;        // opcode index
    uint8_t Length = 1;   // bytes of the instruction, 1 to 3 (FormatLength of its format)
    std::array<uint8_t, 3> Bytes{}; // b0, b1, b2; the bytes past Length are 0
    uint8_t Page = 0;               // high byte of PC once b0 is consumed: the short jumps' page
    InstructionFields Fields;

    const InstructionInfo& Info() const { return kInstructions[Index]; }
    // The mnemonic as the listing writes it ("stlm" for the stm forms marked by b2 bit 3).
    std::string_view Mnemonic() const {
        return IsStlm(Index, Bytes[2]) ? kStlmMnemonic : Info().Mnemonic;
    }
};

// The instruction at a code address: the bytes of internal ROM word `address`, or the external
// bytes from `address` on (offsets wrapping at 32 KB), read as FetchInstruction reads them, and
// consumed as NextByte consumes them. Reads the ROM and external memory; changes nothing.
DecodedInstruction Decode(uint16_t address);

// Up to count instructions from address `from` on, each decoded at the address where the one
// before ended (its Next), stopping after the one at which the address wraps past 0xFFFF: the
// walk of the code listing.
std::vector<DecodedInstruction> DecodeRun(uint16_t from, int count);
