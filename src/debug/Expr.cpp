// The debugger's expressions: a recursive-descent parser that compiles into a postfix program,
// and its evaluator.
#include "debug/Expr.h"

#include "core/Cpu.h"
#include "core/SystemRegs.h"
#include "debug/Symbols.h"

#include <array>
#include <cctype>
#include <cstdio>

namespace {

enum Kind : uint8_t {
    kConst,   // Value
    kSpecial, // special register, Value = SpecialReg index
    kPointer, // 16-bit pointer, Value = pointer number
    kFlag,    // Value = mask in f
    kRegFile, // pops n, pushes R[n & 127]
    kMemRam,  // pops addr, pushes the RAM byte
    kMemArea, // pops addr, area; pushes the byte
    kNot,
    kBitNot,
    kNeg,
    kMul,
    kDiv,
    kMod,
    kAdd,
    kSub,
    kShl,
    kShr,
    kLt,
    kLe,
    kGt,
    kGe,
    kEq,
    kNe,
    kBitAnd,
    kXor,
    kBitOr,
    kLogAnd,
    kLogOr,
};

// Deep enough for any expression a person types; deeper ones are refused while parsing.
constexpr int kMaxStack = 32;
constexpr int kMaxNesting = 24;
constexpr size_t kMaxText = 512;

struct NamedValue {
    std::string_view Name;
    Kind K;
    int32_t Value;
};

// clang-format off
constexpr NamedValue kNames[] = {
    {"pc", kSpecial, static_cast<int>(SpecialReg::PC)}, {"la", kSpecial, static_cast<int>(SpecialReg::LA)},
    {"kc", kSpecial, static_cast<int>(SpecialReg::KC)}, {"ki", kSpecial, static_cast<int>(SpecialReg::KI)},
    {"ie", kSpecial, static_cast<int>(SpecialReg::IE)}, {"ds", kSpecial, static_cast<int>(SpecialReg::DS)},
    {"as", kSpecial, static_cast<int>(SpecialReg::AS)}, {"pd", kSpecial, static_cast<int>(SpecialReg::PD)},
    {"pe", kSpecial, static_cast<int>(SpecialReg::PE)}, {"s4", kSpecial, static_cast<int>(SpecialReg::S4)},
    {"s5", kSpecial, static_cast<int>(SpecialReg::S5)}, {"s6", kSpecial, static_cast<int>(SpecialReg::S6)},
    {"s7", kSpecial, static_cast<int>(SpecialReg::S7)}, {"s8", kSpecial, static_cast<int>(SpecialReg::S8)},
    {"tm", kSpecial, static_cast<int>(SpecialReg::TM)}, {"f",  kSpecial, static_cast<int>(SpecialReg::F)},
    {"ix", kPointer, kIx}, {"iy", kPointer, kIy}, {"iz", kPointer, kIz}, {"sp", kPointer, kSp},
    {"v0", kPointer, kV0}, {"v1", kPointer, kV1}, {"v2", kPointer, kV2}, {"v3", kPointer, kV3},
    {"c", kFlag, kFlagC}, {"h", kFlag, kFlagH}, {"v", kFlag, kFlagV}, {"z", kFlag, kFlagZ},
    {"uz", kFlag, kFlagUZ}, {"lz", kFlag, kFlagLZ},
};
// clang-format on

bool NameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '$' ||
           c == '@';
}

