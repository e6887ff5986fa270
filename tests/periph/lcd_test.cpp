// LCD controller: display transfer, row clock, timer interrupt, redraw and screen mapping.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "periph/Lcd.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {
// One run-loop step as far as the controller sees it: the processor took `cycles`.
void Step(int32_t cycles) {
    g_cpu.StepCycles = cycles;
    LcdStep();
}

void FillRamPattern() {
    for (int a = 0; a < kRamBytes; ++a) g_cpu.Ram[a] = static_cast<uint8_t>(a * 7 + (a >> 8) + 3);
}

// RAM byte the transfer must fetch for offset `offset` from LA in the PE direction.
uint8_t RamAt(uint16_t la, bool up, int offset) {
    const uint16_t address =
        up ? static_cast<uint16_t>(la + offset) : static_cast<uint16_t>(la - offset);
    return g_cpu.Ram[address & 0x1FFF];
}

uint32_t Pixel(int px, int py) {
    return g_lcd.LcdBitmap[py * kLcdWidth + px];
}

TEST(LcdTransfer, FillsTheFrameBufferInBothDirections) {
    const struct {
        uint8_t pe;
        uint16_t la;
    } cases[] = {{0x40, 0x0123}, {0x00, 0x1F00}, {0x7F, 0xFFF0}, {0x3F, 0x0005}, {0x40, 0x1FFF}};
    for (const auto& t : cases) {
        ResetMachine();
        FillRamPattern();
        g_cpu.S6 = 0x0F; // display on, 113 rows
        g_cpu.S7 = 11;
        g_cpu.S5 = 3; // 48 cycles: exactly twelve 4-cycle transfers per row
        g_cpu.PE = t.pe;
        g_cpu.LA = t.la;
        for (int i = 0; i < kFrameBytes; ++i) Step(0);
        const bool up = (t.pe & 0x40) != 0;
        for (int i = 0; i < kFrameBytes; ++i)
            ASSERT_EQ(g_lcd.FrameBuffer[i], RamAt(t.la, up, i + 1))
                << "PE=" << int(t.pe) << " LA=" << t.la << " index " << i;
        EXPECT_EQ(g_lcd.RowCounter, 64);
        EXPECT_EQ(g_lcd.ColumnCounter, 0);
    }
}

TEST(LcdTransfer, EachTransferCostsFourCyclesAndOnlyWhileEnabled) {
    ResetMachine();
    g_cpu.S5 = 127;
    g_cpu.S7 = 11;
    g_cpu.S6 = 0x0E; // display off: no transfer
    Step(6);
    EXPECT_EQ(g_cpu.StepCycles, 6);
    EXPECT_EQ(g_lcd.ColumnCounter, 0);
    EXPECT_EQ(g_lcd.RowCycles, 6);
    g_cpu.S6 = 0x01;
    Step(6);
    EXPECT_EQ(g_cpu.StepCycles, 10);
    EXPECT_EQ(g_lcd.ColumnCounter, 1);
    EXPECT_EQ(g_lcd.RowCycles, 16);
}

TEST(LcdTransfer, RowCutShortByThePeriodLeavesTheRestOfTheRow) {
    ResetMachine();
    FillRamPattern();
    std::memset(g_lcd.FrameBuffer, 0xEE, sizeof g_lcd.FrameBuffer);
    g_cpu.S6 = 0x0F;
    g_cpu.S7 = 11;
    g_cpu.S5 = 1; // 16 cycles: four transfers, then the row ends
    g_cpu.PE = 0x40;
    g_cpu.LA = 0x0200;
    for (int i = 0; i < 4 * 10; ++i) Step(0);
    for (int row = 0; row < 10; ++row)
        for (int col = 0; col < kLcdRowBytes; ++col) {
            const uint8_t want = col < 4 ? RamAt(0x0200, true, row * 12 + col + 1) : 0xEE;
            EXPECT_EQ(g_lcd.FrameBuffer[row * 12 + col], want) << row << "," << col;
        }
    EXPECT_EQ(g_lcd.FrameBuffer[10 * 12], 0xEE);
}

