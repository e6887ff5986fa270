// The disassembler: a decoded instruction (core/Decode.h) as the listing writes it, a mnemonic
// and an operand text, and the code listing built from it. It reads the machine only through
// Decode, so listing code changes nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Decode.h"

// Names a 16-bit operand (a jump or call target, an ldw value) for the listing, or returns an
// empty text to leave it as &Hxxxx.
using AddressNamer = std::function<std::string(uint16_t address)>;

// Appends the operand text of the instruction to out.
void AppendOperands(std::string& out, const DecodedInstruction& d,
                    const AddressNamer* namer = nullptr);
std::string DisOperands(const DecodedInstruction& d, const AddressNamer* namer = nullptr);

// Appends the listing row of the instruction: its address as four upper-case hex digits and
// ":", the mnemonic from column 6 and the operand text from column 12 (a row without operands
// ends in the blanks up to column 12).
void AppendListingRow(std::string& out, const DecodedInstruction& d,
                      const AddressNamer* namer = nullptr);
std::string ListingRow(const DecodedInstruction& d, const AddressNamer* namer = nullptr);

// Up to count rows from address from, as the debug pane draws them: each row at the address the
// one before ended, stopping after the row at which the address wraps past 0xFFFF.
std::vector<std::string> DisListing(uint16_t from, int count);
