// The PC keyboard's characters and arrow keys, and the calculator keys they press. keymap.dat
// is written from this table: byte c holds the key code of character c (32..127), bytes 28..31
// those of the Right, Left, Up and Down arrow keys; every other byte is 0.
#pragma once

#include <array>
#include <cstdint>

struct KeyMapEntry {
    int byte; // character code, or 28..31 for an arrow key
    int code; // key code on the face
};

inline constexpr int kMapRight = 28, kMapLeft = 29, kMapUp = 30, kMapDown = 31;

// clang-format off
inline constexpr KeyMapEntry kKeyMapTable[] = {
    { '0', 57 }, { '1', 52 }, { '2', 53 }, { '3', 54 }, { '4', 47 },
    { '5', 48 }, { '6', 49 }, { '7', 42 }, { '8', 43 }, { '9', 44 },
    { '.', 58 }, { ',', 58 },                                  // either decimal separator
    { '+', 55 }, { '-', 56 }, { '*', 50 }, { 'x', 50 }, { 'X', 50 },  // x also multiplies
    { '/', 51 }, { '%', 60 }, { '=', 61 },
    { '(', 22 }, { ')', 23 }, { '^', 20 },
    { kMapRight, 9 }, { kMapLeft, 6 }, { kMapUp, 7 }, { kMapDown, 8 },
};
// clang-format on
static_assert(std::size(kKeyMapTable) == 27);

constexpr std::array<uint8_t, 128> BuildKeyMap() {
    std::array<uint8_t, 128> map{};
    for (const KeyMapEntry& e : kKeyMapTable)
        map[static_cast<std::size_t>(e.byte)] = static_cast<uint8_t>(e.code);
    return map;
}

constexpr bool KeyMapBytesValid() {
    std::array<int, 128> seen{};
    for (const KeyMapEntry& e : kKeyMapTable) {
        if (e.byte < 28 || e.byte > 127) return false;
        if (e.code < 3 || e.code > 62 || seen[static_cast<std::size_t>(e.byte)]++) return false;
    }
    return true;
}
static_assert(KeyMapBytesValid(), "bytes 28..127, each once, mapped to keys 3..62");
