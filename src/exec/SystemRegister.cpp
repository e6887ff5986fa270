// Special register transfers: pst (put) from an immediate or a register, gst (get) into a
// register. A store into IE with bit 7 clear cancels every latched and in-service interrupt;
// a store into KC makes the keyboard matrix recompute KI.
#include "core/Fetch.h"
#include "exec/Handlers.h"
#include "periph/Keyboard.h"

void WriteSpecial(SpecialReg reg, uint8_t v) {
    CpuState& c = g_cpu;
    switch (reg) {
    case SpecialReg::IE:
        c.IE = v;
        if (!(v & 0x80)) c.ISR = c.IRQ = 0;
        break;
    case SpecialReg::KC:
        c.KC = v;
        KeyboardUpdate();
        break;
    case SpecialReg::PC:
    case SpecialReg::LA: break; // 16-bit: reached through ijmp and pla only
    default: {
        // The 7-bit registers keep bit 7 clear.
        const SpecialRegInfo& r = SpecialRegOf(reg);
        c.*r.Byte = static_cast<uint8_t>(v & r.Mask);
        break;
    }
    }
}

uint8_t ReadSpecial(SpecialReg reg) {
    const SpecialRegInfo& r = SpecialRegOf(reg);
    return r.Byte ? g_cpu.*r.Byte : 0;
}

// b0 0x88-0x8B: the whole of b1 into IE, DS, KC or PD.
void PutSpecialImm(const OpArg& a) {
    InstructionStart();
    NextByte();
    WriteSpecial(a.reg, NextByte());
    g_cpu.StepCycles += kRegisterOpCycles;
}

// b0 0x8C-0x8F: b1 bit 7 picks one of a pair of 7-bit registers, bits 6-0 are the value.
void PutSpecialImm7(const OpArg& a) {
    InstructionStart();
    NextByte();
    const uint8_t b1 = NextByte();
    WriteSpecial((b1 & 0x80) ? a.reg2 : a.reg, b1 & 0x7F);
    g_cpu.StepCycles += kRegisterOpCycles;
}

// b0 0x98-0x9D, b1 bit 7 = 0: a register of the file into IE, DS, KC, PD, F or AS.
void PutSpecialReg(const OpArg& a) {
    InstructionStart();
    NextByte();
    WriteSpecial(a.reg, g_cpu.R[FieldFull(NextByte())]);
    g_cpu.StepCycles += kRegisterOpCycles;
}

// b0 0x98-0x9D, b1 bit 7 = 1: IE, DS, KI, PD, F or AS into a register of the file.
void GetSpecialReg(const OpArg& a) {
    InstructionStart();
    NextByte();
    g_cpu.R[FieldFull(NextByte())] = ReadSpecial(a.reg);
    g_cpu.StepCycles += kRegisterOpCycles;
}
