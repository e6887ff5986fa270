// The one-line assembler: scanning primitives, the 24 operand forms and the line procedure.
#include "debug/Asem.h"

std::string AsmLine;
uint16_t AsmPage = 0;
int32_t AsmPos = 0;
int32_t AsmCount = 0;
uint8_t AsmBytes[3] = {};

namespace {

// --- Tables ------------------------------------------------------------------------------------

constexpr AsmMnemonic kMnemonics[] = {
    // Form 0: no operands.
    {"off", 0x00AF, 0},
    {"wai", 0x00BF, 0},
    {"rti", 0x00CF, 0},
    {"nop", 0x00EF, 0},
    {"trp", 0x00FF, 0},
    // Form 1: one register.
    {"rod", 0x0060, 1},
    {"rou", 0x8060, 1},
    {"did", 0x0061, 1},
    {"diu", 0x8061, 1},
    {"tcmpb", 0x0062, 1},
    {"cmpb", 0x8062, 1},
    {"tcmp", 0x0063, 1},
    {"cmp", 0x8063, 1},
    {"byd", 0x0064, 1},
    {"byu", 0x8064, 1},
    {"bnd", 0x0065, 1},
    {"bnu", 0x8065, 1},
    {"tmtb", 0x0066, 1},
    {"mtb", 0x8066, 1},
    {"tbiu", 0x0067, 1},
    {"biu", 0x8067, 1},
    {"bdn", 0x009E, 1},
    {"bup", 0x809E, 1},
    // Form 2: byte arithmetic and logic.
    {"na", 0x8000, 2},
    {"xr", 0x8001, 2},
    {"sbb", 0x8002, 2},
    {"sb", 0x8003, 2},
    {"an", 0x8004, 2},
    {"or", 0x8005, 2},
    {"adb", 0x8006, 2},
    {"ad", 0x8007, 2},
    {"tna", 0x0000, 2},
    {"txr", 0x0001, 2},
    {"tsbb", 0x0002, 2},
    {"tsb", 0x0003, 2},
    {"tan", 0x0004, 2},
    {"tor", 0x0005, 2},
    {"tadb", 0x0006, 2},
    {"tad", 0x0007, 2},
    {"sbbc", 0x8022, 2},
    {"sbc", 0x8023, 2},
    {"adbc", 0x8026, 2},
    {"adc", 0x8027, 2},
    {"tsbbc", 0x0022, 2},
    {"tsbc", 0x0023, 2},
    {"tadbc", 0x0026, 2},
    {"tadc", 0x0027, 2},
    {"bit", 0x0019, 2},
    // Form 3: exchange and shift pairs.
    {"xc", 0x4021, 3},
    {"xcs", 0x4025, 3},
    {"lds", 0xC025, 3},
    {"swp", 0x4024, 3},
    // Form 4: digit exchange and load pairs.
    {"xcl", 0x402D, 4},
    {"xch", 0x4028, 4},
    {"ldl", 0xC02D, 4},
    {"ldh", 0xC028, 4},
    {"xcls", 0x4029, 4},
    {"xchs", 0x402C, 4},
    {"ldls", 0xC029, 4},
    {"ldhs", 0xC02C, 4},
    // Forms 5 to 12.
    {"sdn", 0x001C, 5},
    {"sup", 0x801C, 5},
    {"gst", 0x8098, 6},
    {"pst", 0x0098, 7},
    {"ld", 0x0000, 8},
    {"st", 0x0000, 9},
    {"ldw", 0x00D0, 10},
    {"sbw", 0x00D8, 11},
    {"adw", 0x00DC, 11},
    {"pla", 0x0018, 12},
    {"ijmp", 0x8018, 12},
    // Form 13: multi-byte arithmetic and logic.
    {"sbbm", 0x8012, 13},
    {"sbm", 0x8013, 13},
    {"adbm", 0x8016, 13},
    {"adm", 0x8017, 13},
    {"sbbcm", 0x8032, 13},
    {"sbcm", 0x8033, 13},
    {"adbcm", 0x8036, 13},
    {"adcm", 0x8037, 13},
    {"tsbbm", 0x0012, 13},
    {"tsbm", 0x0013, 13},
    {"tadbm", 0x0016, 13},
    {"tadm", 0x0017, 13},
    {"tsbbcm", 0x0032, 13},
    {"tsbcm", 0x0033, 13},
    {"tadbcm", 0x0036, 13},
    {"tadcm", 0x0037, 13},
    {"nam", 0x8010, 13},
    {"xrm", 0x8011, 13},
    {"anm", 0x8014, 13},
    {"orm", 0x8015, 13},
    {"tnam", 0x0010, 13},
    {"txrm", 0x0011, 13},
    {"tanm", 0x0014, 13},
    {"torm", 0x0015, 13},
    // Forms 14 to 16: block loads and stores.
    {"ldm", 0x0000, 14},
    {"stm", 0x0000, 15},
    {"stlm", 0x0078, 16},
    // Form 17: multi-byte single-register operations.
    {"rodm", 0x0070, 17},
    {"roum", 0x8070, 17},
    {"didm", 0x0071, 17},
    {"dium", 0x8071, 17},
    {"tcmpbm", 0x0072, 17},
    {"cmpbm", 0x8072, 17},
    {"tcmpm", 0x0073, 17},
    {"cmpm", 0x8073, 17},
    {"bydm", 0x0074, 17},
    {"byum", 0x8074, 17},
    {"bndm", 0x0075, 17},
    {"bnum", 0x8075, 17},
    {"tmtbm", 0x0076, 17},
    {"mtbm", 0x8076, 17},
    {"tbium", 0x0077, 17},
    {"bium", 0x8077, 17},
    // Forms 18 to 20: control transfer.
    {"rtn", 0x00C7, 18},
    {"jmp", 0x00A7, 19},
    {"cal", 0x00B7, 19},
    {"sjmp", 0x00E7, 20},
    {"scal", 0x00F7, 20},
    // Form 21: multi-byte exchanges.
    {"xcm", 0x4031, 21},
    {"xcsm", 0x4035, 21},
    {"ldsm", 0xC035, 21},
    {"swpm", 0x4034, 21},
    // Form 22: multi-byte digit exchanges and loads.
    {"xclm", 0x403D, 22},
    {"xchm", 0x4038, 22},
    {"ldlm", 0xC03D, 22},
    {"ldhm", 0xC038, 22},
    {"xclsm", 0x4039, 22},
    {"xchsm", 0x403C, 22},
    {"ldlsm", 0xC039, 22},
    {"ldhsm", 0xC03C, 22},
    // Form 23: data.
    {"db", 0x0000, 23},
};
static_assert(std::size(kMnemonics) == 132);

constexpr bool AllDistinct() {
    for (std::size_t i = 0; i < std::size(kMnemonics); ++i) {
        if (kMnemonics[i].Name.empty() || kMnemonics[i].Name.size() > 7) return false;
        if (kMnemonics[i].Form > 23) return false;
        for (std::size_t j = i + 1; j < std::size(kMnemonics); ++j)
            if (kMnemonics[i].Name == kMnemonics[j].Name) return false;
    }
    return true;
}
static_assert(AllDistinct());

constexpr uint8_t kPermReg = 1, kPerm127 = 2, kPerm255 = 4;

constexpr AsmSpecialReg kSpecialRegs[] = {
    {"as", 0x8015, 0x05, kPermReg | kPerm127},
    {"ds", 0x0011, 0x01, kPermReg | kPerm255},
    {"f", 0x0000, 0x04, kPermReg},
    {"ie", 0x0010, 0x00, kPermReg | kPerm255},
    {"ky", 0x0012, 0x02, kPermReg | kPerm255},
    {"pd", 0x0013, 0x03, kPermReg | kPerm255},
    {"pe", 0x8017, 0x00, kPerm127},
    {"s4", 0x0014, 0x00, kPerm127},
    {"s5", 0x0015, 0x00, kPerm127},
    {"s6", 0x0016, 0x00, kPerm127},
    {"s7", 0x0017, 0x00, kPerm127},
    {"s8", 0x8014, 0x00, kPerm127},
    {"tm", 0x8016, 0x00, kPerm127},
};
static_assert(std::size(kSpecialRegs) == 13);

constexpr AsmName kShortPointers[] = {{"ix", 0, 0x40}, {"iy", 1, 0x50}, {"iz", 2, 0}, {"sp", 3, 0}};
static_assert(std::size(kShortPointers) == 4);

constexpr AsmName kLongPointers[] = {{"ix", 0, 0}, {"iy", 1, 0}, {"iz", 2, 0}, {"sp", 7, 0},
                                     {"v0", 6, 0}, {"v1", 5, 0}, {"v2", 4, 0}, {"v3", 3, 0}};
static_assert(std::size(kLongPointers) == 8);

constexpr AsmName kConditions[] = {{"nk", 0x7, 0}, {"nlz", 0x6, 0}, {"nuz", 0x5, 0}, {"nz", 0x4, 0},
                                   {"nv", 0x3, 0}, {"nh", 0x2, 0},  {"nc", 0x1, 0},  {"k", 0xF, 0},
                                   {"lz", 0xE, 0}, {"uz", 0xD, 0},  {"z", 0xC, 0},   {"v", 0xB, 0},
                                   {"h", 0xA, 0},  {"c", 0x9, 0}};
static_assert(std::size(kConditions) == 14);

template <typename T, std::size_t N> constexpr std::array<T, N> ToArray(const T (&a)[N]) {
    std::array<T, N> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = a[i];
    return out;
}

constexpr char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Digit value: the index in "0123456789ABCDEFabcdef", a-f counting 10-15, else 16.
constexpr int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 16;
}

