// Fuzz target for the processor: the input becomes the special registers, the register file
// and (tiled) the internal ROM, external memory and RAM; then up to some thousands of steps run
// as the run loop runs them, with the invariants checked after every step.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "core/SystemRegs.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

void ReportWarning(std::string_view) {}

namespace {
// The costliest step: stm with a displacement over eight bytes (38) from external memory (3
// bytes, 6) plus one display transfer (4).
constexpr int kMaxStepCycles = 48;
constexpr int kMaxSteps = 4000;

[[noreturn]] void Broken(const char* what, int step) {
    std::fprintf(stderr, "invariant broken after step %d: %s (PC %04X)\n", step, what, g_cpu.PC);
    std::abort();
}

void Fill(uint8_t* dst, size_t size, const uint8_t* data, size_t n) {
    for (size_t i = 0; i < size; ++i) dst[i] = data[i % n];
}

uint64_t Hash(const uint8_t* p, size_t n) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kHeader = 24;
    if (size < kHeader + 4) return 0;
    ResetMachine();
    CpuState& c = g_cpu;
    const uint8_t* h = data;
    // The special registers, each masked to its width: PC and LA from bytes 0-3, then a byte each
    // in the order of the special-register table.
    for (int i = 0; i < kSpecialRegCount; ++i) {
        const SpecialRegInfo& r = kSpecialRegTable[i];
        SpecialRegStore(r.Reg, r.Width > 8 ? h[2 * i] << 8 | h[2 * i + 1] : h[2 + i]);
    }
    c.IRQ = h[18] & 0x0F;
    c.ISR = h[19] & 0x0F;
    c.OFF = h[20] & 1;
    c.WAIT = h[21] & 1;
    g_kbd.MouseKey = h[22] % 64;
    g_kbd.KeyboardKey = h[23] % 64;
    const uint8_t* body = data + kHeader;
    const size_t n = size - kHeader;
    Fill(c.R, sizeof c.R, body, n);
    Fill(c.Rom, sizeof c.Rom, body, n);
    Fill(c.Ext, sizeof c.Ext, body + n / 2, n - n / 2);
    Fill(c.Ram, sizeof c.Ram, body + n / 3, n - n / 3);
    const uint64_t romHash = Hash(c.Rom, sizeof c.Rom), extHash = Hash(c.Ext, sizeof c.Ext);

    const int steps = 256 + (h[0] ^ h[5]) * 15;
    for (int i = 0; i < steps && i < kMaxSteps; ++i) {
        c.StepCycles = 0;
        CpuStep();
        LcdStep();
        if (c.StepCycles < 0 || c.StepCycles > kMaxStepCycles)
            Broken("step cycles out of range", i);
        for (const SpecialRegInfo& r : kSpecialRegTable)
            if (SpecialRegValue(r.Reg) != (r.Word ? c.*r.Word : c.*r.Byte))
                Broken("a special register has bits beyond its width", i);
        if ((c.IRQ | c.ISR) & 0xF0) Broken("interrupt registers beyond bits 0-3", i);
        if (c.OFF > 1 || c.WAIT > 1) Broken("halt flags not 0 or 1", i);
        if (c.StepDir != 1 && c.StepDir != -1) Broken("step direction not +1 or -1", i);
        if ((i & 1023) == 1023 &&
            (Hash(c.Rom, sizeof c.Rom) != romHash || Hash(c.Ext, sizeof c.Ext) != extHash))
            Broken("execution changed the internal ROM or external memory", i);
    }
    if (Hash(c.Rom, sizeof c.Rom) != romHash || Hash(c.Ext, sizeof c.Ext) != extHash)
        Broken("execution changed the internal ROM or external memory", steps);
    return 0;
}
