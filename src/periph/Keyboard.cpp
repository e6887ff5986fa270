// Key matrix, face hit test, PC-key translation and the paced key input.
#include "periph/Keyboard.h"

#include "core/Cpu.h"
#include "host/Rewind.h"

#include <algorithm>

alignas(64) KeyboardState g_kbd; // on a cache line, as g_cpu
PacedKeyState g_pacedKeys;

namespace {
struct MatrixCell {
    uint8_t strobe; // every bit of it must be set in KC
    uint8_t input;  // the KI bit the key then sets
};

constexpr uint8_t kStrobeRows[] = {0x81, 0x82, 0x84, 0x88, 0x60, 0x41,
                                   0x42, 0x44, 0x48, 0x50, 0xC0};
static_assert(std::size(kStrobeRows) == 11);

// clang-format off
// Key codes by strobe row (as kStrobeRows) and input bit 0x80 .. 0x01; 0 = no key.
constexpr uint8_t kMatrixCodes[11][8] = {
    //  0x80 0x40 0x20 0x10 0x08 0x04 0x02 0x01
    {    0,   6,   7,  14,  15,  16,  17,   0 },  // 0x81
    {    0,   5,   8,  18,  19,  20,  21,   0 },  // 0x82
    {    0,   4,   9,  22,  23,  24,  25,   0 },  // 0x84
    {    0,   3,   0,  26,  27,  28,  29,   0 },  // 0x88
    {    0,   0,   0,  10,  11,  12,  13,   0 },  // 0x60
    {   62,   0,   0,   0,   0,   0,   0,   0 },  // 0x41
    {   30,  31,  32,  42,  43,  44,  45,  61 },  // 0x42
    {   33,  34,  35,  47,  48,  49,  50,  51 },  // 0x44
    {   36,  37,  38,  52,  53,  54,  55,  56 },  // 0x48
    {   39,  40,  41,  57,  58,  59,  60,   0 },  // 0x50
    {    0,   0,   0,   0,   0,   0,   0,  46 },  // 0xC0
};
// clang-format on

// The matrix cell of every key code 0..62 (code 0..2 have none).
constexpr std::array<MatrixCell, kLastKeyCode + 1> BuildCells() {
    std::array<MatrixCell, kLastKeyCode + 1> cells{};
    for (int row = 0; row < 11; ++row)
        for (int bit = 0; bit < 8; ++bit)
            if (const int code = kMatrixCodes[row][bit])
                cells[code] = {kStrobeRows[row], static_cast<uint8_t>(0x80 >> bit)};
    return cells;
}
constexpr auto kCells = BuildCells();
static_assert(kCells[14].strobe == 0x81 && kCells[14].input == 0x10);
static_assert(kCells[46].strobe == 0xC0 && kCells[46].input == 0x01);
static_assert(kCells[62].strobe == 0x41 && kCells[62].input == 0x80);

uint8_t SenseKey(int code, uint8_t kc) {
    if (code < 3 || code > kLastKeyCode) return 0;
    const MatrixCell cell = kCells[code];
    return (cell.strobe & kc) == cell.strobe ? cell.input : 0;
}
} // namespace

void KeyboardUpdate() {
    CpuState& c = g_cpu;
    if (c.KC < 0x40) return;
    uint8_t ki = g_kbd.SelfTestCount != 0 ? 0x10 : 0;
    uint8_t mouse, keyboard;
    if (c.KC == 0x40) {
        mouse = g_kbd.MouseKey == kKeyWake ? 0x01 : 0;
        keyboard = g_kbd.KeyboardKey == kKeyWake ? 0x01 : 0;
    } else {
        mouse = SenseKey(g_kbd.MouseKey, c.KC);
        keyboard = SenseKey(g_kbd.KeyboardKey, c.KC);
    }
    ki |= mouse | keyboard;
    // For the paced input: what this update let the firmware see of each slot.
    g_pacedKeys.Seen |= static_cast<uint8_t>((g_kbd.MouseKey == 0 || mouse ? 1 : 0) |
                                             (g_kbd.KeyboardKey == 0 || keyboard ? 2 : 0));
    c.KI = ki;
    if (ki) c.WAIT = 0;
    if (ki & 1) c.OFF = 0;
}