TEST(LcdTransfer, WideRowsSpillIntoTheNextRowAndPastTheEndAreDropped) {
    ResetMachine();
    FillRamPattern();
    std::memset(g_lcd.FrameBuffer, 0xEE, sizeof g_lcd.FrameBuffer);
    g_cpu.S6 = 0x0F;
    g_cpu.S7 = 13; // 14 bytes per row
    g_cpu.S5 = 127;
    g_cpu.PE = 0x40;
    g_cpu.LA = 0x0100;
    for (int i = 0; i < 14; ++i) Step(0);
    for (int col = 0; col < 14; ++col)
        EXPECT_EQ(g_lcd.FrameBuffer[col], RamAt(0x0100, true, col + 1));
    EXPECT_EQ(g_lcd.FrameBuffer[14], 0xEE);

    // The last row: indices 756..769, of which 768 and 769 go nowhere.
    std::memset(g_lcd.FrameBuffer, 0xEE, sizeof g_lcd.FrameBuffer);
    const LcdState before = g_lcd;
    g_lcd.RowCounter = 63;
    g_lcd.ColumnCounter = 0;
    g_lcd.RowCycles = 0;
    for (int i = 0; i < 16; ++i) Step(0); // two more steps past S7 do nothing
    EXPECT_EQ(g_lcd.ColumnCounter, 14);
    for (int i = 0; i < 756; ++i) ASSERT_EQ(g_lcd.FrameBuffer[i], before.FrameBuffer[i]) << i;
    for (int col = 0; col < 12; ++col)
        EXPECT_EQ(g_lcd.FrameBuffer[756 + col], RamAt(0x0100, true, 63 * 14 + col + 1));
    EXPECT_EQ(g_lcd.RowCycles, 14 * 4); // the dropped bytes are still charged
}

TEST(LcdTransfer, RowsFromSixtyFourUpAreTimedButStoreNothing) {
    ResetMachine();
    FillRamPattern();
    g_cpu.S6 = 0x0F;
    g_cpu.S7 = 11;
    g_cpu.S5 = 3;
    g_cpu.TM = 1;
    g_cpu.IE = 0x80;
    g_lcd.RowCounter = 64;
    for (int i = 0; i < 12 * 49; ++i) Step(0); // rows 64..112, then the wrap to 0
    for (int i = 0; i < kFrameBytes; ++i) ASSERT_EQ(g_lcd.FrameBuffer[i], 0) << i;
    EXPECT_EQ(g_lcd.RowCounter, 0);
    EXPECT_EQ(g_cpu.IRQ & 0x08, 0x08);
}

TEST(LcdRowClock, RowCounterWrapsAfterTheLastRow) {
    for (const uint8_t s6 : {0x00, 0x02, 0x04, 0x0E, 0x7F, 0x70}) {
        ResetMachine();
        g_cpu.S6 = s6;
        g_cpu.S5 = 0;
        const int lastRow = (s6 & 0x0E) * 8;
        for (int row = 1; row <= lastRow; ++row) {
            Step(1);
            ASSERT_EQ(g_lcd.RowCounter, row) << "S6=" << int(s6);
        }
        Step(1);
        EXPECT_EQ(g_lcd.RowCounter, 0) << "S6=" << int(s6);
    }
}

TEST(LcdRowClock, AtMostOneRowEndsPerStepAndTheSurplusAccumulates) {
    ResetMachine();
    g_cpu.S6 = 0x0E;
    g_cpu.S5 = 2; // 32 cycles
    Step(100);
    EXPECT_EQ(g_lcd.RowCounter, 1);
    EXPECT_EQ(g_lcd.RowCycles, 68);
    Step(0);
    EXPECT_EQ(g_lcd.RowCounter, 2);
    EXPECT_EQ(g_lcd.RowCycles, 36);
    Step(0);
    EXPECT_EQ(g_lcd.RowCycles, 4);
    Step(27);
    EXPECT_EQ(g_lcd.RowCounter, 3); // 31 < 32: the row goes on
    EXPECT_EQ(g_lcd.RowCycles, 31);
    Step(1);
    EXPECT_EQ(g_lcd.RowCounter, 4);
    EXPECT_EQ(g_lcd.RowCycles, 0);
}