bool SameName(std::string_view a, std::string_view lower) {
    if (a.size() != lower.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != lower[i]) return false;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Parser {
public:
    Parser(std::string_view text, const SymbolTable* symbols, std::vector<Expr::Op>& code)
        : text_(text), symbols_(symbols), code_(code) {}

    bool Run(ExprError& error) {
        if (text_.size() > kMaxText) return Fail(kMaxText + 1, "expression too long", error);
        Skip();
        if (pos_ >= text_.size()) return Fail(pos_, "expression expected", error);
        if (!Binary(0)) return Fail(errPos_, errMsg_, error);
        Skip();
        if (pos_ < text_.size()) return Fail(pos_, "unexpected character", error);
        return true;
    }

private:
    bool Fail(size_t pos, std::string_view message, ExprError& error) {
        error.Position = static_cast<int>(pos) + 1;
        error.Message = message;
        return false;
    }
    bool Error(std::string_view message) {
        if (errMsg_.empty()) {
            errPos_ = pos_;
            errMsg_ = message;
        }
        return false;
    }
    void Skip() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    }
    bool Peek(std::string_view s) {
        Skip();
        return text_.substr(pos_, s.size()) == s;
    }
    bool Take(std::string_view s) {
        if (!Peek(s)) return false;
        pos_ += s.size();
        return true;
    }
    void Emit(Kind k, int32_t v = 0) {
        code_.push_back({k, v});
        depth_ += k <= kFlag                                                    ? 1
                  : (k == kRegFile || k == kMemRam || (k >= kNot && k <= kNeg)) ? 0
                                                                                : -1;
        if (depth_ > maxDepth_) maxDepth_ = depth_;
    }

    // Binary operators by precedence level, lowest first.
    struct BinOp {
        std::string_view Text;
        Kind K;
        int Level;
    };
    static constexpr BinOp kOps[] = {
        {"||", kLogOr, 0}, {"&&", kLogAnd, 1}, {"|", kBitOr, 2}, {"^", kXor, 3}, {"&", kBitAnd, 4},
        {"==", kEq, 5},    {"!=", kNe, 5},     {"<=", kLe, 6},   {">=", kGe, 6}, {"<<", kShl, 7},
        {">>", kShr, 7},   {"<", kLt, 6},      {">", kGt, 6},    {"+", kAdd, 8}, {"-", kSub, 8},
        {"*", kMul, 9},    {"/", kDiv, 9},     {"%", kMod, 9},
    };
    static constexpr int kLevels = 10;

    const BinOp* MatchOp(int level) {
        Skip();
        for (const BinOp& op : kOps) {
            if (op.Level != level || text_.substr(pos_, op.Text.size()) != op.Text) continue;
            // "|", "&", "<" and ">" are not the first half of "||", "&&", "<<" and ">>".
            if (op.Text.size() == 1 && pos_ + 1 < text_.size() && text_[pos_ + 1] == op.Text[0] &&
                std::string_view("|&<>").find(op.Text[0]) != std::string_view::npos)
                continue;
            return &op;
        }
        return nullptr;
    }

    bool Binary(int level) {
        if (level == kLevels) return Unary();
        if (!Binary(level + 1)) return false;
        while (const BinOp* op = MatchOp(level)) {
            pos_ += op->Text.size();
            if (!Binary(level + 1)) return false;
            Emit(op->K);
        }
        return true;
    }

    bool Unary() {
        Skip();
        if (pos_ < text_.size()) {
            const char c = text_[pos_];
            Kind k = kConst;
            if (c == '!' && !(pos_ + 1 < text_.size() && text_[pos_ + 1] == '=')) k = kNot;
            if (c == '~') k = kBitNot;
            if (c == '-') k = kNeg;
            if (c == '+') k = kAdd; // unary plus: nothing to emit
            if (k != kConst) {
                ++pos_;
                if (++nesting_ > kMaxNesting) return Error("expression nested too deeply");
                if (!Unary()) return false;
                --nesting_;
                if (k != kAdd) Emit(k);
                return true;
            }
        }
        if (!Primary()) return false;
        return depth_ <= kMaxStack || Error("expression too long");
    }

    bool Primary() {
        Skip();
        if (pos_ >= text_.size()) return Error("value expected");
        const char c = text_[pos_];
        if (c == '(') {
            ++pos_;
            if (++nesting_ > kMaxNesting) return Error("expression nested too deeply");
            if (!Binary(0)) return false;
            --nesting_;
            if (!Take(")")) return Error("expected ')'");
            return true;
        }
        if (c >= '0' && c <= '9') return Number();
        if (c == '&' && pos_ + 1 < text_.size() &&
            (text_[pos_ + 1] == 'h' || text_[pos_ + 1] == 'H'))
            return Number();
        if (!NameChar(c)) return Error("value expected");
        const size_t start = pos_;
        while (pos_ < text_.size() && NameChar(text_[pos_])) ++pos_;
        const std::string_view name = text_.substr(start, pos_ - start);
        if (SameName(name, "r") && Peek("[")) return Indexed(start, false);
        if (SameName(name, "m") && Peek("[")) return Indexed(start, true);
        for (const NamedValue& n : kNames)
            if (SameName(name, n.Name)) {
                Emit(n.K, n.Value);
                return true;
            }
        if (symbols_)
            if (const auto address = symbols_->Find(name)) {
                Emit(kConst, *address);
                return true;
            }
        pos_ = start;
        return Error("unknown name '" + std::string(name) + "'");
    }

    bool Number() {
        const size_t start = pos_;
        int base = 10;
        if (text_.substr(pos_, 2) == "0x" || text_.substr(pos_, 2) == "0X" ||
            text_.substr(pos_, 2) == "&h" || text_.substr(pos_, 2) == "&H") {
            base = 16;
            pos_ += 2;
        }
        uint64_t value = 0;
        size_t digits = 0;
        while (pos_ < text_.size()) {
            const int d = HexDigit(text_[pos_]);
            if (d < 0 || d >= base) break;
            value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
            if (value > 0xFFFFFFFFu) {
                pos_ = start;
                return Error("number too large");
            }
            ++pos_;
            ++digits;
        }
        if (digits == 0) return Error("digits expected");
        if (pos_ < text_.size() && NameChar(text_[pos_])) return Error("not a number");
        Emit(kConst, static_cast<int32_t>(static_cast<uint32_t>(value)));
        return true;
    }

    // R[n] or M[area:addr] / M[addr]; the name has been read.
    bool Indexed(size_t start, bool memory) {
        Take("[");
        if (++nesting_ > kMaxNesting) return Error("expression nested too deeply");
        if (!Binary(0)) return false;
        if (memory && Take(":")) {
            if (!Binary(0)) return false;
            if (!Take("]")) return Error("expected ']'");
            Emit(kMemArea);
        } else {
            if (!Take("]")) return Error(memory ? "expected ':' or ']'" : "expected ']'");
            Emit(memory ? kMemRam : kRegFile);
        }
        --nesting_;
        (void)start;
        return true;
    }

    std::string_view text_;
    const SymbolTable* symbols_;
    std::vector<Expr::Op>& code_;
    size_t pos_ = 0;
    int depth_ = 0, maxDepth_ = 0, nesting_ = 0;
    size_t errPos_ = 0;
    std::string errMsg_;
};