int FaceHitTest(int x, int y) {
    for (const KeyGroup& g : kKeyGroups) {
        if (x >= g.left && x < g.left + g.pitchX * g.columns && (x - g.left) % g.pitchX < g.width &&
            y >= g.top && (y - g.top) % g.pitchY < g.height) {
            const int n = (x - g.left) / g.pitchX + ((y - g.top) / g.pitchY) * g.columns;
            if (n < g.keys) return g.firstCode + n;
        }
    }
    return 0;
}

FaceRect FaceKeyRect(int code) {
    for (const KeyGroup& g : kKeyGroups) {
        const int n = code - g.firstCode;
        if (n >= 0 && n < g.keys)
            return {g.left + (n % g.columns) * g.pitchX, g.top + (n / g.columns) * g.pitchY,
                    g.width, g.height};
    }
    return {0, 0, 0, 0};
}

void SetKeySlot(KeySlot slot, int32_t code) {
    // The step history logs the slots as they become, to make this change again in a replay.
    RewindKeys(slot == KeySlot::Mouse ? code : g_kbd.MouseKey,
               slot == KeySlot::Keyboard ? code : g_kbd.KeyboardKey);
    (slot == KeySlot::Mouse ? g_kbd.MouseKey : g_kbd.KeyboardKey) = code;
    KeyboardUpdate();
}

int32_t KeySlotValue(KeySlot slot) {
    return slot == KeySlot::Mouse ? g_kbd.MouseKey : g_kbd.KeyboardKey;
}

namespace {
// The fixed table of PC keys: the key code a virtual key presses, or kNoKey.
int32_t TableKeyCode(int virtualKey) {
    switch (virtualKey) {
    case kVkBack: return 45;
    case kVkEnter: return 61;
    case kVkEscape: return kKeyWake;
    case kVkEnd: return 31;
    case kVkHome: return 30;
    case kVkLeft: return g_kbd.KeyMap[29];
    case kVkUp: return g_kbd.KeyMap[30];
    case kVkRight: return g_kbd.KeyMap[28];
    case kVkDown: return g_kbd.KeyMap[31];
    case kVkDelete: return 45;
    case kVkF8: return kKeyOffFace;
    default: return kNoKey;
    }
}

int32_t CharacterKeyCode(int character) {
    if (character < 32 || character > 127 || g_kbd.KeyMap[character] == 0) return kNoKey;
    return g_kbd.KeyMap[character];
}
} // namespace

bool KeyboardKeyDown(int virtualKey) {
    const int32_t code = TableKeyCode(virtualKey);
    // A key the table does not know still runs the keyboard update: through SetKeySlot with
    // the slot as it is, so that the step history logs the update too.
    SetKeySlot(KeySlot::Keyboard, code != kNoKey ? code : g_kbd.KeyboardKey);
    return virtualKey == kVkF3;
}

void KeyboardChar(int character) {
    const int32_t code = CharacterKeyCode(character);
    if (code != kNoKey) SetKeySlot(KeySlot::Keyboard, code);
}

void KeyboardKeyUp() {
    SetKeySlot(KeySlot::Keyboard, 0);
}

int32_t PcKeyCode(int virtualKey, int character) {
    if (virtualKey == kVkF3) return kNoKey;
    const int32_t code = TableKeyCode(virtualKey);
    return code != kNoKey ? code : CharacterKeyCode(character);
}

// --- Paced key input ---------------------------------------------------------------------------