// Longest entry of a table whose name matches text at offset at (case-insensitive); the
// earlier entry wins among equally long matches. Returns the index or -1 and the length.
template <typename Table>
int MatchName(const Table& table, std::string_view text, std::size_t at, int& length) {
    int best = -1;
    length = 0;
    for (std::size_t i = 0; i < std::size(table); ++i) {
        const std::string_view name = table[i].Name;
        if (at + name.size() > text.size() || static_cast<int>(name.size()) <= length) continue;
        bool same = true;
        for (std::size_t k = 0; k < name.size() && same; ++k) same = Lower(text[at + k]) == name[k];
        if (same) {
            best = static_cast<int>(i);
            length = static_cast<int>(name.size());
        }
    }
    return best;
}

// --- Byte codes of the forms ------------------------------------------------------------------

constexpr bool IsIndirect(uint8_t v) {
    return (v & 0x80) != 0;
}
constexpr bool IsUpper(uint8_t v) {
    return (v & 0xC0) == 0x40;
}
constexpr bool IsRonly(uint8_t v) {
    return !IsIndirect(v);
}

// S(v): the second-register byte.
constexpr uint8_t S(uint8_t v) {
    return static_cast<uint8_t>(((v & 7) << 5) | (IsIndirect(v) ? 0x10 : 0) | ((v >> 3) & 7));
}
// T(s, e): the lower-range byte.
constexpr uint8_t T(uint8_t s, uint8_t e) {
    return static_cast<uint8_t>(((e & 7) << 5) | (IsIndirect(s) ? 0x10 : 0) | ((s >> 3) & 7));
}
// E(e): the range-end byte.
constexpr uint8_t E(uint8_t e) {
    return static_cast<uint8_t>((e & 7) << 5);
}

