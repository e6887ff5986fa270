// The key matrix: the two key slots (mouse and PC keyboard), the self-test hold, the key map,
// KeyboardUpdate, the face hit test and the PC-key translation.
#pragma once

#include <array>
#include <cstdint>

struct KeyboardState {
    int32_t MouseKey = 0;      // key code held with the mouse on the face, 0 = none
    int32_t KeyboardKey = 0;   // key code held on the PC keyboard, 0 = none
    int32_t SelfTestCount = 0; // while non-zero, KI bit 4 reads as pressed
    uint8_t KeyMap[128] = {};  // character code (32..127) and arrow bytes 28..31 to key code
};

extern KeyboardState g_kbd;

// Key codes with a fixed meaning.
inline constexpr int kKeyMinimise = 1;
inline constexpr int kKeyClose = 2;
inline constexpr int kKeyWake = 46;    // senses on KI bit 0 while KC is exactly 0x40
inline constexpr int kKeyOffFace = 62; // the key not on the face, reached with F8
inline constexpr int kLastKeyCode = 62;

// One group of equally sized, equally spaced key rectangles on the face.
struct KeyGroup {
    int firstCode, left, top, width, height, pitchX, pitchY, columns, keys;
};
// clang-format off
inline constexpr KeyGroup kKeyGroups[] = {
    // code left  top   w   h  px  py cols keys
    {  1,  441, 538, 17, 17, 18, 40, 2,  2 },   // minimise and close buttons
    {  3,   18, 214, 34, 35, 37, 40, 7,  7 },
    { 10,  295,  48, 36, 34, 42, 40, 4, 20 },
    { 30,   35, 342, 37, 39, 43, 45, 3, 12 },
    { 42,  168, 342, 53, 39, 59, 45, 5, 20 },   // numeric pad
};
// clang-format on
static_assert(std::size(kKeyGroups) == 5, "five key groups on the face");

// Recomputes KI from KC and the held keys; may end the wait and off states.
void KeyboardUpdate();
// Host input: the key slots become mouseKey and keyboardKey, then KeyboardUpdate runs. Every
// change of a key slot from outside the machine (the mouse on the face, the PC keyboard, the
// headless runner's key events, scripts) goes through here, so that the step history records
// it with its step.
void KeyboardSetKeys(int32_t mouseKey, int32_t keyboardKey);
// Face pixel to key code 1..61, or 0 for no key.
int FaceHitTest(int x, int y);

// PC virtual key codes the translation knows.
inline constexpr int kVkEnter = 13, kVkEscape = 27, kVkEnd = 35, kVkHome = 36, kVkLeft = 37,
                     kVkUp = 38, kVkRight = 39, kVkDown = 40, kVkDelete = 46, kVkF3 = 114,
                     kVkF8 = 119;

// PC key down: sets KeyboardKey by the fixed table (or leaves it) and runs KeyboardUpdate.
// Returns true for F3, which the caller answers by showing the debug window.
bool KeyboardKeyDown(int virtualKey);
// Translated character: KeyboardKey from KeyMap for 32..127 with a non-zero byte, then update.
void KeyboardChar(int character);
// Any key up (and deactivation of the main window): release the PC key, then update.
void KeyboardKeyUp();
