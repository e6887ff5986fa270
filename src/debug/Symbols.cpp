// Symbols: the table, the symbol file, addresses typed with names, and the listing with labels.
#include "debug/Symbols.h"

#include "core/Cpu.h"
#include "core/Decode.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

SymbolTable g_symbols;

namespace {

bool NameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '$' ||
           c == '@';
}
bool NameChar(char c) {
    return NameStart(c) || std::isdigit(static_cast<unsigned char>(c));
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hexadecimal digits, with or without 0x or &H; at most 0xFFFF.
bool ParseHexNumber(std::string_view s, uint32_t& value) {
    if (s.size() >= 2 && (s.substr(0, 2) == "0x" || s.substr(0, 2) == "0X" ||
                          s.substr(0, 2) == "&h" || s.substr(0, 2) == "&H"))
        s.remove_prefix(2);
    if (s.empty() || s.size() > 8) return false;
    value = 0;
    for (const char c : s) {
        const int d = HexDigit(c);
        if (d < 0) return false;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return true;
}

bool ValidName(std::string_view name) {
    if (name.empty() || !NameStart(name[0])) return false;
    return std::all_of(name.begin(), name.end(), NameChar);
}

} // namespace

void SymbolTable::Clear() {
    byAddress_.clear();
}

void SymbolTable::Add(uint16_t address, std::string_view name) {
    const auto same = std::find_if(byAddress_.begin(), byAddress_.end(),
                                   [&](const Symbol& s) { return s.Name == name; });
    if (same != byAddress_.end()) byAddress_.erase(same);
    const auto at = std::upper_bound(byAddress_.begin(), byAddress_.end(), address,
                                     [](uint16_t a, const Symbol& s) { return a < s.Address; });
    byAddress_.insert(at, Symbol{address, std::string(name)});
}

std::optional<uint16_t> SymbolTable::Find(std::string_view name) const {
    for (const Symbol& s : byAddress_)
        if (s.Name == name) return s.Address;
    return std::nullopt;
}

const std::string* SymbolTable::NameAt(uint16_t address) const {
    const auto at = std::lower_bound(byAddress_.begin(), byAddress_.end(), address,
                                     [](const Symbol& s, uint16_t a) { return s.Address < a; });
    if (at == byAddress_.end() || at->Address != address) return nullptr;
    return &at->Name;
}

std::string SymbolTable::Describe(uint16_t address) const {
    auto at = std::upper_bound(byAddress_.begin(), byAddress_.end(), address,
                               [](uint16_t a, const Symbol& s) { return a < s.Address; });
    if (at == byAddress_.begin()) return {};
    --at;
    const uint16_t base = at->Address;
    // The first name at that address.
    while (at != byAddress_.begin() && std::prev(at)->Address == base) --at;
    const unsigned offset = static_cast<unsigned>(address - base);
    if (offset > 0xFF) return {};
    if (offset == 0) return at->Name;
    char buf[8];
    std::snprintf(buf, sizeof buf, "+%X", offset);
    return at->Name + buf;
}

AddressNamer SymbolTable::ExactNamer() const {
    return [this](uint16_t address) {
        const std::string* name = NameAt(address);
        return name ? *name : std::string();
    };
}

bool ParseSymbols(std::string_view text, SymbolTable& table, std::string& error) {
    int lineNo = 0;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        ++lineNo;
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        const size_t blank = line.find_first_of(" \t");
        uint32_t address = 0;
        if (blank == std::string_view::npos || !ParseHexNumber(line.substr(0, blank), address) ||
            address > 0xFFFF) {
            error = "line " + std::to_string(lineNo) + ": expected ADDRESS NAME";
            return false;
        }
        const std::string_view name = Trim(line.substr(blank + 1));
        if (!ValidName(name)) {
            error = "line " + std::to_string(lineNo) + ": not a name: " + std::string(name);
            return false;
        }
        table.Add(static_cast<uint16_t>(address), name);
    }
    return true;
}

bool LoadSymbols(const std::string& path, std::string& error) {
    g_symbols.Clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the symbol file " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string why;
    if (!ParseSymbols(text.str(), g_symbols, why)) {
        g_symbols.Clear();
        error = path + ": " + why;
        return false;
    }
    return true;
}

std::string FormatSymbols(const std::vector<Symbol>& symbols) {
    std::string out;
    for (const Symbol& s : symbols) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(s.Address));
        out += buf;
        out += s.Name;
        out += '\n';
    }
    return out;
}

