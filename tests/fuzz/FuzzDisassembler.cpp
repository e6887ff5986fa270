// Fuzz target for the disassembler and the listing. The input gives a start address and a row
// count (bytes 0-3, the count signed), a few bytes of machine state (bytes 4-7: PC, the step
// cycle counter, the instruction buffer's byte position) and, tiled, the internal ROM and
// external memory (the rest). Checked:
//   - listing changes nothing: the processor, the LCD controller, the keyboard, the run loop and
//     the debug window's state, the memories and the step cycle counter are bit for bit as
//     before, after DisListing, the debug pane's drawing and its row search;
//   - the listing has at most the rows asked for, and no more than it takes to wrap past
//     0xFFFF; every row starts with its address, the first at the start address, each later one
//     where the walk of the one before ended;
//   - each row's walk is the one execution makes: FetchInstruction and NextByte, once per byte
//     of the row's length, leave PC where Decode says the next row starts, and read the same
//     bytes.
#include "core/Cpu.h"
#include "core/Decode.h"
#include "core/Machine.h"
#include "debug/DebugPanes.h"
#include "debug/Dis.h"
#include "host/RunLoop.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

void ReportWarning(std::string_view) {}

namespace {
[[noreturn]] void Broken(const char* what, const std::string& row) {
    std::fprintf(stderr, "invariant broken: %s (%s)\n", what, row.c_str());
    std::abort();
}

// DST filled with the N bytes at DATA, repeated.
void Fill(uint8_t* dst, size_t size, const uint8_t* data, size_t n) {
    for (size_t i = 0; i < size; i += n) std::memcpy(dst + i, data, std::min(n, size - i));
}

// Every global state struct of the machine and the debug window, as raw bytes.
struct Snapshot {
    CpuState cpu;
    LcdState lcd;
    KeyboardState kbd;
    RunState run;
    DebugState debug;
};

void Take(Snapshot& s) {
    std::memcpy(&s.cpu, &g_cpu, sizeof g_cpu);
    std::memcpy(&s.lcd, &g_lcd, sizeof g_lcd);
    std::memcpy(&s.kbd, &g_kbd, sizeof g_kbd);
    std::memcpy(&s.run, &g_run, sizeof g_run);
    std::memcpy(&s.debug, &g_debug, sizeof g_debug);
}

bool Same(const Snapshot& s) {
    return std::memcmp(&s.cpu, &g_cpu, sizeof g_cpu) == 0 &&
           std::memcmp(&s.lcd, &g_lcd, sizeof g_lcd) == 0 &&
           std::memcmp(&s.kbd, &g_kbd, sizeof g_kbd) == 0 &&
           std::memcmp(&s.run, &g_run, sizeof g_run) == 0 &&
           std::memcmp(&s.debug, &g_debug, sizeof g_debug) == 0;
}

int HexValue(const std::string& s) {
    int v = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = s[i];
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

// Executes the fetch walk of the instruction at address, as the processor's NextByte makes it,
// on the real machine state (restored by the caller).
uint16_t FetchWalk(uint16_t address, int length, uint8_t* bytes) {
    g_cpu.PC = address;
    FetchInstruction();
    for (int k = 0; k < length; ++k) bytes[k] = NextByte();
    return g_cpu.PC;
}

const auto g_before = std::make_unique<Snapshot>();
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kHeader = 8;
    if (size < kHeader + 1) return 0;
    ResetMachine();
    CpuState& c = g_cpu;
    const uint16_t from = static_cast<uint16_t>(data[0] << 8 | data[1]);
    const int count = static_cast<int16_t>(data[2] << 8 | data[3]) % 1024; // -1023 .. 1023
    c.PC = static_cast<uint16_t>(data[4] << 8 | data[5]);
    c.StepCycles = data[6];
    c.BytePos = data[7] % 3;
    Fill(c.Rom, sizeof c.Rom, data + kHeader, size - kHeader);
    Fill(c.Ext, sizeof c.Ext, data + kHeader + (size - kHeader) / 2,
         size - kHeader - (size - kHeader) / 2);
    g_debug.ListTop = from;
    Take(*g_before);

    const std::vector<std::string> rows = DisListing(from, count);
    const PaneDrawing pane = ListDrawing(std::max(count, 0) % 64);
    const int rowAddress = ListRowAddress(std::max(count, 0) % 64);
    if (!Same(*g_before)) Broken("listing changed the machine or the debug window's state", "");
    (void)pane;
    (void)rowAddress;

    if (static_cast<int>(rows.size()) > (count > 0 ? count : 0)) Broken("more rows than asked", "");
    // Walk the same instructions again one by one: each row must be the one at the address the
    // walk has reached, and the listing may stop early only after wrapping past 0xFFFF.
    uint16_t at = from;
    bool wrapped = false;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string& row = rows[i];
        if (row.size() < 6 || row[4] != ':' || HexValue(row) != at)
            Broken("a row without its address", row);
        if (wrapped) Broken("rows after the wrap past 0xFFFF", row);
        const DecodedInstruction d = Decode(at);
        if (ListingRow(d) != row) Broken("a row that the walk does not give again", row);
        uint8_t bytes[3] = {};
        if (FetchWalk(at, d.Length, bytes) != d.Next) Broken("the walk ends elsewhere", row);
        if (!std::equal(bytes, bytes + d.Length, d.Bytes.begin()))
            Broken("the walk reads other bytes", row);
        at = d.Next;
        wrapped = at < from;
    }
    if (static_cast<int>(rows.size()) < count && !wrapped)
        Broken("the listing stopped early without wrapping", rows.empty() ? "" : rows.back());
    return 0;
}
