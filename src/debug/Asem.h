// The one-line assembler: one line in the listing's notation becomes the bytes of one
// instruction, or up to three data bytes. It is a function of its inputs: it touches no memory
// and no processor state and keeps nothing between calls; a failure is reported only by the
// position at which scanning stopped. The mnemonics, and the index each line encodes to, come
// from the instruction table (core/Instructions.h).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/Instructions.h"

// The longest line the debug window's editor and velmora-asm --line hand over.
inline constexpr int kAsmLineMax = 64;

struct AsmResult {
    int32_t AsmPos = 1;   // 0: success; else the 1-based position at which scanning stopped,
                          // one past the last character when the line ended too early
    int32_t AsmCount = 0; // on success, how many of AsmBytes are valid: 0 to 3
    std::array<uint8_t, 3> AsmBytes{}; // in storage order: byte 0, byte 1, byte 2
    bool Ok() const { return AsmPos == 0; }
};

// A value that stands in the line for an expression its caller has already evaluated (a label,
// an equ name, $+2): the characters from position Begin up to, not including, End (1-based).
// Where the notation takes a number the assembler takes the value as if its digits were written
// there; anywhere else it stops at Begin, as at any character it cannot read.
struct AsmValue {
    int32_t Begin;
    int32_t End;
    uint16_t Value;
};

// Assembles the first kAsmLineMax characters of AsmLine. AsmPage is the page reference of the
// short jumps (sjmp, scal): their target must lie in the 256-address page of AsmPage.
AsmResult AssembleLine(std::string_view AsmLine, uint16_t AsmPage);
// The same notation with values in given places of the line (in increasing order, not
// overlapping); the whole line is read, so its caller keeps it to the notation's length.
AsmResult AssembleLine(std::string_view AsmLine, uint16_t AsmPage,
                       std::span<const AsmValue> AsmValues);

// The mnemonics the assembler takes: those of the instruction table that a form writes, "stlm"
// and "db".
struct AsmMnemonic {
    std::string_view Name;
    AsmForm Form;
};
inline constexpr int kAsmMnemonicCount = 132;
std::span<const AsmMnemonic> AsmMnemonics();

// Index into AsmMnemonics() of the longest mnemonic at the start of text (compared without
// regard to case), with its length in length; -1 when none matches.
int AsmMatchMnemonic(std::string_view text, int& length);

// True when text, compared without regard to case, is exactly a special-register, pointer or
// condition name.
bool AsmIsOperandName(std::string_view text);

// What a form's operands look like, in a few words for messages.
std::string_view AsmFormSyntax(AsmForm form);

// A failed line's fault in words, for messages: "unknown instruction" when scanning stopped
// before the end of a known mnemonic, otherwise "cannot assemble 'ld': stopped at ')'; expected
// " and the form's operands ("at the end of the line" when it stopped there; a value of
// AsmValues shows as its first digit, as the notation would have it).
std::string AsmFailureText(std::string_view AsmLine, int32_t AsmPos,
                           std::span<const AsmValue> AsmValues = {});
