// LCD controller and display rendering.
#include "periph/Lcd.h"

#include "core/Cpu.h"

#include <algorithm>
#include <cstring>
#include <iterator>

LcdState g_lcd;

namespace {
constexpr int kTransferCycles = 4;
constexpr int kTimerSource = 3;
} // namespace

void LcdReset() {
    g_lcd.RowCycles = 0;
    g_lcd.ColumnCounter = 0;
    g_lcd.RowCounter = 0;
    g_lcd.TimerPrescale = 0;
    std::memset(g_lcd.FrameBuffer, 0, sizeof g_lcd.FrameBuffer);
}

void LcdStep() {
    CpuState& c = g_cpu;
    LcdState& l = g_lcd;
    if ((c.S6 & 1) && l.ColumnCounter <= c.S7) {
        const int index = l.RowCounter * kLcdRowBytes + l.ColumnCounter;
        ++l.ColumnCounter;
        const uint16_t offset = static_cast<uint16_t>(l.RowCounter * (c.S7 + 1) + l.ColumnCounter);
        const uint16_t address = (c.PE & 0x40) ? static_cast<uint16_t>(c.LA + offset)
                                               : static_cast<uint16_t>(c.LA - offset);
        if (index < kFrameBytes) l.FrameBuffer[index] = MemRead(3, address);
        c.StepCycles += kTransferCycles;
    }
    l.RowCycles += c.StepCycles;
    const int32_t period = c.S5 * 16;
    if (l.RowCycles >= period) {
        l.ColumnCounter = 0;
        ++l.RowCounter;
        if (l.RowCounter > (c.S6 & 0x0E) * 8) l.RowCounter = 0;
        if (c.TM > 0) {
            ++l.TimerPrescale;
            if (l.TimerPrescale >= c.TM) {
                l.TimerPrescale = 0;
                RequestInterrupt(kTimerSource);
            }
        }
        l.RowCycles -= period;
        // With a period shorter than a step the surplus only grows; fold it back by whole
        // periods (or to the cap when the period is 0) so it never overflows.
        if (l.RowCycles > kRowCyclesCap) {
            l.RowCycles = period > 0
                              ? kRowCyclesCap - (kRowCyclesCap % period) + (l.RowCycles % period)
                              : kRowCyclesCap;
        }
    }
}

void LcdFill(uint32_t colour) {
    std::fill(std::begin(g_lcd.LcdBitmap), std::end(g_lcd.LcdBitmap), colour);
}

bool LcdDot(const uint8_t* frameBuffer, int x, int y) {
    const int byte = kLcdRowBytes * (63 - y) + (95 - x) / 8;
    return (frameBuffer[byte] >> ((95 - x) % 8)) & 1;
}

void LcdRedraw() {
    LcdState& l = g_lcd;
    const uint8_t on = g_cpu.S6 & 1;
    if (on != l.LastDisplayOn) {
        l.LcdDirty = 1;
        l.LastDisplayOn = on;
        if (on) {
            std::memset(l.ShadowBuffer, 0, sizeof l.ShadowBuffer);
            LcdFill(kLcdLight);
        } else {
            LcdFill(kLcdOff);
        }
    }
    if (!l.LastDisplayOn) return;
    for (int i = 0; i < kFrameBytes; ++i) {
        const uint8_t value = l.FrameBuffer[i];
        if (value == l.ShadowBuffer[i]) continue;
        l.LcdDirty = 1;
        l.ShadowBuffer[i] = value;
        // Byte i holds row i / 12 (row 0 at the bottom) and dots from the right: bit b of byte
        // column k is the dot at x = 95 - 8k - b.
        const int y = 63 - i / kLcdRowBytes;
        const int xRight = 95 - 8 * (i % kLcdRowBytes);
        for (int bit = 0; bit < 8; ++bit) {
            const uint32_t colour = ((value >> bit) & 1) ? kLcdDark : kLcdLight;
            const int x = xRight - bit;
            uint32_t* p = &l.LcdBitmap[(2 * y) * kLcdWidth + 2 * x];
            p[0] = p[1] = p[kLcdWidth] = p[kLcdWidth + 1] = colour;
        }
    }
}
