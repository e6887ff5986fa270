// Fuzz target for the paced key input with pasted text, the one reader of outside text in it
// (the clipboard). The input is a list of three-byte records: a record starting 0xFF is a PC key
// press (second byte: key code, third: which PC key) or, with a third byte of 0xFF, the release
// of the key pressed last; any other record is one code point (its 21 low bits) of text pasted
// in chunks. Between records run ticks with a firmware that scans. Every value the keyboard slot
// takes must be 0, Enter or a key some character or press put there, and once the input ends
// the queue must drain within its bound.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "periph/Keyboard.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

void ReportWarning(std::string_view) {}

namespace {
[[noreturn]] void Broken(const char* what, long value) {
    std::fprintf(stderr, "invariant broken: %s (%ld)\n", what, value);
    std::abort();
}

std::set<int32_t> g_allowed;

void Tick() {
    g_cpu.KC = 0xFF;
    KeyboardUpdate();
    PacedKeyTick();
    if (!g_allowed.count(g_kbd.KeyboardKey)) Broken("a key nobody typed", g_kbd.KeyboardKey);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetMachine();
    // Key map bytes of every kind: 0 (no key), 1 and 2, face keys, codes above 62.
    for (int c = 32; c < 128; ++c) g_kbd.KeyMap[c] = static_cast<uint8_t>((c * 7 + size) % 70);
    g_allowed = {0, 61};
    for (int c = 32; c < 128; ++c) g_allowed.insert(g_kbd.KeyMap[c]);
    std::u32string text;
    size_t changes = 0;
    uint32_t lastOwner = 0;
    for (size_t i = 0; i + 3 <= size; i += 3) {
        const uint8_t* r = data + i;
        if (r[0] == 0xFF) {
            if (!text.empty()) {
                if (PacedPaste(text) > static_cast<int>(text.size())) Broken("skipped", 0);
                changes += 2 * text.size() + 1;
                text.clear();
            }
            if (r[2] == 0xFF) {
                PacedKeyRelease(KeySlot::Keyboard, lastOwner);
            } else {
                lastOwner = r[2] + 1u;
                g_allowed.insert(r[1]);
                PacedKeyPress(KeySlot::Keyboard, r[1], lastOwner);
            }
            changes += 2;
            for (int t = 0; t < (r[1] & 7); ++t) Tick();
        } else {
            text.push_back(static_cast<char32_t>(((r[0] << 16) | (r[1] << 8) | r[2]) & 0x1FFFFF));
        }
    }
    if (!text.empty()) {
        if (PacedPaste(text) > static_cast<int>(text.size())) Broken("skipped", 0);
        changes += 2 * text.size() + 1;
    }
    // Every queued change waits at most its minimum and the cap.
    const size_t bound = (changes + 1) * (kPasteHoldTicks + kKeySeenCapTicks);
    size_t ticks = 0;
    while (!g_pacedKeys.Slots[1].Pending.empty()) {
        if (++ticks > bound) Broken("the queue does not drain", static_cast<long>(ticks));
        Tick();
    }
    if (PacedPasteActive()) Broken("a paste still active", 0);
    return 0;
}
