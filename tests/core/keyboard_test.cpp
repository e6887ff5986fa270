// Key matrix, KeyboardUpdate and the face hit test.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "periph/Keyboard.h"

#include <gtest/gtest.h>

namespace {
struct MatrixCase {
    uint8_t kc;
    int mouse, keyboard;
    int32_t selfTest;
    uint8_t expectKi;
};

TEST(Keyboard, MatrixSensesKeysUnderTheirStrobes) {
    const MatrixCase cases[] = {
        {0x81, 14, 0, 0, 0x10}, {0x81, 14, 16, 0, 0x14}, {0x83, 14, 19, 0, 0x18},
        {0xFF, 46, 0, 0, 0x01}, {0xFF, 62, 6, 0, 0xC0},  {0x40, 46, 0, 0, 0x01},
        {0x40, 0, 46, 0, 0x01}, {0x40, 14, 0, 0, 0x00},  {0x41, 62, 0, 0, 0x80},
        {0x40, 0, 0, 5, 0x10},  {0x42, 61, 1, 0, 0x01},  {0x42, 2, 63, 0, 0x00},
        {0x60, 13, 0, 0, 0x02}, {0xE0, 13, 0, 0, 0x02},  {0x20, 13, 0, 0, 0xAA},
    };
    for (const MatrixCase& t : cases) {
        ResetMachine();
        g_cpu.KC = t.kc;
        g_cpu.KI = 0xAA;
        g_kbd.MouseKey = t.mouse;
        g_kbd.KeyboardKey = t.keyboard;
        g_kbd.SelfTestCount = t.selfTest;
        KeyboardUpdate();
        EXPECT_EQ(g_cpu.KI, t.expectKi)
            << "KC=" << int(t.kc) << " mouse=" << t.mouse << " keyboard=" << t.keyboard;
    }
}

TEST(Keyboard, UpdateEndsWaitAndOnlyTheWakeBitEndsOff) {
    ResetMachine();
    g_cpu.WAIT = 1;
    g_cpu.OFF = 1;
    g_cpu.KC = 0x81;
    g_kbd.MouseKey = 14;
    KeyboardUpdate();
    EXPECT_EQ(g_cpu.WAIT, 0);
    EXPECT_EQ(g_cpu.OFF, 1);
    g_cpu.KC = 0x40;
    g_kbd.MouseKey = 0;
    g_kbd.KeyboardKey = kKeyWake;
    KeyboardUpdate();
    EXPECT_EQ(g_cpu.OFF, 0);
    // KC below 0x40 leaves everything alone.
    g_cpu.KC = 0x3F;
    g_cpu.WAIT = 1;
    KeyboardUpdate();
    EXPECT_EQ(g_cpu.KI, 0x01);
    EXPECT_EQ(g_cpu.WAIT, 1);
}

TEST(Keyboard, FaceHitTestFindsKeyRectangles) {
    const struct {
        int x, y, code;
    } cases[] = {
        {441, 538, 1},
        {459, 538, 2},
        {18, 214, 3},
        {295, 48, 10},
        {35, 342, 30},
        {168, 342, 42},
        {404, 477, 61},
        {52, 214, 0},
        {51, 214, 3},
        {18, 249, 0},
        {0, 0, 0},
        {100, 100, 0},
        {458, 538, 0},
        {475, 554, 2},
        {476, 538, 0},
        {295 + 42 * 3 + 35, 48 + 40 * 4 + 33, 29},
        {295, 48 + 40 * 5, 0},
    };
    for (const auto& t : cases) EXPECT_EQ(FaceHitTest(t.x, t.y), t.code) << t.x << "," << t.y;
}

TEST(Keyboard, PcKeysAndCharacters) {
    ResetMachine();
    g_kbd.KeyMap[28] = 20;
    g_kbd.KeyMap[29] = 21;
    g_kbd.KeyMap[30] = 22;
    g_kbd.KeyMap[31] = 23;
    g_kbd.KeyMap['7'] = 42;
    g_kbd.KeyMap['x'] = 63;
    const struct {
        int vk, expect;
        bool debugger;
    } keys[] = {
        {kVkEnter, 61, false},  {kVkEscape, 46, false}, {kVkEnd, 31, false},   {kVkHome, 30, false},
        {kVkLeft, 21, false},   {kVkUp, 22, false},     {kVkRight, 20, false}, {kVkDown, 23, false},
        {kVkDelete, 45, false}, {kVkF8, 62, false},     {kVkF3, 62, true},     {65, 62, false},
    };
    for (const auto& k : keys) {
        EXPECT_EQ(KeyboardKeyDown(k.vk), k.debugger) << k.vk;
        EXPECT_EQ(g_kbd.KeyboardKey, k.expect) << k.vk;
    }
    KeyboardChar('7');
    EXPECT_EQ(g_kbd.KeyboardKey, 42);
    KeyboardChar('a'); // key map byte 0: unchanged
    EXPECT_EQ(g_kbd.KeyboardKey, 42);
    KeyboardChar(13); // below 32: unchanged
    EXPECT_EQ(g_kbd.KeyboardKey, 42);
    KeyboardChar('x'); // stored even though it presses nothing
    EXPECT_EQ(g_kbd.KeyboardKey, 63);
    g_cpu.KC = 0xFF;
    KeyboardKeyUp();
    EXPECT_EQ(g_kbd.KeyboardKey, 0);
    EXPECT_EQ(g_cpu.KI, 0);
}
} // namespace