uint8_t PeekMemory(int32_t area, int32_t address) {
    const uint16_t a = static_cast<uint16_t>(address);
    switch (area & 3) {
    case 0: return g_cpu.Ext[a & 0x7FFF];
    case 3: return g_cpu.Ram[a & 0x1FFF];
    default: return 0xFF;
    }
}

} // namespace

std::string ExprError::Text() const {
    return "at " + std::to_string(Position) + ": " + Message;
}

bool Expr::Parse(std::string_view text, const SymbolTable* symbols, ExprError& error) {
    code_.clear();
    source_.clear();
    std::vector<Op> code;
    Parser p(text, symbols, code);
    if (!p.Run(error)) return false;
    code_ = std::move(code);
    source_ = std::string(text);
    return true;
}

int32_t Expr::Eval() const {
    if (code_.empty()) return 1;
    std::array<int32_t, kMaxStack + 2> s{};
    int n = 0;
    const CpuState& c = g_cpu;
    for (const Op& op : code_) {
        if (op.Kind <= kFlag) {
            int32_t v = op.Value;
            if (op.Kind == kSpecial)
                v = static_cast<int32_t>(SpecialRegValue(static_cast<SpecialReg>(op.Value)));
            else if (op.Kind == kPointer)
                v = PtrGet(op.Value);
            else if (op.Kind == kFlag)
                v = (c.F & op.Value) != 0;
            s[n++] = v;
            continue;
        }
        int32_t& a = s[n - 1];
        switch (op.Kind) {
        case kRegFile: a = c.R[a & 0x7F]; continue;
        case kMemRam: a = PeekMemory(3, a); continue;
        case kNot: a = !a; continue;
        case kBitNot: a = ~a; continue;
        case kNeg: a = static_cast<int32_t>(0u - static_cast<uint32_t>(a)); continue;
        default: break;
        }
        const int32_t y = s[--n];
        int32_t& x = s[n - 1];
        const uint32_t ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
        switch (op.Kind) {
        case kMemArea: x = PeekMemory(x, y); break;
        case kMul: x = static_cast<int32_t>(ux * uy); break;
        case kDiv: x = y == 0 ? 0 : static_cast<int32_t>(int64_t{x} / y); break;
        case kMod: x = y == 0 ? 0 : static_cast<int32_t>(int64_t{x} % y); break;
        case kAdd: x = static_cast<int32_t>(ux + uy); break;
        case kSub: x = static_cast<int32_t>(ux - uy); break;
        case kShl: x = static_cast<int32_t>(ux << (uy & 31)); break;
        case kShr: x = static_cast<int32_t>(ux >> (uy & 31)); break;
        case kLt: x = x < y; break;
        case kLe: x = x <= y; break;
        case kGt: x = x > y; break;
        case kGe: x = x >= y; break;
        case kEq: x = x == y; break;
        case kNe: x = x != y; break;
        case kBitAnd: x = static_cast<int32_t>(ux & uy); break;
        case kXor: x = static_cast<int32_t>(ux ^ uy); break;
        case kBitOr: x = static_cast<int32_t>(ux | uy); break;
        case kLogAnd: x = x && y; break;
        case kLogOr: x = x || y; break;
        default: break;
        }
    }
    return s[0];
}