constexpr uint8_t Lo(uint16_t w) {
    return static_cast<uint8_t>(w & 0xFF);
}
constexpr uint8_t Hi(uint16_t w) {
    return static_cast<uint8_t>(w >> 8);
}

// --- Scanner ------------------------------------------------------------------------------------

class Scanner {
public:
    explicit Scanner(std::string_view line) : s_(line) {}

    int pos = 1; // 1-based position of the next character

    bool AtEnd() const { return pos > static_cast<int>(s_.size()); }
    // True when a character is at the position and equals c.
    bool At(char c) const { return !AtEnd() && s_[pos - 1] == c; }
    char LowerHere() const { return AtEnd() ? '\0' : Lower(s_[pos - 1]); }

    void SkipBlanks() {
        while (At(' ')) ++pos;
    }
    bool Literal(std::string_view lit) {
        const std::size_t at = static_cast<std::size_t>(pos - 1);
        if (at + lit.size() > s_.size()) return false;
        for (std::size_t k = 0; k < lit.size(); ++k)
            if (Lower(s_[at + k]) != lit[k]) return false;
        pos += static_cast<int>(lit.size());
        return true;
    }
    bool Char(char c) {
        if (!At(c)) return false;
        ++pos;
        return true;
    }
    bool Comma() {
        SkipBlanks();
        if (!Char(',')) return false;
        SkipBlanks();
        return true;
    }
    template <typename Table> int Name(const Table& table) {
        if (AtEnd()) return -1;
        int length = 0;
        const int i = MatchName(table, s_, static_cast<std::size_t>(pos - 1), length);
        if (i >= 0) pos += length;
        return i;
    }
    // Takes digits of the base; a digit that would carry the value past 0xFFFF is not taken.
    int Digits(int base, uint32_t& value) {
        value = 0;
        int taken = 0;
        while (!AtEnd()) {
            const int d = DigitValue(s_[pos - 1]);
            if (d >= base) break;
            const uint32_t next = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
            if (next > 0xFFFF) break;
            value = next;
            ++pos;
            ++taken;
        }
        return taken;
    }
    bool Number(uint32_t max, uint32_t& n) {
        SkipBlanks();
        const int base = Literal("&h") ? 16 : 10;
        return Digits(base, n) > 0 && n <= max;
    }
    bool Register(uint8_t& v) {
        SkipBlanks();
        uint32_t base;
        if (Literal("i"))
            base = 0x80;
        else if (Literal("r"))
            base = 0;
        else
            return false;
        uint32_t n = 0;
        if (Digits(10, n) == 0 || n > 127 || base + n > 0xBF) return false;
        v = static_cast<uint8_t>(base + n);
        return true;
    }
    enum class Try { kNo, kYes, kBad };
    // A register if a register letter follows the blanks; kNo when none does (only the blanks
    // are consumed), kBad when the letter is there but the register is not valid.
    Try TryRegister(uint8_t& v) {
        SkipBlanks();
        const char c = LowerHere();
        if (c != 'i' && c != 'r') return Try::kNo;
        return Register(v) ? Try::kYes : Try::kBad;
    }
    // The ".." and end register of a range whose start has been read.
    bool RangeEnd(uint8_t start, uint8_t& end) {
        return Literal("..") && Register(end) && (start & 0xF8) == (end & 0xF8);
    }
    bool Range(uint8_t& start, uint8_t& end) { return Register(start) && RangeEnd(start, end); }
    bool Sign(uint8_t& s) {
        SkipBlanks();
        if (Char('+'))
            s = 4;
        else if (Char('-'))
            s = 0;
        else
            return false;
        return true;
    }
    // "(", blanks, a short pointer name. The closing ")" is the caller's step.
    bool PointerOpen(int& entry) {
        if (!Char('(')) return false;
        SkipBlanks();
        entry = Name(kShortPointers);
        return entry >= 0;
    }

private:
    std::string_view s_;
};

