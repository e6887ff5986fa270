// The key matrix: the two key slots (mouse and PC keyboard), the self-test hold, the key map,
// KeyboardUpdate, the face hit test, the PC-key translation, and the desktop program's paced
// key input (minimum holds, overlapping PC keys, paste).
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string_view>

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
// Face pixel to key code 1..61, or 0 for no key.
int FaceHitTest(int x, int y);

// A key's rectangle on the face, in face pixels: the one FaceHitTest finds it in.
struct FaceRect {
    int x, y, width, height;
};
// The rectangle of key code 1..61; an empty one (width 0) for any other code.
FaceRect FaceKeyRect(int code);

// The two key slots. Every change a program makes to them goes through SetKeySlot (which also
// logs it in the step history).
enum class KeySlot : uint8_t { Mouse, Keyboard };
inline constexpr int kKeySlots = 2;
// Writes MouseKey or KeyboardKey, then runs KeyboardUpdate.
void SetKeySlot(KeySlot slot, int32_t code);
int32_t KeySlotValue(KeySlot slot);

// PC virtual key codes the translation knows.
inline constexpr int kVkBack = 8, kVkEnter = 13, kVkEscape = 27, kVkEnd = 35, kVkHome = 36,
                     kVkLeft = 37, kVkUp = 38, kVkRight = 39, kVkDown = 40, kVkDelete = 46,
                     kVkF3 = 114, kVkF8 = 119;

// PC key down: sets KeyboardKey by the fixed table (or leaves it) and runs KeyboardUpdate.
// Returns true for F3, which the caller answers by showing the debug window.
bool KeyboardKeyDown(int virtualKey);
// Translated character: KeyboardKey from KeyMap for 32..127 with a non-zero byte, then update.
void KeyboardChar(int character);
// Any key up (and deactivation of the main window): release the PC key, then update.
void KeyboardKeyUp();

// What a PC key press means for the key slot: the fixed table for the virtual key, else KeyMap
// for the character (32..127 with a non-zero byte). The key code (0 for an arrow key whose
// KeyMap byte is 0: the slot is emptied), or kNoKey when the press leaves the slot alone (F3,
// unmapped keys and characters).
inline constexpr int32_t kNoKey = -1;
int32_t PcKeyCode(int virtualKey, int character);

// --- Paced key input (the desktop program) ------------------------------------------------
// Presses and releases from the desktop program do not write the slots at once. Each slot
// keeps a queue of changes that the run ticks drain: a change waits until the state before it
// has lasted its minimum number of run ticks and the firmware has seen it, that is, written KC
// so that KeyboardUpdate sensed the key held (or ran with the slot empty), or until
// kKeySeenCapTicks have passed. So a tap shorter than a run tick still reaches the firmware's
// scan, and between two keys the slot stays empty until the firmware has noticed (a firmware
// that waits for all keys up before it takes the next key sees every key of overlapping
// typing). Changes that meet no wait are applied at once. The headless tools write the slots
// directly and keep their exact timing.
inline constexpr int kKeyHoldTicks = 3;     // 30 ms of emulated time
inline constexpr int kPasteHoldTicks = 10;  // as velmora-headless --type: 100 ms held,
inline constexpr int kPasteGapTicks = 10;   // then 100 ms up
inline constexpr int kKeySeenCapTicks = 50; // a firmware that never looks does not stall input

struct PacedKeyChange {
    int32_t Code;     // the slot's new value
    int32_t MinTicks; // run ticks it must then last
    bool Pasted;      // part of a paste, dropped when a key is pressed
};

struct PacedSlot {
    std::deque<PacedKeyChange> Pending; // oldest first
    int32_t Ticks = 0;                  // run ticks the slot's present value has lasted
    int32_t MinTicks = 0;               // ... and must last before the next change
    uint32_t Owner = 0;                 // the PC key whose press is held or queued last; 0 none
};

struct PacedKeyState {
    PacedSlot Slots[kKeySlots];
    // Bit per slot (1 << slot): KeyboardUpdate sensed the slot's present key held, or ran
    // (with KC at 0x40 or above) while the slot was empty, since the value was set. Both
    // empty slots count as seen at the start.
    uint8_t Seen = 3;
};

extern PacedKeyState g_pacedKeys;

// A press of key CODE (0: the slot empties, as for an arrow key with no key) by the PC key or
// mouse button OWNER; a press also cancels a paste in progress. The key pressed last is the one
// held: a press while another key is held releases that one first.
void PacedKeyPress(KeySlot slot, int32_t code, uint32_t owner);
// The release of OWNER: empties the slot only if OWNER pressed its key (an older PC key that
// was overridden changes nothing).
void PacedKeyRelease(KeySlot slot, uint32_t owner);
// Releases whatever the slot holds or has queued (the window lost the focus).
void PacedKeyReleaseAll(KeySlot slot);
// Types TEXT (Unicode code points) into the keyboard slot through KeyMap, each character held
// kPasteHoldTicks and followed by kPasteGapTicks; a line break presses Enter, and the signs
// U+00D7, U+00F7 and U+2212 count as '*', '/' and '-'. Returns the number of characters
// skipped because no key types them.
int PacedPaste(std::u32string_view text);
// Whether a paste is still being typed.
bool PacedPasteActive();
// One run tick that ran the processor has passed: counts it and applies the changes due.
void PacedKeyTick();
// Applies every queued change at once (the power switch: no run tick would drain them).
void PacedKeyFlush();
