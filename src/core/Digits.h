// The one reader of digits in the number texts the system takes (the assembler, the debug
// window's fields, the settings file, the tools' options).
#pragma once

// A character's value as a digit: 0-9 for "0"-"9", 10-15 for "A"-"F" and "a"-"f", and 16 (a
// digit of no base) for every other character. A text in base b takes the characters whose
// value is below b.
constexpr int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 16;
}
