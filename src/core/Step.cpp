// The execution cycle: idle steps in the halt states, interrupt entry by priority, or one
// instruction. Also the interrupt request and the processor reset.
#include "core/Cpu.h"
#include "core/Fetch.h"
#include "exec/Stack.h"

namespace {
constexpr int kHaltStepCycles = 6;
constexpr int kInterruptEntryCycles = 10;
constexpr int kSources = 4;
// Source i jumps through pointer register 6 - i: source 0 uses v0, source 3 uses v3.
constexpr int VectorOf(int source) {
    return kV0 - source;
}
} // namespace

void CpuStep() {
    CpuState& c = g_cpu;
    if (c.OFF | c.WAIT) {
        c.StepCycles += kHaltStepCycles;
        return;
    }
    // Nothing both requested and enabled: the scan below could not enter an interrupt.
    if ((c.IE & c.IRQ & 0x0F) != 0) {
        for (int i = 0; i < kSources; ++i) {
            const uint8_t m = static_cast<uint8_t>(1 << i);
            if (c.ISR & m) break; // this source's routine runs; it and lower ones wait
            if (c.IE & c.IRQ & m) {
                c.ISR |= m;
                PushWord(c.PC);
                c.PC = PtrGet(VectorOf(i));
                c.StepCycles += kInterruptEntryCycles;
                return;
            }
        }
    }
    ExecuteInstruction();
}

void RequestInterrupt(int source) {
    CpuState& c = g_cpu;
    if (!(c.IE & 0x80)) return;
    c.WAIT = 0;
    c.IRQ |= static_cast<uint8_t>(1 << (source & 3));
}

void CpuReset() {
    CpuState& c = g_cpu;
    c.PC = 0;
    c.LA = 0;
    c.DS = c.KC = c.KI = c.IE = c.PD = c.F = 0;
    c.AS = c.PE = c.S4 = c.S5 = c.S6 = c.S7 = c.S8 = c.TM = 0;
    c.ISR = 0;
    c.IRQ = 0;
    c.CycleBalance = 0;
    c.OFF = 0;
    c.WAIT = 0;
}