bool ParseAddress(std::string_view text, const SymbolTable& symbols, uint16_t& address,
                  std::string& error) {
    text = Trim(text);
    if (text.empty()) {
        error = "an address is missing";
        return false;
    }
    if (const auto a = symbols.Find(text)) {
        address = *a;
        return true;
    }
    // name+N, name-N: the last sign that follows a valid name.
    const size_t sign = text.find_last_of("+-");
    if (sign != std::string_view::npos && sign > 0) {
        const std::string_view name = Trim(text.substr(0, sign));
        if (const auto a = symbols.Find(name)) {
            uint32_t n = 0;
            if (!ParseHexNumber(Trim(text.substr(sign + 1)), n) || n > 0xFFFF) {
                error = "not an offset: " + std::string(text.substr(sign + 1));
                return false;
            }
            const int32_t v =
                text[sign] == '+' ? *a + static_cast<int32_t>(n) : *a - static_cast<int32_t>(n);
            if (v < 0 || v > 0xFFFF) {
                error = "address out of range: " + std::string(text);
                return false;
            }
            address = static_cast<uint16_t>(v);
            return true;
        }
    }
    uint32_t n = 0;
    if (!ParseHexNumber(text, n)) {
        error = "not an address or a known name: " + std::string(text);
        return false;
    }
    if (n > 0xFFFF) {
        error = "address above FFFF: " + std::string(text);
        return false;
    }
    address = static_cast<uint16_t>(n);
    return true;
}

std::vector<ListingLine> LabelledListing(uint16_t from, int rows, const SymbolTable& symbols) {
    std::vector<ListingLine> out;
    const AddressNamer namer = symbols.ExactNamer();
    const AddressNamer* n = symbols.Empty() ? nullptr : &namer;
    uint16_t address = from;
    while (static_cast<int>(out.size()) < rows) {
        if (const std::string* name = symbols.NameAt(address)) {
            out.push_back({address, true, *name + ":"});
            if (static_cast<int>(out.size()) >= rows) break;
        }
        const DecodedInstruction in = Decode(address);
        out.push_back({address, false, ListingRow(in, n)});
        address = in.Next;
        if (address < from) break; // wrapped past 0xFFFF
    }
    return out;
}

AsmResult AssembleLineWithSymbols(std::string_view line, uint16_t page,
                                  const SymbolTable& symbols) {
    std::vector<AsmValue> values;
    size_t i = 0;
    // The mnemonic (the first word) is never a name.
    while (i < line.size() && line[i] == ' ') ++i;
    while (i < line.size() && NameChar(line[i])) ++i;
    while (i < line.size()) {
        if (line[i] == ';') break;
        if (!NameStart(line[i]) || (i > 0 && (NameChar(line[i - 1]) || line[i - 1] == '&'))) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < line.size() && NameChar(line[i])) ++i;
        const std::string_view word = line.substr(start, i - start);
        if (AsmIsOperandName(word)) continue;
        const auto address = symbols.Find(word);
        if (!address) continue;
        int32_t value = *address;
        // An offset: +N or -N, N decimal or &H/0x hexadecimal.
        size_t j = i;
        while (j < line.size() && line[j] == ' ') ++j;
        if (j < line.size() && (line[j] == '+' || line[j] == '-')) {
            const bool plus = line[j] == '+';
            size_t k = j + 1;
            while (k < line.size() && line[k] == ' ') ++k;
            int base = 10;
            if (line.substr(k, 2) == "&h" || line.substr(k, 2) == "&H" ||
                line.substr(k, 2) == "0x" || line.substr(k, 2) == "0X") {
                base = 16;
                k += 2;
            }
            const size_t digits = k;
            int32_t n = 0;
            while (k < line.size() && HexDigit(line[k]) >= 0 && HexDigit(line[k]) < base &&
                   n <= 0xFFFF) {
                n = n * base + HexDigit(line[k]);
                ++k;
            }
            if (k > digits) {
                value = plus ? value + n : value - n;
                i = k;
            }
        }
        values.push_back({static_cast<int32_t>(start) + 1, static_cast<int32_t>(i) + 1,
                          static_cast<uint16_t>(value)});
    }
    if (values.empty()) return AssembleLine(line, page);
    return AssembleLine(line, page, values);
}
