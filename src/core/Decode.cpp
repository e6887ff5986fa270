// Decode: the fetch window, the opcode index, the length from the instruction table and the
// program counter's walk over the consumed bytes, all computed aside from the machine.
#include "core/Decode.h"

DecodedInstruction Decode(uint16_t address) {
    const CpuState& c = g_cpu;
    DecodedInstruction d;
    d.Address = address;
    std::array<uint8_t, 3> window;
    for (int k = 0; k < 3; ++k)
        window[k] = address < kFirstExternalPc ? c.Rom[address * 3 + k]
                                               : c.Ext[(address + k) & (kExtBytes - 1)];
    d.Index = OpcodeIndex(window[0], window[1]);
    d.Length = kInstructions[d.Index].Length;
    // NextByte's walk: one address per byte read while PC is external, one word at b0 while it
    // is internal. PC is tested at each read, so the last internal word continues into external
    // memory and 0xFFFF wraps into the internal ROM.
    uint16_t pc = address;
    for (int k = 0; k < d.Length; ++k) {
        d.Bytes[k] = window[k];
        if (pc >= kFirstExternalPc || k == 0) pc = static_cast<uint16_t>(pc + 1);
        if (k == 0) d.Page = static_cast<uint8_t>(pc >> 8);
    }
    d.Next = pc;

    const uint8_t b0 = d.Bytes[0], b1 = d.Bytes[1], b2 = d.Bytes[2];
    InstructionFields& f = d.Fields;
    f.Reg = FieldFull(b1);
    f.Upper = FieldUpper(b1);
    f.UpperLast = FieldUpperBlockLast(b1, b2);
    f.Lower = FieldLowerDirect(b2);
    f.LowerStart = FieldLowerBlockStartDirect(b1, b2);
    f.RunLast = FieldFullBlockLast(b1, b2);
    f.Indirect = FieldIsIndirect(b2);
    f.Pointer = b0 & 3;
    f.StepUp = (b0 & 4) != 0;
    f.Condition = b0 & 0x0F;
    return d;
}

std::vector<DecodedInstruction> DecodeRun(uint16_t from, int count) {
    std::vector<DecodedInstruction> run;
    if (count > 0) run.reserve(static_cast<size_t>(count));
    uint16_t address = from;
    for (int i = 0; i < count; ++i) {
        run.push_back(Decode(address));
        address = run.back().Next;
        if (address < from) break; // wrapped past 0xFFFF
    }
    return run;
}
