// Fuzz target for the state reader. The input is loaded twice: as it is, and with its checksum
// made right (so that damage behind the checksum reaches the chunk and field checks). A refused
// state must leave the machine exactly as it was; an accepted one must run (run ticks and
// debugger steps, on code tiled from the input) with the processor's invariants kept, and save
// back to the same bytes it loads from.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "host/Rewind.h"
#include "host/RunLoop.h"
#include "host/State.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

void ReportWarning(std::string_view) {}

namespace {
[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "state fuzz: %s (PC %04X)\n", what, g_cpu.PC);
    std::abort();
}

std::vector<uint8_t> Image() {
    std::vector<uint8_t> image(MachineImageBytes());
    CaptureMachine(image.data());
    return image;
}

void CheckInvariants(bool afterTick) {
    const CpuState& c = g_cpu;
    if ((c.AS | c.PE | c.S4 | c.S5 | c.S6 | c.S7 | c.S8 | c.TM) & 0x80)
        Broken("a 7-bit register has bit 7 set");
    if ((c.IRQ | c.ISR) & 0xF0) Broken("interrupt registers beyond bits 0-3");
    if (c.OFF > 1 || c.WAIT > 1) Broken("halt flags not 0 or 1");
    if (afterTick && c.CycleBalance > 0) Broken("a positive balance after a tick");
    if (g_lcd.RowCycles < 0) Broken("negative row cycles");
}

void Try(const std::vector<uint8_t>& bytes) {
    ResetMachine();
    for (size_t i = 0; i < sizeof g_cpu.Rom; ++i)
        g_cpu.Rom[i] = bytes.empty() ? 0xEF : bytes[i % bytes.size()];
    for (size_t i = 0; i < sizeof g_cpu.Ext; ++i)
        g_cpu.Ext[i] = bytes.empty() ? 0xEF : bytes[(i * 7) % bytes.size()];
    StartEmulation();
    g_run.CyclesPerTick = 3000;
    RewindEnable(true);
    const std::vector<uint8_t> before = Image();
    const RunState run = g_run;

    const StateLoadResult r = LoadState(bytes);
    if (!r.Ok()) {
        if (r.Error.find('\n') != std::string::npos) Broken("a message of more than one line");
        if (Image() != before || std::memcmp(&g_run, &run, sizeof run) != 0)
            Broken("a refused state changed the machine");
        return;
    }
    // Saved again it loads again, to the same machine and the same bytes.
    const std::vector<uint8_t> loaded = Image();
    const std::vector<uint8_t> again = SaveState(r.Counts);
    if (!LoadState(again).Ok() || Image() != loaded) Broken("a saved state did not load back");
    if (SaveState(r.Counts) != again) Broken("save, load, save gave other bytes");

    for (int tick = 0; tick < 4; ++tick) {
        // A state may hold up to a whole tick's grant of its own: the count keeps each tick short.
        g_run.StopRequest = 0;
        g_run.StepCount = 5000;
        OnRunTimer();
        CheckInvariants(true);
        if (tick == 1) {
            SetKeySlot(KeySlot::Mouse, 14);
            SetKeySlot(KeySlot::Keyboard, 46);
        }
        if (tick == 2) OnRefreshTimer();
    }
    DebuggerShown();
    for (int i = 0; i < 8; ++i) DebuggerSingleStep();
    for (int i = 0; i < 12 && CanStepBack(); ++i)
        if (const std::string why = StepBack(); !why.empty()) {
            std::fprintf(stderr, "%s\n", why.c_str());
            Broken("step back refused after recorded steps only");
        }
    CheckInvariants(false); // stepped back into a tick: what is left of its grant may remain
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    Try(bytes);
    if (size >= 12) {
        const uLong crc = crc32(0, bytes.data(), static_cast<uInt>(size - 4));
        for (int i = 0; i < 4; ++i) bytes[size - 4 + i] = static_cast<uint8_t>(crc >> 8 * i);
        Try(bytes);
    }
    return 0;
}
