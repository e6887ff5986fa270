// The LCD controller: display transfer from RAM into the frame buffer, the row clock and the
// timer of interrupt source 3; and the rendering of the frame buffer into a 192 x 128 bitmap.
#pragma once

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
// Paints the changed frame-buffer bytes into LcdBitmap.
void LcdRedraw();
// Fills the whole bitmap with one colour.
void LcdFill(uint32_t colour);
// The dot at column x (0 = left) and line y (0 = top), as the screen mapping gives it.
bool LcdDot(const uint8_t* frameBuffer, int x, int y);
