// The one-line assembler: the scanning primitives, the syntax of each form and the line
// procedure. A form reads its operands and names the operand format their shape asks for; the
// encoder then takes, among the mnemonic's rows of the instruction table with that format, the
// first whose opcode index the operands' bytes select, and packs the fields as the format lays
// them out. No opcode number is written here.
#include "debug/Asem.h"

#include "core/Digits.h"
#include "debug/Notation.h"

namespace {

// --- Tables ------------------------------------------------------------------------------------

constexpr std::string_view kDataMnemonic = "db";

// Name equality for the tables built while compiling: the length, then the characters (cheaper
// for the compiler's evaluation than comparing through std::char_traits).
constexpr bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// The mnemonics of the rows a form writes, in table order, each once; then stlm and db.
constexpr std::array<AsmMnemonic, kAsmMnemonicCount> BuildMnemonics() {
    std::array<AsmMnemonic, kAsmMnemonicCount> out{};
    int n = 0;
    for (const InstructionInfo& row : kInstructions) {
        if (row.Form == AsmForm::Unwritable) continue;
        bool seen = false;
        for (int k = 0; k < n && !seen; ++k) seen = SameName(out[k].Name, row.Mnemonic);
        if (seen) continue;
        if (n == kAsmMnemonicCount) throw "more mnemonics than kAsmMnemonicCount";
        out[n++] = {row.Mnemonic, row.Form};
    }
    if (n != kAsmMnemonicCount - 2) throw "kAsmMnemonicCount does not fit the table";
    out[n++] = {kStlmMnemonic, AsmForm::StoreRunMarked};
    out[n++] = {kDataMnemonic, AsmForm::Data};
    return out;
}
constexpr std::array<AsmMnemonic, kAsmMnemonicCount> kMnemonics = BuildMnemonics();

constexpr bool MnemonicsAreWords() {
    for (const AsmMnemonic& m : kMnemonics) {
        if (m.Name.empty() || m.Name.size() > 7) return false;
        for (char c : m.Name)
            if (c < 'a' || c > 'z') return false;
    }
    return true;
}
static_assert(MnemonicsAreWords(), "mnemonics of 1 to 7 lower-case letters");

// A name the scanner matches, and what it stands for.
struct Name {
    std::string_view Name;
    uint8_t Value;
};

template <std::size_t N> constexpr std::array<Name, N> Numbered(std::array<std::string_view, N> a) {
    std::array<Name, N> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = {a[i], static_cast<uint8_t>(i)};
    return out;
}
constexpr std::array<Name, 4> kShortPointers = Numbered(kShortPointerNames);
constexpr std::array<Name, 8> kLongPointers = Numbered(kPointerNames);

// The conditions, valued by their condition field; the "always" fields have no name.
constexpr std::array<Name, 14> BuildConditions() {
    std::array<Name, 14> out{};
    int n = 0;
    for (int field = 0; field < 16; ++field)
        if (!IsAlwaysCondition(field))
            out[n++] = {kConditionNames[field], static_cast<uint8_t>(field)};
    return out;
}
constexpr std::array<Name, 14> kConditions = BuildConditions();

// The special registers' operand names, each once ("ky" names KC and KI).
constexpr std::array<Name, 13> BuildSpecialNames() {
    std::array<Name, 13> out{};
    int n = 0;
    for (const SpecialRegInfo& r : kSpecialRegTable) {
        if (r.AsmName.empty()) continue;
        bool seen = false;
        for (int k = 0; k < n && !seen; ++k) seen = out[k].Name == r.AsmName;
        if (!seen) out[n++] = {r.AsmName, 0};
    }
    if (n != 13) throw "thirteen operand names of special registers";
    return out;
}
constexpr std::array<Name, 13> kSpecialNames = BuildSpecialNames();

constexpr char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
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

// --- Register values and their byte codes -------------------------------------------------------
// A register operand is held as 0-0x7F for rN and 0x80 + N for iN; bit 6 set marks an upper one.

constexpr bool IsIndirect(uint8_t v) {
    return (v & 0x80) != 0;
}
constexpr bool IsUpper(uint8_t v) {
    return (v & 0xC0) == 0x40;
}
constexpr bool IsRonly(uint8_t v) {
    return !IsIndirect(v);
}
// S(v): the second-register byte, the inverse of the lower-register field.
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
static_assert(FieldLowerDirect(S(0x2D)) == 0x2D && FieldIsIndirect(S(0x80 | 0x2D)));
static_assert(FieldUpperBlockLast(0x48, E(0x4D)) == 0x4D);

// --- Scanner ------------------------------------------------------------------------------------

class Scanner {
public:
    Scanner(std::string_view line, std::span<const AsmValue> values) : s_(line), values_(values) {}

    int pos = 1; // 1-based position of the next character

