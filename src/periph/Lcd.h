// The LCD controller: display transfer from RAM into the frame buffer, the row clock and the
// timer of interrupt source 3; and the rendering of the frame buffer into a 192 x 128 bitmap.
#pragma once

#include "core/Cpu.h"

#include <cstdint>

inline constexpr int kLcdRows = 64;
inline constexpr int kLcdRowBytes = 12;
inline constexpr int kFrameBytes = kLcdRows * kLcdRowBytes; // 768
inline constexpr int kLcdWidth = 192;                       // bitmap pixels, 2 x 2 per dot
inline constexpr int kLcdHeight = 128;

// Bitmap colours, 0xRRGGBB.
inline constexpr uint32_t kLcdDark = 0x000000;
inline constexpr uint32_t kLcdLight = 0xFFFFFF;
inline constexpr uint32_t kLcdOff = 0xC0C0C0;

// RowCycles is kept below this bound: while the row period is shorter than a step, every step
// ends one row and the surplus keeps growing; folding it back by whole row periods keeps it in
// range without changing when rows end (a row ends at every step while the surplus lasts).
inline constexpr int32_t kRowCyclesCap = 1 << 30;

struct LcdState {
    uint8_t FrameBuffer[kFrameBytes] = {}; // row r at bytes 12r..12r+11; row 0 is the bottom
    int32_t RowCycles = 0;
    uint8_t ColumnCounter = 0;
    uint8_t RowCounter = 0;
    uint8_t TimerPrescale = 0;

    // Rendering state.
    uint32_t LcdBitmap[kLcdWidth * kLcdHeight] = {}; // 0xRRGGBB, row-major
    uint8_t ShadowBuffer[kFrameBytes] = {};
    uint8_t LastDisplayOn = 0;
    uint8_t LcdDirty = 0;
};

extern LcdState g_lcd;

void LcdReset();
// Per-step update, called by the run loop after each CpuStep.
void LcdStep();

// The per-step update on any object holding the four counters (RowCycles, ColumnCounter,
// RowCounter, TimerPrescale): g_lcd, or the run loop's own copy, which the compiler can keep in
// registers for a whole tick since no instruction touches the LCD controller's counters.
template <typename Counters> VELMORA_HOT_INLINE void LcdStepOn(Counters& l) {
    constexpr int kTransferCycles = 4;
    constexpr int kTimerSource = 3;
    CpuState& c = g_cpu;
    if ((c.S6 & 1) && l.ColumnCounter <= c.S7) {
        const int index = l.RowCounter * kLcdRowBytes + l.ColumnCounter;
        ++l.ColumnCounter;
        const uint16_t offset = static_cast<uint16_t>(l.RowCounter * (c.S7 + 1) + l.ColumnCounter);
        const uint16_t address = (c.PE & 0x40) ? static_cast<uint16_t>(c.LA + offset)
                                               : static_cast<uint16_t>(c.LA - offset);
        // The display transfer is not an instruction: read RAM as it is, unseen by watchpoints.
        if (index < kFrameBytes) g_lcd.FrameBuffer[index] = c.Ram[address & (kRamBytes - 1)];
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

// Paints the changed frame-buffer bytes into LcdBitmap.
void LcdRedraw();
// Fills the whole bitmap with one colour.
void LcdFill(uint32_t colour);
// The dot at column x (0 = left) and line y (0 = top), as the screen mapping gives it.
bool LcdDot(const uint8_t* frameBuffer, int x, int y);