// --- Result -------------------------------------------------------------------------------------

bool Emit(int count, uint8_t b0, uint8_t b1 = 0, uint8_t b2 = 0) {
    AsmCount = count;
    AsmBytes[0] = b0;
    AsmBytes[1] = b1;
    AsmBytes[2] = b2;
    return true;
}

// Pair rule for registers a, b written in this order; fills bytes 1 and 2.
bool Pair(uint8_t a, uint8_t b, uint16_t w, uint8_t& b1, uint8_t& b2, bool& upperFirst) {
    if (IsUpper(a) == IsUpper(b)) return false;
    upperFirst = IsUpper(a);
    const uint8_t u = upperFirst ? a : b, l = upperFirst ? b : a;
    b1 = static_cast<uint8_t>((Hi(w) & 0x80) | (upperFirst ? 0x40 : 0) | (u & 0x3F));
    b2 = S(l);
    return true;
}

// Range-pair rule for a..a2, b..b2.
bool RangePair(uint8_t a, uint8_t a2, uint8_t b, uint8_t bb2, uint16_t w, uint8_t& b1, uint8_t& b2,
               bool& upperFirst) {
    if (!Pair(a, b, w, b1, b2, upperFirst)) return false;
    if ((a & 7) != (b & 7) || (a2 & 7) != (bb2 & 7)) return false;
    b2 = upperFirst ? T(b, bb2) : T(a, a2);
    return true;
}

// Single-range rule for s..e with base h.
void SingleRange(uint8_t s, uint8_t e, uint8_t h, uint8_t& b1, uint8_t& b2) {
    if (IsUpper(s)) {
        b1 = static_cast<uint8_t>(h | s);
        b2 = E(e);
    } else {
        b1 = static_cast<uint8_t>(h | (s & 7));
        b2 = T(s, e);
    }
}

// --- Operand forms --------------------------------------------------------------------------
// Each returns true with the bytes emitted, or false with the scanner where it stopped.

bool Form1(Scanner& sc, uint16_t w) {
    uint8_t a;
    if (!sc.Register(a) || !IsRonly(a)) return false;
    return Emit(2, Lo(w), static_cast<uint8_t>(Hi(w) | a));
}