// With a period shorter than every step the surplus never shrinks. It must stay in range,
// every step must still end a row, and below the cap it is the exact surplus; above, it keeps
// the exact surplus's remainder modulo the period. Each case starts just below the cap and
// runs far past where an unbounded count would leave the signed 32-bit range.
TEST(LcdRowClock, SurplusStaysInRangeWhileEveryStepEndsARow) {
    const struct {
        uint8_t s5;
        int32_t stepCycles;
        int32_t start;
    } cases[] = {{0, 6, 0},
                 {0, 6, kRowCyclesCap - 600},
                 {0, 40000, kRowCyclesCap - 600},
                 {1, 30000, kRowCyclesCap - 6000},
                 {5, 30001, kRowCyclesCap - 1},
                 {127, 2040, kRowCyclesCap - 2033},
                 {100, 100000, kRowCyclesCap}};
    for (const auto& t : cases) {
        ResetMachine();
        g_cpu.S5 = t.s5;
        g_cpu.S6 = 0x0E;
        g_lcd.RowCycles = t.start;
        const int64_t period = t.s5 * 16;
        int64_t exact = t.start;
        for (int64_t i = 0; i < 200000; ++i) {
            const uint8_t row = g_lcd.RowCounter;
            Step(t.stepCycles);
            exact += t.stepCycles - period;
            ASSERT_EQ(g_lcd.RowCounter, row == 112 ? 0 : row + 1) << "step " << i;
            ASSERT_GE(g_lcd.RowCycles, period) << "step " << i;
            ASSERT_LE(g_lcd.RowCycles, kRowCyclesCap + period + t.stepCycles) << "step " << i;
            if (exact <= kRowCyclesCap) {
                ASSERT_EQ(g_lcd.RowCycles, exact) << "step " << i;
            }
            if (period > 0) {
                ASSERT_EQ(g_lcd.RowCycles % period, exact % period) << "step " << i;
            }
        }
        EXPECT_GT(exact, t.start == 0 ? 1000000 : kRowCyclesCap) << "S5=" << int(t.s5);
    }
}

TEST(LcdTimer, DividerRaisesSourceThreeEveryTmRows) {
    const struct {
        uint8_t tm, prescale;
        int rows;
        int interrupts;
        uint8_t finalPrescale;
    } cases[] = {
        {1, 0, 10, 10, 0}, {3, 0, 10, 3, 1}, {0, 0, 10, 0, 0}, {0, 7, 10, 0, 7},
        {2, 5, 1, 1, 0}, // TM lowered below the count: the next row end raises it
        {2, 5, 4, 2, 1},   {5, 4, 1, 1, 0},  {5, 3, 1, 0, 4},  {127, 0, 127, 1, 0},
    };
    for (const auto& t : cases) {
        ResetMachine();
        g_cpu.S5 = 0;
        g_cpu.S6 = 0x0E;
        g_cpu.IE = 0x80;
        g_cpu.TM = t.tm;
        g_lcd.TimerPrescale = t.prescale;
        int raised = 0;
        for (int r = 0; r < t.rows; ++r) {
            Step(1);
            if (g_cpu.IRQ & 0x08) ++raised;
            g_cpu.IRQ = 0;
        }
        EXPECT_EQ(raised, t.interrupts) << "TM=" << int(t.tm) << " prescale=" << int(t.prescale);
        EXPECT_EQ(g_lcd.TimerPrescale, t.finalPrescale) << "TM=" << int(t.tm);
    }
}

