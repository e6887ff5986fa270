// Key matrix, face hit test and PC-key translation.
#include "periph/Keyboard.h"

#include "core/Cpu.h"

alignas(64) KeyboardState g_kbd; // on a cache line, as g_cpu

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
    if (c.KC == 0x40) {
        if (g_kbd.MouseKey == kKeyWake || g_kbd.KeyboardKey == kKeyWake) ki |= 0x01;
    } else {
        ki |= SenseKey(g_kbd.MouseKey, c.KC);
        ki |= SenseKey(g_kbd.KeyboardKey, c.KC);
    }
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

bool KeyboardKeyDown(int virtualKey) {
    int32_t& key = g_kbd.KeyboardKey;
    bool showDebugger = false;
    switch (virtualKey) {
    case kVkEnter: key = 61; break;
    case kVkEscape: key = kKeyWake; break;
    case kVkEnd: key = 31; break;
    case kVkHome: key = 30; break;
    case kVkLeft: key = g_kbd.KeyMap[29]; break;
    case kVkUp: key = g_kbd.KeyMap[30]; break;
    case kVkRight: key = g_kbd.KeyMap[28]; break;
    case kVkDown: key = g_kbd.KeyMap[31]; break;
    case kVkDelete: key = 45; break;
    case kVkF3: showDebugger = true; break;
    case kVkF8: key = kKeyOffFace; break;
    default: break;
    }
    KeyboardUpdate();
    return showDebugger;
}

void KeyboardChar(int character) {
    if (character < 32 || character > 127 || g_kbd.KeyMap[character] == 0) return;
    g_kbd.KeyboardKey = g_kbd.KeyMap[character];
    KeyboardUpdate();
}

void KeyboardKeyUp() {
    g_kbd.KeyboardKey = 0;
    KeyboardUpdate();
}