bool Form2(Scanner& sc, uint16_t w) {
    uint8_t a, b;
    const auto first = sc.TryRegister(a);
    if (first == Scanner::Try::kBad) return false;
    if (first == Scanner::Try::kYes) {
        if (!sc.Comma()) return false;
        const auto second = sc.TryRegister(b);
        if (second == Scanner::Try::kBad) return false;
        if (second == Scanner::Try::kYes) {
            uint8_t b1, b2;
            bool uf;
            if (!Pair(a, b, w, b1, b2, uf)) return false;
            return Emit(3, Lo(w), b1, b2);
        }
        uint32_t n;
        if (!IsRonly(a) || !sc.Number(255, n)) return false;
        const uint16_t w1 = w ^ (w == 0x0019 ? 0x8000 : 0x0008);
        return Emit(3, Lo(w1), static_cast<uint8_t>(Hi(w1) | a), static_cast<uint8_t>(n));
    }
    // A pointer in parentheses: only the forms without carry and without bit.
    if ((Lo(w) & 0x30) != 0) return false;
    int p;
    if (!sc.PointerOpen(p)) return false;
    const uint8_t alu = kShortPointers[p].Alu;
    if (alu == 0 || !sc.Char(')') || !sc.Comma()) return false;
    const uint16_t w1 = w ^ alu;
    const auto second = sc.TryRegister(b);
    if (second == Scanner::Try::kBad) return false;
    if (second == Scanner::Try::kYes) {
        if (!IsRonly(b)) return false;
        return Emit(2, Lo(w1), static_cast<uint8_t>(Hi(w1) ^ b ^ 0x40));
    }
    uint32_t n;
    if ((Hi(w) & 0x80) == 0 || !sc.Number(255, n)) return false;
    return Emit(2, Lo(w1 ^ 0x0008), static_cast<uint8_t>(n));
}

bool Form3(Scanner& sc, uint16_t w) {
    uint8_t a, b;
    if (!sc.Register(a)) return false;
    if (w == 0x4024) {
        sc.SkipBlanks();
        if (!sc.At(',')) {
            if (IsUpper(a)) return Emit(3, 0x24, static_cast<uint8_t>(0xC0 | (a & 0x3F)), 0);
            return Emit(3, 0x24, 0x80, S(a));
        }
    }
    uint8_t b1, b2;
    bool uf;
    if (!sc.Comma() || !sc.Register(b) || !Pair(a, b, w, b1, b2, uf)) return false;
    return Emit(3, Lo(w), b1, b2);
}

bool Form4(Scanner& sc, uint16_t w) {
    uint8_t a, b, b1, b2;
    bool uf;
    if (!sc.Register(a) || !sc.Comma() || !sc.Register(b) || !Pair(a, b, w, b1, b2, uf))
        return false;
    return Emit(3, uf ? Lo(w) : static_cast<uint8_t>(Lo(w) ^ 0x05), b1, b2);
}

bool Form5(Scanner& sc, uint16_t w) {
    uint8_t a, b;
    if (!sc.Register(a) || !IsUpper(a)) return false;
    if (!sc.Comma() || !sc.Register(b) || IsUpper(b)) return false;
    return Emit(3, Lo(w), static_cast<uint8_t>(Hi(w) | a), S(b));
}

bool Form6(Scanner& sc, uint16_t w) {
    uint8_t a;
    if (!sc.Register(a) || !IsRonly(a) || !sc.Comma()) return false;
    const int r = sc.Name(kSpecialRegs);
    if (r < 0 || (kSpecialRegs[r].Perm & kPermReg) == 0) return false;
    const uint16_t w1 = w ^ kSpecialRegs[r].RegCode;
    return Emit(2, Lo(w1), static_cast<uint8_t>(Hi(w1) | a));
}

bool Form7(Scanner& sc, uint16_t w) {
    sc.SkipBlanks();
    const int r = sc.Name(kSpecialRegs);
    if (r < 0 || !sc.Comma()) return false;
    const AsmSpecialReg& sr = kSpecialRegs[r];
    uint8_t a;
    const auto t = sc.TryRegister(a);
    if (t == Scanner::Try::kBad) return false;
    if (t == Scanner::Try::kYes) {
        if (!IsRonly(a) || (sr.Perm & kPermReg) == 0) return false;
        const uint16_t w1 = w ^ sr.RegCode;
        return Emit(2, Lo(w1), static_cast<uint8_t>(Hi(w1) | a));
    }
    if ((sr.Perm & (kPerm127 | kPerm255)) == 0) return false;
    uint32_t n;
    if (!sc.Number((sr.Perm & kPerm255) ? 255 : 127, n)) return false;
    const uint16_t w1 = w ^ sr.ImmCode;
    return Emit(2, Lo(w1), static_cast<uint8_t>(Hi(w1) | n));
}