TEST(LcdTimer, RequestIsLostWithoutTheMasterEnableAndEndsAWait) {
    ResetMachine();
    g_cpu.TM = 1;
    g_cpu.S5 = 0;
    g_cpu.IE = 0x0F;
    g_cpu.WAIT = 1;
    Step(1);
    EXPECT_EQ(g_cpu.IRQ, 0);
    EXPECT_EQ(g_cpu.WAIT, 1);
    g_cpu.IE = 0x80;
    Step(1);
    EXPECT_EQ(g_cpu.IRQ, 0x08);
    EXPECT_EQ(g_cpu.WAIT, 0);
}

TEST(LcdReset, ClearsCountersAndFrameBufferOnly) {
    ResetMachine();
    std::memset(g_lcd.FrameBuffer, 0x5A, sizeof g_lcd.FrameBuffer);
    std::memset(g_lcd.ShadowBuffer, 0x33, sizeof g_lcd.ShadowBuffer);
    g_lcd.RowCycles = 77;
    g_lcd.ColumnCounter = 3;
    g_lcd.RowCounter = 9;
    g_lcd.TimerPrescale = 4;
    g_lcd.LastDisplayOn = 1;
    LcdReset();
    EXPECT_EQ(g_lcd.RowCycles, 0);
    EXPECT_EQ(g_lcd.ColumnCounter, 0);
    EXPECT_EQ(g_lcd.RowCounter, 0);
    EXPECT_EQ(g_lcd.TimerPrescale, 0);
    for (int i = 0; i < kFrameBytes; ++i) ASSERT_EQ(g_lcd.FrameBuffer[i], 0);
    EXPECT_EQ(g_lcd.ShadowBuffer[100], 0x33);
    EXPECT_EQ(g_lcd.LastDisplayOn, 1);
}

// --- Rendering -------------------------------------------------------------------------------

// The screen mapping written out independently: dot (x, y) is bit (95-x) mod 8 of byte
// 12 (63-y) + (95-x) div 8.
bool DotOf(const uint8_t* fb, int x, int y) {
    return (fb[12 * (63 - y) + (95 - x) / 8] >> ((95 - x) % 8)) & 1;
}

TEST(LcdRedraw, CornerDots) {
    ResetMachine();
    g_cpu.S6 = 1;
    g_lcd.FrameBuffer[767] = 0x80; // dot (0, 0)
    g_lcd.FrameBuffer[0] = 0x01;   // dot (95, 63)
    LcdRedraw();
    for (const auto& [px, py] :
         {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}, {190, 126}, {191, 127}, {190, 127}})
        EXPECT_EQ(Pixel(px, py), kLcdDark) << px << "," << py;
    for (const auto& [px, py] :
         {std::pair{2, 0}, {0, 2}, {189, 127}, {191, 125}, {191, 0}, {0, 127}})
        EXPECT_EQ(Pixel(px, py), kLcdLight) << px << "," << py;
    EXPECT_TRUE(LcdDot(g_lcd.FrameBuffer, 0, 0));
    EXPECT_TRUE(LcdDot(g_lcd.FrameBuffer, 95, 63));
    EXPECT_FALSE(LcdDot(g_lcd.FrameBuffer, 1, 0));
}

TEST(LcdRedraw, EveryDotLandsWhereTheMappingSays) {
    ResetMachine();
    g_cpu.S6 = 1;
    for (int i = 0; i < kFrameBytes; ++i)
        g_lcd.FrameBuffer[i] = static_cast<uint8_t>(i * 37 + (i >> 3));
    LcdRedraw();
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x) {
            const bool dark = DotOf(g_lcd.FrameBuffer, x, y);
            ASSERT_EQ(LcdDot(g_lcd.FrameBuffer, x, y), dark) << x << "," << y;
            const uint32_t want = dark ? kLcdDark : kLcdLight;
            for (int d = 0; d < 4; ++d)
                ASSERT_EQ(Pixel(2 * x + d % 2, 2 * y + d / 2), want) << x << "," << y;
        }
    // Dot (10, 5): byte 12 * 58 + 85 / 8 = 706, bit 85 % 8 = 5.
    std::memset(g_lcd.FrameBuffer, 0, sizeof g_lcd.FrameBuffer);
    g_lcd.FrameBuffer[706] = 0x20;
    LcdRedraw();
    EXPECT_EQ(Pixel(20, 10), kLcdDark);
    EXPECT_EQ(Pixel(21, 11), kLcdDark);
    EXPECT_EQ(Pixel(22, 10), kLcdLight);
}

