// Where things are on the face: the window's client size, the LCD window and the power switch.
// The keys' rectangles are the key hit table (periph/Keyboard.h). Plain constants, no Qt.
#pragma once

inline constexpr int kFaceWidth = 492; // client area of the main window
inline constexpr int kFaceHeight = 561;
inline constexpr int kFaceImageWidth = 500; // the face image control; the excess is never seen
inline constexpr int kFaceImageHeight = 588;

inline constexpr int kLcdLeft = 49; // the LCD image, 192 x 128 (periph/Lcd.h)
inline constexpr int kLcdTop = 49;

inline constexpr int kSwitchLeft = 0; // the power switch, drawn on the face in its on position
inline constexpr int kSwitchTop = 328;
inline constexpr int kSwitchWidth = 12;
inline constexpr int kSwitchHeight = 69;
// The off picture is the on picture drawn twice into a fresh bitmap: shifted up by
// kSwitchWrapShift (its bottom rows fill the top) and then down by kSwitchKnobTravel, the knob
// thus showing kSwitchKnobTravel pixels lower.
inline constexpr int kSwitchWrapShift = 53;
inline constexpr int kSwitchKnobTravel = 15;
static_assert(kSwitchHeight - kSwitchWrapShift >= kSwitchKnobTravel,
              "the two drawings of the off picture meet without a gap");
// The knob of the on picture, in rows of the switch; the housing around it looks the same in
// every row, so the wrapped rows of the off picture show plain housing.
inline constexpr int kKnobTop = 6;
inline constexpr int kKnobHeight = 25;
static_assert(kKnobTop + kKnobHeight + kSwitchKnobTravel < kSwitchHeight);
static_assert(kKnobTop + kKnobHeight <= kSwitchWrapShift, "the wrapped rows hold no knob");