bool Form8(Scanner& sc) {
    uint8_t a, b;
    if (!sc.Register(a) || !sc.Comma()) return false;
    const auto t = sc.TryRegister(b);
    if (t == Scanner::Try::kBad) return false;
    if (t == Scanner::Try::kYes) {
        sc.SkipBlanks();
        if (sc.Char(',')) {
            uint32_t n;
            if (!IsRonly(a) || !IsRonly(b) || (a ^ b) != 0x40 || !sc.Number(255, n)) return false;
            return Emit(3, 0x20, a, static_cast<uint8_t>(n));
        }
        uint8_t b1, b2;
        bool uf;
        if (!Pair(a, b, 0x8021, b1, b2, uf)) return false;
        return Emit(3, 0x21, b1, b2);
    }
    if (sc.At('(')) {
        int p;
        uint8_t s;
        if (!sc.PointerOpen(p)) return false;
        const uint8_t pn = kShortPointers[p].Value;
        if (sc.Char(')')) {
            if (!sc.Sign(s) || !IsRonly(a)) return false;
            return Emit(2, static_cast<uint8_t>(0x68 + s + pn), static_cast<uint8_t>(0x80 | a));
        }
        uint32_t n;
        if (!sc.Sign(s) || !IsRonly(a) || !sc.Number(255, n) || !sc.Char(')')) return false;
        return Emit(3, static_cast<uint8_t>(0x80 + s + pn), static_cast<uint8_t>(0x80 | a),
                    static_cast<uint8_t>(n));
    }
    uint32_t n;
    if (!IsRonly(a) || !sc.Number(255, n)) return false;
    return Emit(3, 0x20, static_cast<uint8_t>(0x80 | a), static_cast<uint8_t>(n));
}

bool Form9(Scanner& sc) {
    int p;
    uint8_t s, a;
    sc.SkipBlanks();
    if (sc.At('(')) {
        uint32_t n;
        if (!sc.PointerOpen(p) || !sc.Sign(s) || !sc.Number(256, n) || n == 0) return false;
        if (!sc.Char(')') || !sc.Comma() || !sc.Register(a) || !IsRonly(a)) return false;
        return Emit(3, static_cast<uint8_t>(0x80 + s + kShortPointers[p].Value), a,
                    static_cast<uint8_t>(n - 1));
    }
    if (!sc.Sign(s) || !sc.PointerOpen(p) || !sc.Char(')') || !sc.Comma()) return false;
    if (!sc.Register(a) || !IsRonly(a)) return false;
    return Emit(2, static_cast<uint8_t>(0x68 + s + kShortPointers[p].Value), a);
}

bool Form10(Scanner& sc, uint16_t w) {
    sc.SkipBlanks();
    const int p = sc.Name(kLongPointers);
    uint32_t n;
    if (p < 0 || !sc.Comma() || !sc.Number(0xFFFF, n)) return false;
    return Emit(3, static_cast<uint8_t>(Lo(w) ^ kLongPointers[p].Value),
                static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF));
}

bool Form11(Scanner& sc, uint16_t w) {
    sc.SkipBlanks();
    const int p = sc.Name(kShortPointers);
    if (p < 0 || !sc.Comma()) return false;
    const uint8_t b0 = static_cast<uint8_t>(Lo(w) ^ kShortPointers[p].Value);
    uint8_t a;
    const auto t = sc.TryRegister(a);
    if (t == Scanner::Try::kBad) return false;
    if (t == Scanner::Try::kYes) {
        if (!IsRonly(a)) return false;
        return Emit(2, b0, static_cast<uint8_t>(0x80 | a));
    }
    uint32_t n;
    if (!sc.Number(127, n)) return false;
    return Emit(2, b0, static_cast<uint8_t>(n));
}

bool Form12(Scanner& sc, uint16_t w) {
    sc.SkipBlanks();
    const int p = sc.Name(kLongPointers);
    if (p >= 0) {
        const uint8_t v = static_cast<uint8_t>(0x38 + kLongPointers[p].Value);
        return Emit(3, Lo(w), static_cast<uint8_t>(Hi(w) | v), S(v));
    }
    uint8_t a, b;
    if (!sc.Register(a) || !IsUpper(a)) return false;
    if (!sc.Comma() || !sc.Register(b) || IsUpper(b)) return false;
    return Emit(3, Lo(w), static_cast<uint8_t>(Hi(w) | (a & 0x3F)), S(b));
}

bool Form13(Scanner& sc, uint16_t w) {
    uint8_t a, a2, b, bb2;
    if (!sc.Range(a, a2) || !sc.Comma()) return false;
    const auto t = sc.TryRegister(b);
    if (t == Scanner::Try::kBad) return false;
    if (t == Scanner::Try::kYes) {
        uint8_t b1, b2;
        bool uf;
        if (!sc.RangeEnd(b, bb2) || !RangePair(a, a2, b, bb2, w, b1, b2, uf)) return false;
        return Emit(3, Lo(w), b1, b2);
    }
    uint32_t n;
    if ((Lo(w) & 0x02) == 0 || !IsRonly(a) || !sc.Number(31, n)) return false;
    const uint16_t w1 = w ^ 0x0008;
    return Emit(3, Lo(w1), static_cast<uint8_t>(Hi(w1) | a), static_cast<uint8_t>(E(a2) | n));
}

