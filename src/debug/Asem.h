// The one-line assembler: one line in the listing's notation becomes the bytes of one
// instruction, or up to three data bytes. It touches no memory and no processor state; a
// failure is reported only by the position at which scanning stopped.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The assembler's state, set up anew by every call. AsmLine and AsmPage are written by the
// caller; only the first kAsmLineMax characters of AsmLine are read.
extern std::string AsmLine;
extern uint16_t AsmPage; // short jumps must target the 256-address page of this address
extern int32_t AsmPos;   // after the call: 0 success, else the 1-based stop position
extern int32_t AsmCount; // valid bytes of AsmBytes on success, 0-3
extern uint8_t AsmBytes[3];

inline constexpr int kAsmLineMax = 64;

// Assembles AsmLine (see above for inputs and outputs). Never throws, never allocates.
void AssembleLine();

// --- Constant tables --------------------------------------------------------------------------

struct AsmMnemonic {
    std::string_view Name;
    uint16_t Code; // code word W: W.lo is byte 0, W.hi the top bits of byte 1
    uint8_t Form;  // operand form 0-23
};

struct AsmSpecialReg {
    std::string_view Name;
    uint16_t ImmCode; // XORed into the code word of pst with a number
    uint8_t RegCode;  // XORed into the code word of pst/gst with a register
    uint8_t Perm;     // bit 0 register, bit 1 number up to 127, bit 2 number up to 255
};

struct AsmName {
    std::string_view Name;
    uint8_t Value; // pointer number, or condition code
    uint8_t Alu;   // short pointers only: pointer-ALU code (0 = none)
};

extern const std::array<AsmMnemonic, 132> kAsmMnemonics;
extern const std::array<AsmSpecialReg, 13> kAsmSpecialRegs;
extern const std::array<AsmName, 4> kAsmShortPointers;
extern const std::array<AsmName, 8> kAsmLongPointers;
extern const std::array<AsmName, 14> kAsmConditions;

// Index into kAsmMnemonics of the longest mnemonic at the start of text (compared without
// regard to case), with its length in length; -1 when none matches.
int AsmMatchMnemonic(std::string_view text, int& length);

// True when text, compared without regard to case, is exactly a special-register, pointer or
// condition name.
bool AsmIsOperandName(std::string_view text);
