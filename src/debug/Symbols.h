// Symbols: the names of code addresses, read from a symbol file (velmora-asm -s writes one; the
// firmware build writes symbols.sym for the default firmware). The listing, the operands of jumps
// and calls, the call stack, breakpoints and watchpoints show addresses through them, and the
// places that take an address take a name, or a name plus or minus a number, instead.
//
// The file format (docs/symbols.md): one symbol per line, "ADDRESS NAME", the address as four
// hexadecimal digits, one blank, then the name (letters, digits, '_', '.', '$' and '@', not
// starting with a digit). Blank lines and lines starting with ';' or '#' are skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "debug/Asem.h"
#include "debug/Dis.h"

struct Symbol {
    uint16_t Address = 0;
    std::string Name;
};

class SymbolTable {
public:
    bool Empty() const { return byAddress_.empty(); }
    void Clear();
    // Adds a symbol; a second name for the same address is kept too (the first one added is the
    // one the listing shows), a name already present is replaced.
    void Add(uint16_t address, std::string_view name);
    // All symbols, ordered by address (and, at one address, in the order added).
    const std::vector<Symbol>& All() const { return byAddress_; }

    // The address of a name (compared exactly), if present.
    std::optional<uint16_t> Find(std::string_view name) const;
    // The first name at exactly this address, or nullptr.
    const std::string* NameAt(uint16_t address) const;
    // "name" at a symbol's address, "name+N" (N in hexadecimal, "+1A") up to 0xFF past the
    // nearest symbol below; empty when there is none that close.
    std::string Describe(uint16_t address) const;
    // Describe as an AddressNamer for the disassembler (exact names only, so that an ldw value
    // that is a plain number is not dressed as name+n).
    AddressNamer ExactNamer() const;

private:
    std::vector<Symbol> byAddress_;
};

// The symbols of the loaded firmware, used by every front end.
extern SymbolTable g_symbols;

// Reads a symbol file's text into table (added to what it holds). On a malformed line, stops
// and returns false with "line N: ..." in error; the lines before it stay added.
bool ParseSymbols(std::string_view text, SymbolTable& table, std::string& error);
// Loads a symbol file into g_symbols, replacing what it held. False with a message (the file
// cannot be read, or a malformed line) and g_symbols empty.
bool LoadSymbols(const std::string& path, std::string& error);
// The text of a symbol file for these symbols, one "ADDRESS NAME" line each, in the given order.
std::string FormatSymbols(const std::vector<Symbol>& symbols);

// Reads an address as the debugger takes one: a symbol name, name+N or name-N, or a number. Numbers
// are hexadecimal, as in the breakpoint field, with or without a 0x or &H prefix. A name that is
// also a hexadecimal number (e.g. "add") is taken as the name. Leading and trailing blanks are
// skipped. False with a message when the text is none of these or the result is above 0xFFFF.
bool ParseAddress(std::string_view text, const SymbolTable& symbols, uint16_t& address,
                  std::string& error);

// One row of the listing with labels: either a label row ("name:") at the address of the
// instruction row that follows it, or an instruction row (ListingRow with names in operands).
struct ListingLine {
    uint16_t Address = 0;
    bool Label = false;
    std::string Text;
};
// Up to rows rows from address from, as DisListing, with a label row before every instruction
// whose address has a name, and jump and call targets named. Stops after the row at which the
// address wraps past 0xFFFF.
std::vector<ListingLine> LabelledListing(uint16_t from, int rows, const SymbolTable& symbols);

// The listing's assembler line with names: every name of the table in the line (a whole word that
// is not the mnemonic, a register, or a pointer, condition or special-register name), optionally
// followed by +N or -N, stands for its address where the notation takes a number
// ("cal print_number", "jmp z,loop+3"). Otherwise as AssembleLine.
AsmResult AssembleLineWithSymbols(std::string_view line, uint16_t page, const SymbolTable& symbols);
