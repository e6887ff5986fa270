// Placeholder until the instruction families land: consumes the opcode byte only.
#include "core/Fetch.h"

void ExecuteInstruction() {
    FetchInstruction();
    g_cpu.StepDir = 1;
    NextByte();
    g_cpu.StepCycles += 4;
}