bool Form14(Scanner& sc) {
    uint8_t a, a2, b, bb2;
    if (!sc.Range(a, a2) || !sc.Comma()) return false;
    const auto t = sc.TryRegister(b);
    if (t == Scanner::Try::kBad) return false;
    uint32_t n;
    if (t == Scanner::Try::kYes) {
        if (!sc.RangeEnd(b, bb2)) return false;
        sc.SkipBlanks();
        if (sc.Char(',')) {
            if (!IsRonly(a) || !IsRonly(b) || (a ^ b) != 0x40 || (a2 ^ bb2) != 0x40) return false;
            if (!sc.Number(31, n)) return false;
            return Emit(3, 0x30, a, static_cast<uint8_t>(E(a2) | n));
        }
        uint8_t b1, b2;
        bool uf;
        if (!RangePair(a, a2, b, bb2, 0x8000, b1, b2, uf)) return false;
        return Emit(3, 0x31, b1, b2);
    }
    if (sc.At('(')) {
        int p;
        uint8_t s;
        if (!sc.PointerOpen(p)) return false;
        const uint8_t pn = kShortPointers[p].Value;
        if (sc.Char(')')) {
            if (!sc.Sign(s) || !IsRonly(a)) return false;
            uint8_t b1, b2;
            SingleRange(a, a2, 0x80, b1, b2);
            return Emit(3, static_cast<uint8_t>(0x78 + s + pn), b1, b2);
        }
        if (!sc.Sign(s) || !IsRonly(a) || !sc.Number(31, n) || !sc.Char(')')) return false;
        return Emit(3, static_cast<uint8_t>(0x90 + s + pn), static_cast<uint8_t>(0x80 | a),
                    static_cast<uint8_t>(E(a2) | n));
    }
    if (!IsRonly(a) || !sc.Number(31, n)) return false;
    return Emit(3, 0x30, static_cast<uint8_t>(0x80 | a), static_cast<uint8_t>(E(a2) | n));
}

// stm (form 15) and, with stlm set, stlm (form 16).
bool Form15(Scanner& sc, bool stlm) {
    int p;
    uint8_t s, a, a2;
    sc.SkipBlanks();
    if (!stlm && sc.At('(')) {
        uint32_t n;
        if (!sc.PointerOpen(p) || !sc.Sign(s) || !sc.Number(32, n) || n == 0) return false;
        if (!sc.Char(')') || !sc.Comma() || !sc.Range(a, a2) || !IsRonly(a)) return false;
        return Emit(3, static_cast<uint8_t>(0x90 + s + kShortPointers[p].Value), a,
                    static_cast<uint8_t>(E(a2) | (n - 1)));
    }
    if (!sc.Sign(s) || !sc.PointerOpen(p) || !sc.Char(')') || !sc.Comma()) return false;
    if (!sc.Range(a, a2) || !IsRonly(a)) return false;
    uint8_t b1, b2;
    SingleRange(a, a2, 0x00, b1, b2);
    if (stlm) b2 |= 0x08;
    return Emit(3, static_cast<uint8_t>(0x78 + s + kShortPointers[p].Value), b1, b2);
}

bool Form17(Scanner& sc, uint16_t w) {
    uint8_t a, a2, b1, b2;
    if (!sc.Range(a, a2)) return false;
    SingleRange(a, a2, Hi(w), b1, b2);
    return Emit(3, Lo(w), b1, b2);
}

bool Form18(Scanner& sc, uint16_t w) {
    sc.SkipBlanks();
    const int c = sc.Name(kConditions);
    return Emit(1, static_cast<uint8_t>(Lo(w) ^ (c >= 0 ? kConditions[c].Value : 0)));
}

// Long (form 19) and short (form 20) jumps and calls.
bool Form19(Scanner& sc, uint16_t w, bool isShort) {
    sc.SkipBlanks();
    const int c = sc.Name(kConditions);
    if (c >= 0 && !sc.Comma()) return false;
    uint32_t n;
    if (!sc.Number(0xFFFF, n)) return false;
    const uint8_t b0 = static_cast<uint8_t>(Lo(w) ^ (c >= 0 ? kConditions[c].Value : 0));
    if (!isShort) return Emit(3, b0, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n));
    if ((n >> 8) != static_cast<uint32_t>(AsmPage >> 8)) return false;
    return Emit(2, b0, static_cast<uint8_t>(n));
}

