// What is printed on every key of the face, by key code. The firmware gives the keys their
// meaning; this table is the legend the face shows and the one the firmware is written to.
// A key's second legend, printed on the body above it, is what the key does after SHIFT.
#pragma once

#include <array>
#include <string_view>

enum class KeyStyle { Window, Power, Shift, Function, Memory, Digit, Operator, Clear, Equals };

struct KeyLegend {
    int code;
    std::string_view text; // UTF-8; "a^b" prints b raised; "<L>" "<R>" "<U>" "<D>" are arrows
    KeyStyle style;
    std::string_view shifted = {}; // the second legend, after SHIFT; "" for none
};

// clang-format off
inline constexpr KeyLegend kKeyLegends[] = {
    // The window's own buttons, bottom right.
    {  1, "\xE2\x80\x93", KeyStyle::Window },     // – minimise
    {  2, "\xC3\x97",     KeyStyle::Window },     // × close
    // The row under the display.
    {  3, "OFF",   KeyStyle::Power },
    {  4, "SHIFT", KeyStyle::Shift },
    {  5, "MODE",  KeyStyle::Function, "PRGM" },
    {  6, "<L>",   KeyStyle::Function },
    {  7, "<U>",   KeyStyle::Function },
    {  8, "<D>",   KeyStyle::Function },
    {  9, "<R>",   KeyStyle::Function },
    // Scientific block beside the display, 4 x 5.
    { 10, "sin",   KeyStyle::Function, "sin^-1" }, { 11, "cos",  KeyStyle::Function, "cos^-1" },
    { 12, "tan",   KeyStyle::Function, "tan^-1" },
    { 13, "\xCF\x80", KeyStyle::Function, "e" },                                    // π, e
    { 14, "log",   KeyStyle::Function }, { 15, "ln",   KeyStyle::Function },
    { 16, "10^x",  KeyStyle::Function }, { 17, "e^x",  KeyStyle::Function },
    { 18, "x^2",   KeyStyle::Function, "x^3" },
    { 19, "\xE2\x88\x9A", KeyStyle::Function, "\xE2\x88\x9B" },                     // √, ∛
    { 20, "x^y",   KeyStyle::Function, "^x\xE2\x88\x9A" },                             // x-th root
    { 21, "1/x",  KeyStyle::Function },
    { 22, "(",     KeyStyle::Function }, { 23, ")",    KeyStyle::Function },
    { 24, "n!",    KeyStyle::Function }, { 25, "HYP",  KeyStyle::Function },
    { 26, "DRG",   KeyStyle::Function }, { 27, "nPr",  KeyStyle::Function },
    { 28, "nCr",   KeyStyle::Function }, { 29, "RND",  KeyStyle::Function, "Ran#" },
    // Memory block left of the number pad, 3 x 4.
    { 30, "MENU",  KeyStyle::Memory }, { 31, "ANS",  KeyStyle::Memory, "X" },
    { 32, "SWAP",  KeyStyle::Memory },
    { 33, "MC",    KeyStyle::Memory }, { 34, "MR",   KeyStyle::Memory },
    { 35, "STO",   KeyStyle::Memory },
    { 36, "M+",    KeyStyle::Memory }, { 37, "M\xE2\x88\x92", KeyStyle::Memory },  // M−
    { 38, "RCL",   KeyStyle::Memory },
    { 39, "a b/c", KeyStyle::Memory, "d/c" }, { 40, "EXP",  KeyStyle::Memory },
    { 41, "(\xE2\x88\x92)", KeyStyle::Memory },                                     // (−)
    // The number pad, 5 x 4.
    { 42, "7", KeyStyle::Digit }, { 43, "8", KeyStyle::Digit }, { 44, "9", KeyStyle::Digit },
    { 45, "DEL", KeyStyle::Clear }, { 46, "AC", KeyStyle::Clear },
    { 47, "4", KeyStyle::Digit, "P4" }, { 48, "5", KeyStyle::Digit }, { 49, "6", KeyStyle::Digit },
    { 50, "\xC3\x97", KeyStyle::Operator },                                          // ×
    { 51, "\xC3\xB7", KeyStyle::Operator },                                          // ÷
    { 52, "1", KeyStyle::Digit, "P1" }, { 53, "2", KeyStyle::Digit, "P2" },
    { 54, "3", KeyStyle::Digit, "P3" },
    { 55, "+", KeyStyle::Operator },
    { 56, "\xE2\x88\x92", KeyStyle::Operator },                                      // −
    { 57, "0", KeyStyle::Digit }, { 58, ".", KeyStyle::Digit },
    { 59, "\xC2\xB1", KeyStyle::Operator },                                          // ±
    { 60, "%", KeyStyle::Operator }, { 61, "=", KeyStyle::Equals, "PAUSE" },
};
// clang-format on
static_assert(std::size(kKeyLegends) == 61, "a legend for every key code on the face, 1..61");

constexpr bool LegendsInCodeOrder() {
    for (std::size_t i = 0; i < std::size(kKeyLegends); ++i)
        if (kKeyLegends[i].code != static_cast<int>(i) + 1) return false;
    return true;
}
static_assert(LegendsInCodeOrder(), "kKeyLegends[i] is the legend of key code i + 1");

// Key code 62 is not on the face; only the F8 key reaches it.