namespace {
PacedSlot& Paced(KeySlot slot) {
    return g_pacedKeys.Slots[static_cast<int>(slot)];
}

uint8_t SeenBit(KeySlot slot) {
    return static_cast<uint8_t>(1u << static_cast<int>(slot));
}

// The value the slot will have once everything queued is applied.
int32_t LastQueued(KeySlot slot) {
    const PacedSlot& p = Paced(slot);
    return p.Pending.empty() ? KeySlotValue(slot) : p.Pending.back().Code;
}

// Whether the slot's present value has lasted long enough for the next change. A code the
// matrix does not know (the window's buttons 1 and 2, anything above 62) cannot be seen, so
// only its minimum counts.
bool Ready(KeySlot slot) {
    const PacedSlot& p = Paced(slot);
    if (p.Ticks < p.MinTicks) return false;
    const int32_t value = KeySlotValue(slot);
    const bool unseeable = value != 0 && (value < 3 || value > kLastKeyCode);
    return unseeable || (g_pacedKeys.Seen & SeenBit(slot)) != 0 || p.Ticks >= kKeySeenCapTicks;
}

void Apply(KeySlot slot, const PacedKeyChange& change) {
    PacedSlot& p = Paced(slot);
    SetKeySlot(slot, change.Code);
    // The update just run was the program's, not the firmware's: it does not count as seen.
    g_pacedKeys.Seen &= static_cast<uint8_t>(~SeenBit(slot));
    p.Ticks = 0;
    p.MinTicks = change.MinTicks;
}

void Drain(KeySlot slot) {
    PacedSlot& p = Paced(slot);
    while (!p.Pending.empty() && Ready(slot)) {
        const PacedKeyChange change = p.Pending.front();
        p.Pending.pop_front();
        Apply(slot, change);
    }
}

void Enqueue(KeySlot slot, int32_t code, int32_t minTicks, bool pasted = false) {
    Paced(slot).Pending.push_back({code, minTicks, pasted});
}

void CancelPaste() {
    std::deque<PacedKeyChange>& pending = Paced(KeySlot::Keyboard).Pending;
    std::erase_if(pending, [](const PacedKeyChange& c) { return c.Pasted; });
}

// The code a pasted character types, or kNoKey; line breaks are handled by the caller.
int32_t PastedKeyCode(char32_t c) {
    switch (c) {
    case U'\u00D7': c = U'*'; break; // multiplication sign
    case U'\u00F7': c = U'/'; break; // division sign
    case U'\u2212': c = U'-'; break; // minus sign
    default: break;
    }
    return c < 128 ? CharacterKeyCode(static_cast<int>(c)) : kNoKey;
}
} // namespace

void PacedKeyPress(KeySlot slot, int32_t code, uint32_t owner) {
    CancelPaste();
    Paced(slot).Owner = owner;
    if (LastQueued(slot) != 0) Enqueue(slot, 0, kKeyHoldTicks);
    if (code != 0) Enqueue(slot, code, kKeyHoldTicks);
    Drain(slot);
}

void PacedKeyRelease(KeySlot slot, uint32_t owner) {
    PacedSlot& p = Paced(slot);
    if (owner != p.Owner) return;
    PacedKeyReleaseAll(slot);
}

void PacedKeyReleaseAll(KeySlot slot) {
    Paced(slot).Owner = 0;
    if (LastQueued(slot) != 0) Enqueue(slot, 0, kKeyHoldTicks);
    Drain(slot);
}

int PacedPaste(std::u32string_view text) {
    constexpr KeySlot slot = KeySlot::Keyboard;
    CancelPaste();
    Paced(slot).Owner = 0;
    if (LastQueued(slot) != 0) Enqueue(slot, 0, kPasteGapTicks, true);
    int skipped = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        int32_t code;
        if (text[i] == U'\r' || text[i] == U'\n') {
            if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
            code = 61; // Enter, as the fixed table has it
        } else {
            code = PastedKeyCode(text[i]);
        }
        if (code == kNoKey || code == 0) {
            ++skipped;
            continue;
        }
        Enqueue(slot, code, kPasteHoldTicks, true);
        Enqueue(slot, 0, kPasteGapTicks, true);
    }
    Drain(slot);
    return skipped;
}

bool PacedPasteActive() {
    const std::deque<PacedKeyChange>& pending = Paced(KeySlot::Keyboard).Pending;
    return std::any_of(pending.begin(), pending.end(),
                       [](const PacedKeyChange& c) { return c.Pasted; });
}

void PacedKeyTick() {
    for (int i = 0; i < kKeySlots; ++i) {
        const auto slot = static_cast<KeySlot>(i);
        PacedSlot& p = Paced(slot);
        if (p.Ticks < kKeySeenCapTicks) ++p.Ticks;
        if (!p.Pending.empty()) Drain(slot);
    }
}

void PacedKeyFlush() {
    for (int i = 0; i < kKeySlots; ++i) {
        const auto slot = static_cast<KeySlot>(i);
        PacedSlot& p = Paced(slot);
        if (p.Pending.empty()) continue;
        const int32_t last = p.Pending.back().Code;
        p.Pending.clear();
        SetKeySlot(slot, last);
        p.Ticks = p.MinTicks = 0;
        g_pacedKeys.Seen |= SeenBit(slot);
    }
}
