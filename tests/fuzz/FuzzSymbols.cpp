// Fuzz target for the symbol file reader: the input is the file's text. A text that is taken
// must write back to a file that reads as the same table; every name must be found at its
// address, be described there, and be taken as a typed address. A refused text names its line.
// The first line of the input is also assembled as a listing line with the table's names.
#include "debug/Asem.h"
#include "debug/Symbols.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

void ReportWarning(std::string_view) {}

namespace {
[[noreturn]] void Broken(const char* what, std::string_view text) {
    std::fprintf(stderr, "invariant broken: %s (\"%.*s\")\n", what,
                 static_cast<int>(text.size() > 200 ? 200 : text.size()), text.data());
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    SymbolTable table;
    std::string error;
    const bool ok = ParseSymbols(text, table, error);
    if (!ok && error.rfind("line ", 0) != 0) Broken("an error without its line", text);
    if (ok) {
        const std::string written = FormatSymbols(table.All());
        SymbolTable back;
        if (!ParseSymbols(written, back, error) || FormatSymbols(back.All()) != written)
            Broken("the table does not read back", text);
        for (const Symbol& s : table.All()) {
            if (table.Find(s.Name) != s.Address) Broken("a name is not at its address", text);
            if (table.Describe(s.Address).empty())
                Broken("a name's address is not described", text);
            uint16_t a = 0;
            if (!ParseAddress(s.Name, table, a, error) || a != s.Address)
                Broken("a name is not taken as its address", text);
        }
    }
    const std::string_view line = text.substr(0, text.find('\n'));
    const AsmResult r = AssembleLineWithSymbols(line.substr(0, 200), 0x1800, table);
    if (r.AsmPos < 0 || (r.Ok() && (r.AsmCount < 0 || r.AsmCount > 3)))
        Broken("an assembler result out of range", text);
    return 0;
}