bool Form21(Scanner& sc, uint16_t w) {
    uint8_t a, a2, b, bb2, b1, b2;
    bool uf;
    if (!sc.Range(a, a2)) return false;
    if (w == 0x4034) {
        sc.SkipBlanks();
        if (!sc.At(',')) {
            const uint8_t h = IsUpper(a) ? 0xC0 : 0x80;
            SingleRange(a, a2, h, b1, b2);
            return Emit(3, 0x34, b1, b2);
        }
    }
    if (!sc.Comma() || !sc.Range(b, bb2) || !RangePair(a, a2, b, bb2, w, b1, b2, uf)) return false;
    return Emit(3, Lo(w), b1, b2);
}

bool Form22(Scanner& sc, uint16_t w) {
    uint8_t a, a2, b, bb2, b1, b2;
    bool uf;
    if (!sc.Range(a, a2) || !sc.Comma() || !sc.Range(b, bb2) ||
        !RangePair(a, a2, b, bb2, w, b1, b2, uf))
        return false;
    return Emit(3, uf ? Lo(w) : static_cast<uint8_t>(Lo(w) ^ 0x05), b1, b2);
}

// db: up to three values, each followed by a comma except perhaps the last. A value that
// cannot be read ends the list where it starts; what follows is then left to the line's end
// check.
bool Form23(Scanner& sc) {
    AsmCount = 0;
    while (AsmCount < 3) {
        const int before = sc.pos;
        uint32_t n;
        if (!sc.Number(255, n)) {
            sc.pos = before;
            break;
        }
        AsmBytes[AsmCount++] = static_cast<uint8_t>(n);
        if (!sc.Comma()) break;
    }
    return true;
}

bool Operands(Scanner& sc, const AsmMnemonic& m) {
    const uint16_t w = m.Code;
    switch (m.Form) {
    case 0: return Emit(1, Lo(w));
    case 1: return Form1(sc, w);
    case 2: return Form2(sc, w);
    case 3: return Form3(sc, w);
    case 4: return Form4(sc, w);
    case 5: return Form5(sc, w);
    case 6: return Form6(sc, w);
    case 7: return Form7(sc, w);
    case 8: return Form8(sc);
    case 9: return Form9(sc);
    case 10: return Form10(sc, w);
    case 11: return Form11(sc, w);
    case 12: return Form12(sc, w);
    case 13: return Form13(sc, w);
    case 14: return Form14(sc);
    case 15: return Form15(sc, false);
    case 16: return Form15(sc, true);
    case 17: return Form17(sc, w);
    case 18: return Form18(sc, w);
    case 19: return Form19(sc, w, false);
    case 20: return Form19(sc, w, true);
    case 21: return Form21(sc, w);
    case 22: return Form22(sc, w);
    case 23: return Form23(sc);
    default: return false;
    }
}

} // namespace

const std::array<AsmMnemonic, 132> kAsmMnemonics = ToArray(kMnemonics);
const std::array<AsmSpecialReg, 13> kAsmSpecialRegs = ToArray(kSpecialRegs);
const std::array<AsmName, 4> kAsmShortPointers = ToArray(kShortPointers);
const std::array<AsmName, 8> kAsmLongPointers = ToArray(kLongPointers);
const std::array<AsmName, 14> kAsmConditions = ToArray(kConditions);

int AsmMatchMnemonic(std::string_view text, int& length) {
    return MatchName(kMnemonics, text, 0, length);
}

bool AsmIsOperandName(std::string_view text) {
    int length = 0;
    const auto exact = [&](int i) { return i >= 0 && length == static_cast<int>(text.size()); };
    return exact(MatchName(kSpecialRegs, text, 0, length)) ||
           exact(MatchName(kLongPointers, text, 0, length)) ||
           exact(MatchName(kConditions, text, 0, length));
}

void AssembleLine() {
    const std::string_view line =
        std::string_view(AsmLine).substr(0, static_cast<std::size_t>(kAsmLineMax));
    Scanner sc(line);
    AsmPos = 1;
    AsmCount = 0;
    sc.SkipBlanks();
    if (sc.AtEnd() || sc.At(';')) {
        AsmPos = 0;
        return;
    }
    const int m = sc.Name(kMnemonics);
    if (m < 0 || !Operands(sc, kMnemonics[m])) {
        AsmPos = sc.pos;
        return;
    }
    sc.SkipBlanks();
    AsmPos = (sc.AtEnd() || sc.At(';')) ? 0 : sc.pos;
}