bool LogFormat::Parse(std::string_view text, const SymbolTable* symbols, ExprError& error) {
    pieces_.clear();
    source_.clear();
    std::vector<Piece> pieces(1);
    for (size_t i = 0; i < text.size();) {
        const char ch = text[i];
        if (ch == '}') {
            if (i + 1 < text.size() && text[i + 1] == '}') {
                pieces.back().Literal += '}';
                i += 2;
                continue;
            }
            error = {static_cast<int>(i) + 1, "'}' without '{' (write }} for a brace)"};
            return false;
        }
        if (ch != '{') {
            pieces.back().Literal += ch;
            ++i;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '{') {
            pieces.back().Literal += '{';
            i += 2;
            continue;
        }
        const size_t close = text.find('}', i + 1);
        if (close == std::string_view::npos) {
            error = {static_cast<int>(text.size()) + 1, "expected '}'"};
            return false;
        }
        std::string_view field = text.substr(i + 1, close - i - 1);
        Piece& p = pieces.back();
        p.HasField = true;
        if (field.size() >= 2 && field.substr(field.size() - 2) == ":d") {
            p.Decimal = true;
            field.remove_suffix(2);
        }
        ExprError e;
        if (!p.Field.Parse(field, symbols, e)) {
            error = {static_cast<int>(i) + 1 + e.Position, e.Message};
            return false;
        }
        // A field that is one 16-bit register prints four digits whatever its value.
        std::string_view name = field;
        while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        for (const NamedValue& n : kNames)
            if (SameName(name, n.Name))
                p.Wide = n.K == kPointer ||
                         (n.K == kSpecial && (n.Value == static_cast<int>(SpecialReg::PC) ||
                                              n.Value == static_cast<int>(SpecialReg::LA)));
        pieces.emplace_back();
        i = close + 1;
    }
    pieces_ = std::move(pieces);
    source_ = std::string(text);
    return true;
}

std::string LogFormat::Format() const {
    std::string out;
    for (const Piece& p : pieces_) {
        out += p.Literal;
        if (!p.HasField) continue;
        const int32_t v = p.Field.Eval();
        char buf[16];
        if (p.Decimal)
            std::snprintf(buf, sizeof buf, "%d", v);
        else if (p.Wide || v < 0 || v > 0xFF)
            std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(v));
        else
            std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(v));
        out += buf;
    }
    return out;
}
