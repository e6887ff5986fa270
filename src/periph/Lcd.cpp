// LCD controller and display rendering.
#include "periph/Lcd.h"

#include "core/Cpu.h"

#include <algorithm>
#include <cstring>
#include <iterator>

alignas(64) LcdState g_lcd; // on a cache line, as g_cpu

void LcdReset() {
    g_lcd.RowCycles = 0;
    g_lcd.ColumnCounter = 0;
    g_lcd.RowCounter = 0;
    g_lcd.TimerPrescale = 0;
    std::memset(g_lcd.FrameBuffer, 0, sizeof g_lcd.FrameBuffer);
}

void LcdStep() {
    LcdStepOn(g_lcd);
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