    bool AtEnd() const { return pos > static_cast<int>(s_.size()); }
    // The value that begins at position p, if one does.
    const AsmValue* ValueAt(int p) const {
        for (const AsmValue& v : values_)
            if (v.Begin == p) return &v;
        return nullptr;
    }
    // A character of the line at the position: not at the end, nor where a value stands.
    bool HasChar() const { return !AtEnd() && !ValueAt(pos); }
    // True when a character is at the position and equals c.
    bool At(char c) const { return HasChar() && s_[pos - 1] == c; }
    char LowerHere() const { return HasChar() ? Lower(s_[pos - 1]) : '\0'; }

    void SkipBlanks() {
        while (At(' ')) ++pos;
    }
    bool Literal(std::string_view lit) {
        const std::size_t at = static_cast<std::size_t>(pos - 1);
        if (at + lit.size() > s_.size()) return false;
        for (std::size_t k = 0; k < lit.size(); ++k)
            if (ValueAt(pos + static_cast<int>(k)) || Lower(s_[at + k]) != lit[k]) return false;
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
        if (!HasChar()) return -1;
        int length = 0;
        const int i = MatchName(table, s_, static_cast<std::size_t>(pos - 1), length);
        for (int k = 1; i >= 0 && k < length; ++k)
            if (ValueAt(pos + k)) return -1;
        if (i >= 0) pos += length;
        return i;
    }
    // Takes digits of the base; a digit that would carry the value past 0xFFFF is not taken.
    int Digits(int base, uint32_t& value) {
        value = 0;
        int taken = 0;
        while (HasChar()) {
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
    // A number's digits, "&h" for hexadecimal, after blanks; or a value standing there. Returns
    // how many digits were taken (a value counts as its digits).
    int NumberDigits(uint32_t& n) {
        SkipBlanks();
        if (const AsmValue* v = ValueAt(pos)) {
            n = v->Value;
            pos = v->End;
            return 1;
        }
        const int base = Literal("&h") ? 16 : 10;
        return Digits(base, n);
    }
    // A number up to max; digits taken stay consumed even when the value is above it.
    bool Number(uint32_t max, uint32_t& n) { return NumberDigits(n) > 0 && n <= max; }
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
    // "+" steps up (1), "-" down (0).
    bool Sign(int& s) {
        SkipBlanks();
        if (Char('+'))
            s = 1;
        else if (Char('-'))
            s = 0;
        else
            return false;
        return true;
    }
    // "(", blanks, a pointer name of the transfers. The closing ")" is the caller's step.
    bool PointerOpen(int& pointer) {
        if (!Char('(')) return false;
        SkipBlanks();
        const int i = Name(kShortPointers);
        if (i < 0) return false;
        pointer = kShortPointers[i].Value;
        return true;
    }

private:
    std::string_view s_;
    std::span<const AsmValue> values_;
};

// --- Encoder ------------------------------------------------------------------------------------

// The operands a form has read. Unset fields (-1, empty) match any row.
struct Operands {
    uint8_t A = 0, A2 = 0;        // first register or range; for pairs the upper one
    uint8_t B = 0, B2 = 0;        // second register or range; for pairs the lower one
    uint32_t N = 0;               // the number
    int Pointer = -1;             // pointer number
    int Up = -1;                  // step sign: 1 "+", 0 "-"
    int Condition = -1;           // condition field
    std::string_view Special;     // special register operand name
    bool RegisterOperand = false; // sbw/adw with a register
};

bool SamePointer(int want, int have) {
    return want < 0 || want == have;
}

// The bytes of the row's b0 and column (b1 bits 7-6) with the operands packed as its format lays
// them out; false when the row names another pointer, sign, condition or special register.
bool Pack(OperandFormat f, uint8_t b0, int col, const Operands& o, std::array<uint8_t, 3>& out) {
    const uint8_t hi = static_cast<uint8_t>(col << 6); // b1 bits 7-6 of the row
    const uint8_t hi7 = hi & 0x80;                     // bit 7 alone, where bit 6 is an operand's
    const auto byte = [](uint32_t v) { return static_cast<uint8_t>(v); };
    uint8_t b1 = 0, b2 = 0;
    const bool stepOk = SamePointer(o.Pointer, b0 & 3) && SamePointer(o.Up, (b0 >> 2) & 1);
    const bool sr = !o.Special.empty();
    using enum OperandFormat;
    switch (f) {
    case None: break;
    case Condition:
        if (!SamePointer(o.Condition, b0 & 0x0F)) return false;
        break;
    case Reg: b1 = hi7 | o.A; break;
    case Lower:
        b1 = hi;
        b2 = S(o.A);
        break;
    case Upper: b1 = hi | (o.A & 0x3F); break;
    case LowerUpper:
    case UpperLower:
    case PointerPair:
        b1 = hi | (o.A & 0x3F);
        b2 = S(o.B);
        break;
    case RegLower:
        b1 = hi7 | o.A;
        b2 = S(o.B);
        break;
    case TwinImm:
    case RegImm:
        b1 = hi7 | o.A;
        b2 = byte(o.N);
        break;
    case MemReg:
    case MemImm:
        if (!SamePointer(o.Pointer, (b0 >> 4) & 1)) return false;
        b1 = f == MemReg ? byte(hi7 | ((o.A ^ 0x40) & 0x7F)) : byte(o.N);
        break;
    case PointerOperand:
        if (!SamePointer(o.Pointer, b0 & 3)) return false;
        b1 = o.RegisterOperand ? byte(0x80 | o.A) : byte(o.N);
        break;
    case StoreStep:
    case LoadStep:
        if (!stepOk) return false;
        b1 = hi7 | o.A;
        break;
    case StoreLowerRun:
    case LoadLowerRun:
        if (!stepOk) return false;
        b1 = hi | (o.A & 7);
        b2 = T(o.A, o.A2);
        break;
    case StoreUpperRun:
    case LoadUpperRun:
        if (!stepOk) return false;
        b1 = hi | (o.A & 0x3F);
        b2 = E(o.A2);
        break;
    case StoreDisp:
    case LoadDisp:
        if (!stepOk) return false;
        b1 = hi7 | o.A;
        b2 = byte(o.N);
        break;
    case StoreRunDisp:
    case LoadRunDisp:
        if (!stepOk) return false;
        b1 = hi7 | o.A;
        b2 = byte(E(o.A2) | o.N);
        break;
    case LowerRange:
        b1 = hi | (o.A & 7);
        b2 = T(o.A, o.A2);
        break;
    case UpperRange:
        b1 = hi | (o.A & 0x3F);
        b2 = E(o.A2);
        break;
    case LowerUpperRange:
    case UpperLowerRange:
        b1 = hi | (o.A & 0x3F);
        b2 = T(o.B, o.B2);
        break;
    case RangeImm:
    case TwinRangeImm:
        b1 = hi7 | o.A;
        b2 = byte(E(o.A2) | o.N);
        break;
    case PointerWord:
        if (!SamePointer(o.Pointer, b0 & 7)) return false;
        [[fallthrough]];
    case Word:
        b1 = byte(o.N >> 8);
        b2 = byte(o.N);
        break;
    case ConditionWord:
        if (!SamePointer(o.Condition, b0 & 0x0F)) return false;
        b1 = byte(o.N >> 8);
        b2 = byte(o.N);
        break;
    case ConditionPageWord:
        if (!SamePointer(o.Condition, b0 & 0x0F)) return false;
        [[fallthrough]];
    case PageWord: b1 = byte(o.N); break;
    case SpecialImm7:
        if (sr && kPutImm7Names[(b0 & 3) * 2 + (col >> 1)] != o.Special) return false;
        b1 = byte(hi7 | o.N);
        break;
    case SpecialImm:
        if (sr && kPutImmNames[b0 & 3] != o.Special) return false;
        b1 = byte(o.N);
        break;
    case SpecialFromReg:
    case RegFromSpecial:
        if (sr && (f == SpecialFromReg ? kPutRegNames : kGetRegNames)[b0 & 7] != o.Special)
            return false;
        b1 = hi7 | o.A;
        break;
    }
    out = {b0, b1, b2};
    return true;
}

// The rows of each mnemonic (stlm: those of stm), in table order: the indices
// Index[First[m]] up to Index[First[m + 1]] for mnemonic m of kMnemonics.
struct MnemonicRows {
    std::array<uint16_t, kOpcodeIndices + 64> Index;
    std::array<uint16_t, kAsmMnemonicCount + 1> First;
};
// The number in kMnemonics of a row's mnemonic, -1 for the rows no form writes.
constexpr int MnemonicOf(const InstructionInfo& row) {
    if (row.Form == AsmForm::Unwritable) return -1;
    for (int m = 0; m < kAsmMnemonicCount; ++m)
        if (SameName(kMnemonics[m].Name, row.Mnemonic)) return m;
    return -1;
}
constexpr MnemonicRows BuildMnemonicRows() {
    std::array<int, kOpcodeIndices> of{};
    std::array<int, kAsmMnemonicCount> count{};
    int stm = -1, stlm = -1;
    for (int m = 0; m < kAsmMnemonicCount; ++m) {
        if (kMnemonics[m].Form == AsmForm::StoreRun) stm = m;
        if (kMnemonics[m].Form == AsmForm::StoreRunMarked) stlm = m;
    }
    for (int i = 0; i < kOpcodeIndices; ++i) {
        of[i] = MnemonicOf(kInstructions[i]);
        if (of[i] >= 0) ++count[of[i]];
    }
    count[stlm] = count[stm];
    MnemonicRows out{};
    int n = 0;
    for (int m = 0; m < kAsmMnemonicCount; ++m) {
        out.First[m] = static_cast<uint16_t>(n);
        n += count[m];
    }
    out.First[kAsmMnemonicCount] = static_cast<uint16_t>(n);
    if (n > static_cast<int>(out.Index.size())) throw "more rows than MnemonicRows holds";
    std::array<int, kAsmMnemonicCount> filled{};
    for (int i = 0; i < kOpcodeIndices; ++i) {
        if (of[i] < 0) continue;
        for (const int m : {of[i], of[i] == stm ? stlm : -1})
            if (m >= 0) out.Index[out.First[m] + filled[m]++] = static_cast<uint16_t>(i);
    }
    return out;
}
constexpr MnemonicRows kMnemonicRows = BuildMnemonicRows();

// Calls each(index, b0, column) for the rows of mnemonic m with format f, in table order, until
// it returns true.
template <typename Each> bool ForRows(int m, OperandFormat f, Each each) {
    for (int k = kMnemonicRows.First[m]; k < kMnemonicRows.First[m + 1]; ++k) {
        const int i = kMnemonicRows.Index[k];
        if (kInstructions[i].Format != f) continue;
        const uint8_t b0 = static_cast<uint8_t>(i >= 640 ? i - 480 : i / 4);
        if (each(i, b0, i >= 640 ? 0 : i % 4)) return true;
    }
    return false;
}

// Whether mnemonic m has a row of the format whose fixed fields fit the operands set so far.
bool HasRow(int m, OperandFormat f, const Operands& o = {}) {
    return ForRows(m, f, [&](int, uint8_t b0, int col) {
        std::array<uint8_t, 3> bytes;
        return Pack(f, b0, col, o, bytes);
    });
}

// --- Forms -------------------------------------------------------------------------------
// Each reads its operands with the scanner and ends in Emit, or returns false with the scanner
// where it stopped.

class LineAssembler {
public:
    LineAssembler(Scanner& sc, int m, uint16_t page, AsmResult& result)
        : sc_(sc), m_(kMnemonics[static_cast<std::size_t>(m)]), index_(m), page_(page), r_(result) {
    }

    // Reads the operands of the mnemonic's form and encodes them.
    bool Assemble() {
        using enum AsmForm;
        switch (m_.Form) {
        case NoOperands: return Emit(OperandFormat::None, {});
        case OneRegister: return OneRegisterForm();
        case Alu: return AluForm();
        case Pair: return PairForm();
        case DigitShift: return DigitShiftForm();
        case GetSpecial: return GetSpecialForm();
        case PutSpecial: return PutSpecialForm();
        case Load: return LoadForm();
        case Store: return StoreForm();
        case LoadPointer: return LoadPointerForm();
        case PointerArith: return PointerArithForm();
        case PointerTransfer: return PointerTransferForm();
        case RunAlu: return RunAluForm();
        case LoadRun: return LoadRunForm();
        case StoreRun: return StoreRunForm(false);
        case StoreRunMarked: return StoreRunForm(true);
        case SingleRun: return SingleRunForm();
        case Return: return ReturnForm();
        case Jump: return JumpForm(false);
        case ShortJump: return JumpForm(true);
        case RunPair: return RunPairForm();
        case Data: return DataForm();
        case Unwritable: break;
        }
        return false;
    }

private:
    using Try = Scanner::Try;
    using F = OperandFormat;

    // The bytes of the first of the mnemonic's rows with format f that the operands select.
    bool Emit(OperandFormat f, const Operands& o, uint8_t b2Or = 0) {
        return ForRows(index_, f, [&](int index, uint8_t b0, int col) {
            std::array<uint8_t, 3> bytes;
            if (!Pack(f, b0, col, o, bytes)) return false;
            if (b0 < 0xA0 && OpcodeIndex(b0, bytes[1]) != index) return false;
            bytes[2] |= b2Or;
            r_.AsmCount = kInstructions[index].Length;
            r_.AsmBytes = bytes;
            for (int k = r_.AsmCount; k < 3; ++k) r_.AsmBytes[k] = 0;
            return true;
        });
    }

    // Two registers a, b written in this order: exactly one of them upper. The format says
    // which comes first; A holds the upper one and B the lower.
    static bool PairOf(uint8_t a, uint8_t b, OperandFormat lowerFirst, OperandFormat upperFirst,
                       OperandFormat& f, Operands& o) {
        if (IsUpper(a) == IsUpper(b)) return false;
        f = IsUpper(a) ? upperFirst : lowerFirst;
        o.A = IsUpper(a) ? a : b;
        o.B = IsUpper(a) ? b : a;
        return true;
    }
    // Two ranges: the pair rule on the starts, and both ends at the same place in their groups.
    static bool RangePairOf(uint8_t a, uint8_t a2, uint8_t b, uint8_t bb2, OperandFormat& f,
                            Operands& o) {
        if (!PairOf(a, b, F::LowerUpperRange, F::UpperLowerRange, f, o)) return false;
        if ((a & 7) != (b & 7) || (a2 & 7) != (bb2 & 7)) return false;
        o.B2 = IsUpper(a) ? bb2 : a2;
        return true;
    }

    bool OneRegisterForm() {
        Operands o;
        if (!sc_.Register(o.A) || !IsRonly(o.A)) return false;
        return Emit(F::Reg, o);
    }

    bool AluForm() {
        Operands o;
        uint8_t a, b;
        const Try first = sc_.TryRegister(a);
        if (first == Try::kBad) return false;
        if (first == Try::kYes) {
            if (!sc_.Comma()) return false;
            const Try second = sc_.TryRegister(b);
            if (second == Try::kBad) return false;
            if (second == Try::kYes) {
                F f;
                if (!PairOf(a, b, F::LowerUpper, F::UpperLower, f, o)) return false;
                return Emit(f, o);
            }
            o.A = a;
            if (!IsRonly(a) || !sc_.Number(255, o.N)) return false;
            return Emit(F::RegImm, o);
        }
        // A pointer in parentheses: the operations that have memory forms, on their pointers.
        if (!HasRow(index_, F::MemReg)) return false;
        if (!sc_.PointerOpen(o.Pointer)) return false;
        if (!HasRow(index_, F::MemReg, o) || !sc_.Char(')') || !sc_.Comma()) return false;
        const Try second = sc_.TryRegister(b);
        if (second == Try::kBad) return false;
        if (second == Try::kYes) {
            o.A = b;
            if (!IsRonly(b)) return false;
            return Emit(F::MemReg, o);
        }
        if (!HasRow(index_, F::MemImm, o) || !sc_.Number(255, o.N)) return false;
        return Emit(F::MemImm, o);
    }

    bool PairForm() {
        Operands o;
        uint8_t a, b;
        if (!sc_.Register(a)) return false;
        if (HasRow(index_, F::Lower)) { // swp: one register alone
            sc_.SkipBlanks();
            if (!sc_.At(',')) {
                o.A = a;
                return Emit(IsUpper(a) ? F::Upper : F::Lower, o);
            }
        }
        F f;
        if (!sc_.Comma() || !sc_.Register(b) || !PairOf(a, b, F::LowerUpper, F::UpperLower, f, o))
            return false;
        return Emit(f, o);
    }

    bool DigitShiftForm() {
        Operands o;
        if (!sc_.Register(o.A) || !IsUpper(o.A)) return false;
        if (!sc_.Comma() || !sc_.Register(o.B) || IsUpper(o.B)) return false;
        return Emit(F::RegLower, o);
    }

    // A special register's operand name.
    bool Special(Operands& o) {
        const int i = sc_.Name(kSpecialNames);
        if (i < 0) return false;
        o.Special = kSpecialNames[i].Name;
        return true;
    }

    bool GetSpecialForm() {
        Operands o;
        if (!sc_.Register(o.A) || !IsRonly(o.A) || !sc_.Comma()) return false;
        if (!Special(o) || !HasRow(index_, F::RegFromSpecial, o)) return false;
        return Emit(F::RegFromSpecial, o);
    }

    bool PutSpecialForm() {
        Operands o;
        sc_.SkipBlanks();
        if (!Special(o) || !sc_.Comma()) return false;
        const Try t = sc_.TryRegister(o.A);
        if (t == Try::kBad) return false;
        if (t == Try::kYes) {
            if (!IsRonly(o.A) || !HasRow(index_, F::SpecialFromReg, o)) return false;
            return Emit(F::SpecialFromReg, o);
        }
        // A number: the whole of b1 for the 8-bit registers, bits 6-0 for the 7-bit ones.
        const F f = HasRow(index_, F::SpecialImm, o)    ? F::SpecialImm
                    : HasRow(index_, F::SpecialImm7, o) ? F::SpecialImm7
                                                        : F::None;
        if (f == F::None || !sc_.Number(f == F::SpecialImm ? 255 : 127, o.N)) return false;
        return Emit(f, o);
    }

    bool LoadForm() {
        Operands o;
        uint8_t a, b;
        if (!sc_.Register(a) || !sc_.Comma()) return false;
        const Try t = sc_.TryRegister(b);
        if (t == Try::kBad) return false;
        if (t == Try::kYes) {
            sc_.SkipBlanks();
            if (sc_.Char(',')) { // both halves at once: a and the same register in the other half
                o.A = a;
                if (!IsRonly(a) || !IsRonly(b) || (a ^ b) != 0x40 || !sc_.Number(255, o.N))
                    return false;
                return Emit(F::TwinImm, o);
            }
            F f;
            if (!PairOf(a, b, F::LowerUpper, F::UpperLower, f, o)) return false;
            return Emit(f, o);
        }
        o.A = a;
        if (sc_.At('(')) {
            if (!sc_.PointerOpen(o.Pointer)) return false;
            if (sc_.Char(')')) {
                if (!sc_.Sign(o.Up) || !IsRonly(a)) return false;
                return Emit(F::LoadStep, o);
            }
            if (!sc_.Sign(o.Up) || !IsRonly(a) || !sc_.Number(255, o.N) || !sc_.Char(')'))
                return false;
            return Emit(F::LoadDisp, o);
        }
        if (!IsRonly(a) || !sc_.Number(255, o.N)) return false;
        return Emit(F::RegImm, o);
    }

    bool StoreForm() {
        Operands o;
        sc_.SkipBlanks();
        if (sc_.At('(')) {
            // Stores use the displacement plus one: n from 1 to 256 is written as n - 1.
            if (!sc_.PointerOpen(o.Pointer) || !sc_.Sign(o.Up) || !sc_.Number(256, o.N) || o.N == 0)
                return false;
            if (!sc_.Char(')') || !sc_.Comma() || !sc_.Register(o.A) || !IsRonly(o.A)) return false;
            --o.N;
            return Emit(F::StoreDisp, o);
        }
        if (!sc_.Sign(o.Up) || !sc_.PointerOpen(o.Pointer) || !sc_.Char(')') || !sc_.Comma())
            return false;
        if (!sc_.Register(o.A) || !IsRonly(o.A)) return false;
        return Emit(F::StoreStep, o);
    }

    bool LoadPointerForm() {
        Operands o;
        sc_.SkipBlanks();
        const int p = sc_.Name(kLongPointers);
        if (p < 0 || !sc_.Comma() || !sc_.Number(0xFFFF, o.N)) return false;
        o.Pointer = kLongPointers[p].Value;
        return Emit(F::PointerWord, o);
    }

    bool PointerArithForm() {
        Operands o;
        sc_.SkipBlanks();
        const int p = sc_.Name(kShortPointers);
        if (p < 0 || !sc_.Comma()) return false;
        o.Pointer = kShortPointers[p].Value;
        const Try t = sc_.TryRegister(o.A);
        if (t == Try::kBad) return false;
        if (t == Try::kYes) {
            if (!IsRonly(o.A)) return false;
            o.RegisterOperand = true;
        } else if (!sc_.Number(127, o.N)) {
            return false;
        }
        return Emit(F::PointerOperand, o);
    }

    // pla and ijmp: a pointer's name stands for its two bytes, 0x78 + p and 0x38 + p.
    bool PointerTransferForm() {
        Operands o;
        sc_.SkipBlanks();
        const int p = sc_.Name(kLongPointers);
        if (p >= 0) {
            o.A = o.B = static_cast<uint8_t>(kPtrLow + kLongPointers[p].Value);
            return Emit(F::PointerPair, o);
        }
        if (!sc_.Register(o.A) || !IsUpper(o.A)) return false;
        if (!sc_.Comma() || !sc_.Register(o.B) || IsUpper(o.B)) return false;
        return Emit(F::PointerPair, o);
    }

    bool RunAluForm() {
        Operands o;
        uint8_t a, a2, b, bb2;
        if (!sc_.Range(a, a2) || !sc_.Comma()) return false;
        const Try t = sc_.TryRegister(b);
        if (t == Try::kBad) return false;
        if (t == Try::kYes) {
            F f;
            if (!sc_.RangeEnd(b, bb2) || !RangePairOf(a, a2, b, bb2, f, o)) return false;
            return Emit(f, o);
        }
        o.A = a;
        o.A2 = a2;
        if (!HasRow(index_, F::RangeImm) || !IsRonly(a) || !sc_.Number(31, o.N)) return false;
        return Emit(F::RangeImm, o);
    }

    bool LoadRunForm() {
        Operands o;
        uint8_t a, a2, b, bb2;
        if (!sc_.Range(a, a2) || !sc_.Comma()) return false;
        const Try t = sc_.TryRegister(b);
        if (t == Try::kBad) return false;
        if (t == Try::kYes) {
            if (!sc_.RangeEnd(b, bb2)) return false;
            sc_.SkipBlanks();
            if (sc_.Char(',')) { // both halves at once
                if (!IsRonly(a) || !IsRonly(b) || (a ^ b) != 0x40 || (a2 ^ bb2) != 0x40)
                    return false;
                o.A = a;
                o.A2 = a2;
                if (!sc_.Number(31, o.N)) return false;
                return Emit(F::TwinRangeImm, o);
            }
            F f;
            if (!RangePairOf(a, a2, b, bb2, f, o)) return false;
            return Emit(f, o);
        }
        o.A = a;
        o.A2 = a2;
        if (sc_.At('(')) {
            if (!sc_.PointerOpen(o.Pointer)) return false;
            if (sc_.Char(')')) {
                if (!sc_.Sign(o.Up) || !IsRonly(a)) return false;
                return Emit(IsUpper(a) ? F::LoadUpperRun : F::LoadLowerRun, o);
            }
            if (!sc_.Sign(o.Up) || !IsRonly(a) || !sc_.Number(31, o.N) || !sc_.Char(')'))
                return false;
            return Emit(F::LoadRunDisp, o);
        }
        if (!IsRonly(a) || !sc_.Number(31, o.N)) return false;
        return Emit(F::RangeImm, o);
    }

    // stm, and stlm: the same with b2 bit 3 set.
    bool StoreRunForm(bool marked) {
        Operands o;
        sc_.SkipBlanks();
        if (!marked && sc_.At('(')) {
            if (!sc_.PointerOpen(o.Pointer) || !sc_.Sign(o.Up) || !sc_.Number(32, o.N) || o.N == 0)
                return false;
            if (!sc_.Char(')') || !sc_.Comma() || !sc_.Range(o.A, o.A2) || !IsRonly(o.A))
                return false;
            --o.N;
            return Emit(F::StoreRunDisp, o);
        }
        if (!sc_.Sign(o.Up) || !sc_.PointerOpen(o.Pointer) || !sc_.Char(')') || !sc_.Comma())
            return false;
        if (!sc_.Range(o.A, o.A2) || !IsRonly(o.A)) return false;
        return Emit(IsUpper(o.A) ? F::StoreUpperRun : F::StoreLowerRun, o, marked ? 0x08 : 0);
    }

    bool SingleRunForm() {
        Operands o;
        if (!sc_.Range(o.A, o.A2)) return false;
        return Emit(IsUpper(o.A) ? F::UpperRange : F::LowerRange, o);
    }

    bool ReturnForm() {
        Operands o;
        sc_.SkipBlanks();
        const int c = sc_.Name(kConditions);
        if (c < 0) return Emit(F::None, o);
        o.Condition = kConditions[c].Value;
        return Emit(F::Condition, o);
    }

    // jmp, cal (long) and sjmp, scal (short: the target in the page of AsmPage).
    bool JumpForm(bool isShort) {
        Operands o;
        sc_.SkipBlanks();
        const int c = sc_.Name(kConditions);
        if (c >= 0 && !sc_.Comma()) return false;
        if (!sc_.Number(0xFFFF, o.N)) return false;
        if (isShort && (o.N >> 8) != static_cast<uint32_t>(page_ >> 8)) return false;
        if (c < 0) return Emit(isShort ? F::PageWord : F::Word, o);
        o.Condition = kConditions[c].Value;
        return Emit(isShort ? F::ConditionPageWord : F::ConditionWord, o);
    }

    bool RunPairForm() {
        Operands o;
        uint8_t a, a2, b, bb2;
        if (!sc_.Range(a, a2)) return false;
        if (HasRow(index_, F::LowerRange)) { // swpm: one range alone
            sc_.SkipBlanks();
            if (!sc_.At(',')) {
                o.A = a;
                o.A2 = a2;
                return Emit(IsUpper(a) ? F::UpperRange : F::LowerRange, o);
            }
        }
        F f;
        if (!sc_.Comma() || !sc_.Range(b, bb2) || !RangePairOf(a, a2, b, bb2, f, o)) return false;
        return Emit(f, o);
    }

    // db: up to three values, each followed by a comma except perhaps the last. A value that
    // cannot be read ends the list where it starts, and what follows is left to the line's end
    // check; a value above 255 fails behind its digits, as every number above its maximum does.
    bool DataForm() {
        r_.AsmCount = 0;
        while (r_.AsmCount < 3) {
            const int before = sc_.pos;
            uint32_t n;
            if (sc_.NumberDigits(n) == 0) {
                sc_.pos = before;
                break;
            }
            if (n > 255) return false;
            r_.AsmBytes[static_cast<std::size_t>(r_.AsmCount++)] = static_cast<uint8_t>(n);
            if (!sc_.Comma()) break;
        }
        return true;
    }

    Scanner& sc_;
    const AsmMnemonic& m_;
    int index_; // of m_ in kMnemonics
    uint16_t page_;
    AsmResult& r_;
};

} // namespace

std::span<const AsmMnemonic> AsmMnemonics() {
    return kMnemonics;
}

int AsmMatchMnemonic(std::string_view text, int& length) {
    return MatchName(kMnemonics, text, 0, length);
}

bool AsmIsOperandName(std::string_view text) {
    int length = 0;
    const auto exact = [&](int i) { return i >= 0 && length == static_cast<int>(text.size()); };
    return exact(MatchName(kSpecialNames, text, 0, length)) ||
           exact(MatchName(kLongPointers, text, 0, length)) ||
           exact(MatchName(kConditions, text, 0, length));
}

std::string_view AsmFormSyntax(AsmForm form) {
    switch (form) {
    case AsmForm::NoOperands: return "no operands";
    case AsmForm::OneRegister: return "rN";
    case AsmForm::Alu: return "A,B (one of them r64-r127) | rN,n | (ix),rN | (ix),n";
    case AsmForm::Pair: return "A,B (one of them r64-r127)";
    case AsmForm::DigitShift: return "rU,L (rU r64-r127, L r0-r63 or i0-i63)";
    case AsmForm::GetSpecial: return "rN,as|ds|f|ie|ky|pd";
    case AsmForm::PutSpecial: return "sr,rN | sr,n";
    case AsmForm::Load: return "A,B | rN,rM,n | rN,(p)+ | rN,(p+n) | rN,n";
    case AsmForm::Store: return "+(p),rN | (p+n),rN with n 1-256";
    case AsmForm::LoadPointer: return "ix|iy|iz|v3|v2|v1|v0|sp,nnnn";
    case AsmForm::PointerArith: return "ix|iy|iz|sp,rN | ix|iy|iz|sp,n (n up to 127)";
    case AsmForm::PointerTransfer: return "ix|iy|iz|v3|v2|v1|v0|sp | rU,L";
    case AsmForm::RunAlu: return "A..A2,B..B2 | rN..rM,n (n up to 31)";
    case AsmForm::LoadRun:
        return "A..A2,B..B2 | A..A2,B..B2,n | rN..rM,(p)+ | rN..rM,(p+n) | rN..rM,n";
    case AsmForm::StoreRun: return "+(p),rN..rM | (p+n),rN..rM with n 1-32";
    case AsmForm::StoreRunMarked: return "+(p),rN..rM";
    case AsmForm::SingleRun: return "A..A2";
    case AsmForm::Return: return "nothing or a condition";
    case AsmForm::Jump: return "address | condition,address";
    case AsmForm::ShortJump: return "address | condition,address (in this 256-address page)";
    case AsmForm::RunPair: return "A..A2,B..B2 (one range in r64-r127)";
    case AsmForm::Data:
    case AsmForm::Unwritable: break;
    }
    return "up to three bytes";
}

std::string AsmFailureText(std::string_view AsmLine, int32_t AsmPos,
                           std::span<const AsmValue> AsmValues) {
    std::size_t start = 0;
    while (start < AsmLine.size() && AsmLine[start] == ' ') ++start;
    int length = 0;
    const int mnemonic = AsmMatchMnemonic(AsmLine.substr(start), length);
    if (mnemonic < 0 || AsmPos <= static_cast<int32_t>(start) + length)
        return "unknown instruction";
    const AsmMnemonic& m = AsmMnemonics()[static_cast<std::size_t>(mnemonic)];
    std::string where = "at the end of the line";
    if (AsmPos <= static_cast<int32_t>(AsmLine.size())) {
        char c = AsmLine[static_cast<std::size_t>(AsmPos - 1)];
        for (const AsmValue& v : AsmValues)
            if (v.Begin == AsmPos) c = std::to_string(v.Value)[0];
        where = "at '" + std::string(1, c) + "'";
    }
    return "cannot assemble '" + std::string(m.Name) + "': stopped " + where + "; expected " +
           std::string(AsmFormSyntax(m.Form));
}

AsmResult AssembleLine(std::string_view AsmLine, uint16_t AsmPage) {
    return AssembleLine(AsmLine.substr(0, static_cast<std::size_t>(kAsmLineMax)), AsmPage, {});
}

AsmResult AssembleLine(std::string_view AsmLine, uint16_t AsmPage,
                       std::span<const AsmValue> AsmValues) {
    AsmResult r;
    Scanner sc(AsmLine, AsmValues);
    sc.SkipBlanks();
    if (sc.AtEnd() || sc.At(';')) {
        r.AsmPos = 0;
        return r;
    }
    const int m = sc.Name(kMnemonics);
    if (m < 0 || !LineAssembler(sc, m, AsmPage, r).Assemble()) {
        r.AsmPos = sc.pos;
        r.AsmCount = 0;
        return r;
    }
    sc.SkipBlanks();
    r.AsmPos = (sc.AtEnd() || sc.At(';')) ? 0 : sc.pos;
    if (r.AsmPos != 0) r.AsmCount = 0;
    return r;
}