TEST(LcdRedraw, OnlyChangedBytesAreDrawn) {
    ResetMachine();
    g_cpu.S6 = 1;
    LcdRedraw(); // display switches on: white screen, shadow cleared
    EXPECT_EQ(g_lcd.LcdDirty, 1);
    const uint32_t marker = 0x123456;
    LcdFill(marker);
    g_lcd.LcdDirty = 0;

    LcdRedraw(); // nothing changed
    EXPECT_EQ(g_lcd.LcdDirty, 0);
    EXPECT_EQ(Pixel(0, 0), marker);

    g_lcd.FrameBuffer[5] = 0xA5; // row 0 (bottom line), x from 95 - 40 = 55 down to 48
    g_lcd.FrameBuffer[9] = 0x77; // changed and changed back: not drawn
    g_lcd.FrameBuffer[9] = 0x00;
    LcdRedraw();
    EXPECT_EQ(g_lcd.LcdDirty, 1);
    EXPECT_EQ(g_lcd.ShadowBuffer[5], 0xA5);
    int changed = 0;
    for (int py = 0; py < kLcdHeight; ++py)
        for (int px = 0; px < kLcdWidth; ++px) {
            if (Pixel(px, py) == marker) continue;
            ++changed;
            const int x = px / 2, y = py / 2;
            ASSERT_EQ(y, 63);
            ASSERT_TRUE(x >= 48 && x <= 55) << x;
            ASSERT_EQ(Pixel(px, py), ((0xA5 >> (55 - x)) & 1) ? kLcdDark : kLcdLight);
        }
    EXPECT_EQ(changed, 8 * 4);
}

TEST(LcdRedraw, DisplayOffIsSilverAndLeavesTheShadow) {
    ResetMachine();
    g_cpu.S6 = 1;
    g_lcd.FrameBuffer[100] = 0xFF;
    LcdRedraw();
    g_lcd.LcdDirty = 0;
    g_cpu.S6 = 0x0E; // off
    g_lcd.FrameBuffer[200] = 0x0F;
    LcdRedraw();
    EXPECT_EQ(g_lcd.LcdDirty, 1);
    EXPECT_EQ(g_lcd.LastDisplayOn, 0);
    for (const uint32_t p : g_lcd.LcdBitmap) ASSERT_EQ(p, kLcdOff);
    EXPECT_EQ(g_lcd.ShadowBuffer[100], 0xFF);
    EXPECT_EQ(g_lcd.ShadowBuffer[200], 0x00);
    g_lcd.LcdDirty = 0;
    LcdRedraw(); // still off: nothing to do
    EXPECT_EQ(g_lcd.LcdDirty, 0);

    // Switching on clears the shadow and the screen, so every non-zero byte is drawn afresh.
    g_cpu.S6 = 1;
    LcdRedraw();
    EXPECT_EQ(g_lcd.ShadowBuffer[100], 0xFF);
    EXPECT_EQ(g_lcd.ShadowBuffer[200], 0x0F);
    int dark = 0, light = 0;
    for (const uint32_t p : g_lcd.LcdBitmap) (p == kLcdDark ? dark : light) += 1;
    EXPECT_EQ(dark, (8 + 4) * 4);
    EXPECT_EQ(light, kLcdWidth * kLcdHeight - dark);
}

TEST(LcdRedraw, OffAtStartStaysUntouched) {
    ResetMachine();
    LcdFill(kLcdLight);
    g_lcd.FrameBuffer[0] = 0xFF;
    LcdRedraw(); // S6 = 0 equals LastDisplayOn = 0: nothing drawn, nothing dirty
    EXPECT_EQ(g_lcd.LcdDirty, 0);
    for (const uint32_t p : g_lcd.LcdBitmap) ASSERT_EQ(p, kLcdLight);
}
} // namespace
