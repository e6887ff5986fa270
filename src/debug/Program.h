// The whole-program assembler behind velmora-asm: labels, equ, org, db/dw and expressions on top
// of the one-line assembler, which encodes every instruction, so the two always agree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ProgramError {
    int Line;   // 1-based source line
    int Column; // 1-based source column
    std::string Message;
};

// A label of the program and the code address it stands for.
struct ProgramLabel {
    uint16_t Address;
    std::string Name;
};

struct ProgramImage {
    std::vector<uint8_t> Rom;         // rom0.bin: 6144 words of 3 bytes, unused bytes 0
    std::vector<uint8_t> Ext;         // rom1.bin: 32768 bytes, unused bytes 0
    std::string Listing;              // address, bytes and source line, one row per line
    std::vector<ProgramError> Errors; // empty on success
    std::vector<ProgramLabel> Labels; // on success: every label (not equ), by address, then
                                      // in source order
    bool Ok() const { return Errors.empty(); }
};

// Assembles a whole source text. On any error Errors is non-empty (in line order, at most a few
// dozen) and the images must not be used.
ProgramImage AssembleProgram(std::string_view source);
