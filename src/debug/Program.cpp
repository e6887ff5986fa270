// Two passes over the source. Pass 1 splits every line into label and statement, defines the
// labels and finds every line's address and size: an instruction's length never depends on its
// numbers, so pass 1 assembles it with every value replaced by 1, which every operand accepts.
// Pass 2 evaluates the expressions, assembles with the real values and fills the images.
#include "debug/Program.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>

#include "core/Cpu.h"
#include "core/Digits.h"
#include "debug/Asem.h"

namespace {

constexpr int kMaxErrors = 40;
constexpr int64_t kMaxValue = 0xFFFF;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsIdentStart(char c) {
    return IsAlpha(c) || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || IsDigit(c);
}
char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = LowerChar(c);
    return out;
}

std::string Hex(int64_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(v));
    return buf;
}

std::size_t IdentEnd(std::string_view s, std::size_t i) {
    while (i < s.size() && IsIdentChar(s[i])) ++i;
    return i;
}

std::size_t SkipSpaces(std::string_view s, std::size_t i) {
    while (i < s.size() && s[i] == ' ') ++i;
    return i;
}

// r0.., i0..: the register operands of the notation.
bool IsRegisterWord(std::string_view w) {
    if (w.size() < 2 || (LowerChar(w[0]) != 'r' && LowerChar(w[0]) != 'i')) return false;
    for (std::size_t i = 1; i < w.size(); ++i)
        if (!IsDigit(w[i])) return false;
    return true;
}

// Words of the notation that stay as they are inside operands.
bool IsOperandWord(std::string_view w) {
    return IsRegisterWord(w) || AsmIsOperandName(w);
}

bool IsReservedName(std::string_view w) {
    if (IsOperandWord(w)) return true;
    const std::string l = Lower(w);
    if (l == "org" || l == "equ" || l == "db" || l == "dw" || l == "high" || l == "low")
        return true;
    int length = 0;
    return AsmMatchMnemonic(w, length) >= 0 && length == static_cast<int>(w.size());
}

// --- Expressions ----------------------------------------------------------------------------

using Lookup = std::function<bool(std::string_view name, int column, int64_t& value)>;

struct Failure {
    int Column = 0;
    std::string Message;
};

// expr := term { ("+" | "-") term };  term := number | 'c' | $ | name | high(expr) | low(expr)
// Numbers: decimal, &Hhex or 0xhex. Blanks may stand around the operators.
class ExprParser {
public:
    // checkRange false: the values are stand-ins (pass 1), only the syntax counts.
    ExprParser(std::string_view text, int firstColumn, const Lookup& lookup, int64_t here,
               bool checkRange = true)
        : s_(text), col0_(firstColumn), lookup_(lookup), here_(here), checkRange_(checkRange) {}

    std::size_t i = 0;
    Failure fail;

    static bool StartsTerm(std::string_view s, std::size_t i) {
        if (i >= s.size()) return false;
        const char c = s[i];
        if (IsDigit(c) || c == '$' || c == '\'') return true;
        if (c == '&') return i + 1 < s.size() && LowerChar(s[i + 1]) == 'h';
        if (!IsIdentStart(c)) return false;
        return !IsOperandWord(s.substr(i, IdentEnd(s, i) - i));
    }

    bool Expr(int64_t& v) {
        if (!Term(v)) return false;
        for (;;) {
            const std::size_t op = SkipSpaces(s_, i);
            if (op >= s_.size() || (s_[op] != '+' && s_[op] != '-')) return true;
            const std::size_t next = SkipSpaces(s_, op + 1);
            if (!StartsTerm(s_, next)) return true;
            i = next;
            int64_t t;
            if (!Term(t)) return false;
            v = s_[op] == '+' ? v + t : v - t;
        }
    }

    // A whole value: an expression in 0..0xFFFF.
    bool Value(int64_t& v) {
        const std::size_t start = i;
        if (!Expr(v)) return false;
        if (checkRange_ && (v < 0 || v > kMaxValue))
            return Fail(start, "value " + std::to_string(v) + " is out of range (0 to 65535)");
        return true;
    }

    bool Fail(std::size_t at, std::string message) {
        if (fail.Message.empty()) fail = {Col(at), std::move(message)};
        return false;
    }
    int Col(std::size_t at) const { return col0_ + static_cast<int>(at); }

private:
    bool Term(int64_t& v) {
        i = SkipSpaces(s_, i);
        const std::size_t start = i;
        if (i >= s_.size()) return Fail(i, "a value is missing");
        const char c = s_[i];
        if (c == '$') {
            ++i;
            v = here_;
            return true;
        }
        if (c == '\'') {
            if (i + 2 < s_.size() && s_[i + 2] == '\'') {
                v = static_cast<unsigned char>(s_[i + 1]);
                i += 3;
                return true;
            }
            return Fail(i, "a character constant is written 'c'");
        }
        if (IsDigit(c) || c == '&') return Number(v);
        if (!IsIdentStart(c)) return Fail(i, std::string("a value is missing before '") + c + "'");
        const std::size_t end = IdentEnd(s_, i);
        const std::string_view name = s_.substr(i, end - i);
        const std::string lower = Lower(name);
        const std::size_t open = SkipSpaces(s_, end);
        if ((lower == "high" || lower == "low") && open < s_.size() && s_[open] == '(') {
            i = open + 1;
            int64_t inner;
            if (!Value(inner)) return false;
            i = SkipSpaces(s_, i);
            if (i >= s_.size() || s_[i] != ')') return Fail(i, "')' expected after " + lower + "(");
            ++i;
            v = lower == "high" ? (inner >> 8) & 0xFF : inner & 0xFF;
            return true;
        }
        if (IsOperandWord(name))
            return Fail(start,
                        "'" + std::string(name) + "' is a register or operand name, not a value");
        i = end;
        return lookup_(name, Col(start), v);
    }

    bool Number(int64_t& v) {
        const std::size_t start = i;
        int base = 10;
        if (s_[i] == '&') {
            base = 16;
            i += 2;
        } else if (s_[i] == '0' && i + 1 < s_.size() && LowerChar(s_[i + 1]) == 'x') {
            base = 16;
            i += 2;
        }
        v = 0;
        int digits = 0;
        while (i < s_.size()) {
            const int d = DigitValue(s_[i]);
            if (d >= base) break;
            if (v > 0xFFFFFF) return Fail(start, "number too large");
            v = v * base + d;
            ++i;
            ++digits;
        }
        if (digits == 0 || (i < s_.size() && IsIdentChar(s_[i])))
            return Fail(start, "malformed number");
        return true;
    }

    std::string_view s_;
    int col0_;
    const Lookup& lookup_;
    int64_t here_;
    bool checkRange_;
};

// --- Source lines -----------------------------------------------------------------------------

enum class Kind { kEmpty, kEqu, kOrg, kDb, kDw, kInstruction };

struct Line {
    int Number = 0;
    std::string Text; // tabs made blanks, no line end
    std::string Label;
    int LabelColumn = 0;
    Kind What = Kind::kEmpty;
    std::string_view Body; // the statement after the directive word or the mnemonic
    int BodyColumn = 0;    // source column of Body's first character
    int StatementColumn = 0;
    int Mnemonic = -1;        // index into AsmMnemonics()
    std::string MnemonicText; // as written
    std::string EquName;
    bool Placed = false; // occupies memory
    uint16_t Address = 0;
    int Size = 0; // bytes in external memory; 1 word in the internal ROM
    std::vector<uint8_t> Bytes;
};

struct Symbol {
    bool IsLabel = false;
    int64_t Value = 0;
    bool Known = false;  // labels: defined in pass 1 so far; equ: evaluated
    bool Busy = false;   // equ being evaluated (cycle check)
    bool Failed = false; // equ whose value could not be found (already reported)
    const Line* Def = nullptr;
};

// Splits a body into comma-separated items, commas inside '...' not counting.
// A blank body has no items; a comma after the last value is allowed, as in the one-line db.
std::vector<std::pair<std::size_t, std::size_t>> SplitItems(std::string_view s) {
    std::vector<std::pair<std::size_t, std::size_t>> items;
    if (SkipSpaces(s, 0) == s.size()) return items;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i < s.size() && s[i] == '\'' && i + 2 < s.size() && s[i + 2] == '\'') {
            i += 2;
            continue;
        }
        if (i == s.size() || s[i] == ',') {
            items.emplace_back(start, i);
            start = i + 1;
        }
    }
    if (items.size() > 1 && SkipSpaces(s, items.back().first) == items.back().second)
        items.pop_back();
    return items;
}

class Assembler {
public:
    ProgramImage Run(std::string_view source) {
        image_.Rom.assign(kRomBytes, 0);
        image_.Ext.assign(kExtBytes, 0);
        romOwner_.assign(kRomWords, 0);
        extOwner_.assign(kExtBytes, 0);
        Split(source);
        for (Line& line : lines_)
            if (!Full()) Pass1(line);
        inPass1_ = false;
        if (image_.Errors.empty())
            for (Line& line : lines_)
                if (!Full()) Pass2(line);
        std::stable_sort(image_.Errors.begin(), image_.Errors.end(),
                         [](const ProgramError& a, const ProgramError& b) {
                             return a.Line != b.Line ? a.Line < b.Line : a.Column < b.Column;
                         });
        if (image_.Errors.empty()) {
            MakeListing();
            CollectLabels();
        }
        return std::move(image_);
    }

private:
    void CollectLabels() {
        for (const Line& line : lines_) {
            if (line.Label.empty()) continue;
            const auto it = symbols_.find(line.Label);
            if (it == symbols_.end() || !it->second.IsLabel || it->second.Def != &line) continue;
            image_.Labels.push_back({static_cast<uint16_t>(it->second.Value & 0xFFFF), line.Label});
        }
        std::stable_sort(
            image_.Labels.begin(), image_.Labels.end(),
            [](const ProgramLabel& a, const ProgramLabel& b) { return a.Address < b.Address; });
    }

    bool Full() const { return static_cast<int>(image_.Errors.size()) >= kMaxErrors; }

    bool Error(const Line& line, int column, std::string message) {
        if (!Full()) image_.Errors.push_back({line.Number, column, std::move(message)});
        return false;
    }

    void Split(std::string_view source) {
        int number = 0;
        std::size_t start = 0;
        while (start <= source.size()) {
            std::size_t end = source.find('\n', start);
            if (end == std::string_view::npos) end = source.size();
            if (end == source.size() && start == end && number > 0) break; // final newline
            Line line;
            line.Number = ++number;
            line.Text = std::string(source.substr(start, end - start));
            if (!line.Text.empty() && line.Text.back() == '\r') line.Text.pop_back();
            for (char& c : line.Text)
                if (c == '\t') c = ' ';
            lines_.push_back(std::move(line));
            start = end + 1;
        }
    }

    // Length of the code part: up to a ";" that is not inside a character constant.
    static std::size_t CodeEnd(std::string_view s) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\'' && i + 2 < s.size() && s[i + 2] == '\'')
                i += 2;
            else if (s[i] == ';')
                return i;
        }
        return s.size();
    }

    bool DefineSymbol(const Line& line, const std::string& name, int column, bool isLabel,
                      int64_t value) {
        if (IsReservedName(name)) return Error(line, column, "'" + name + "' is a reserved name");
        auto [it, fresh] = symbols_.try_emplace(name);
        if (!fresh)
            return Error(line, column,
                         "'" + name + "' is already defined on line " +
                             std::to_string(it->second.Def->Number));
        it->second.IsLabel = isLabel;
        it->second.Value = value;
        it->second.Known = isLabel;
        it->second.Def = &line;
        return true;
    }

    // Value of a symbol; equ values are evaluated on first use.
    bool LookupSymbol(const Line& user, std::string_view name, int column, int64_t& v) {
        auto it = symbols_.find(std::string(name));
        if (it == symbols_.end())
            return Error(user, column,
                         "undefined name '" + std::string(name) + "'" +
                             (inPass1_ ? " (org takes only names defined above it)" : ""));
        Symbol& sym = it->second;
        if (sym.Known) {
            v = sym.Value;
            return true;
        }
        if (sym.Failed) return false;
        if (sym.Busy)
            return Error(user, column, "'" + std::string(name) + "' is defined in terms of itself");
        sym.Busy = true;
        const Line& def = *sym.Def;
        const bool ok = EvaluateWhole(def, def.Body, def.BodyColumn, def.Address, v);
        sym.Busy = false;
        if (!ok) {
            sym.Failed = true;
            return false;
        }
        sym.Value = v;
        sym.Known = true;
        return true;
    }

    Lookup RealLookup(const Line& line) {
        return [this, &line](std::string_view name, int column, int64_t& v) {
            return LookupSymbol(line, name, column, v);
        };
    }

    // The whole of text must be one value.
    bool EvaluateWhole(const Line& line, std::string_view text, int column, int64_t here,
                       int64_t& v) {
        const Lookup lookup = RealLookup(line);
        ExprParser p(text, column, lookup, here);
        const std::size_t first = SkipSpaces(text, 0);
        if (first >= text.size())
            return Error(line, column + static_cast<int>(first), "a value is missing");
        if (!p.Value(v))
            return p.fail.Message.empty() ? false : Error(line, p.fail.Column, p.fail.Message);
        const std::size_t rest = SkipSpaces(text, p.i);
        if (rest < text.size())
            return Error(line, p.Col(rest),
                         "unexpected '" + std::string(text.substr(rest, 1)) + "' after a value");
        return true;
    }

    void Pass1(Line& line) {
        const std::string_view text(line.Text);
        const std::string_view code = text.substr(0, CodeEnd(text));
        std::size_t i = SkipSpaces(code, 0);
        // label:
        if (i < code.size() && IsIdentStart(code[i])) {
            const std::size_t end = IdentEnd(code, i);
            if (end < code.size() && code[end] == ':') {
                line.Label = std::string(code.substr(i, end - i));
                line.LabelColumn = static_cast<int>(i) + 1;
                i = SkipSpaces(code, end + 1);
            }
        }
        // A label takes the location of its line's statement (after an org, the new one).
        const bool isOrg = Lower(code.substr(i, IdentEnd(code, i) - i)) == "org" &&
                           (IdentEnd(code, i) == code.size() || code[IdentEnd(code, i)] == ' ');
        if (!line.Label.empty() && !isOrg &&
            !DefineSymbol(line, line.Label, line.LabelColumn, true, loc_))
            return;
        if (i >= code.size()) return;
        line.StatementColumn = static_cast<int>(i) + 1;
        const std::size_t wordEnd = IdentEnd(code, i);
        const std::string word = Lower(code.substr(i, wordEnd - i));
        const std::size_t second = SkipSpaces(code, wordEnd);
        const std::size_t secondEnd = IdentEnd(code, second);
        auto setBody = [&](std::size_t from) {
            line.Body = code.substr(from);
            line.BodyColumn = static_cast<int>(from) + 1;
        };

        if (wordEnd > i && second > wordEnd &&
            Lower(code.substr(second, secondEnd - second)) == "equ" &&
            (secondEnd == code.size() || code[secondEnd] == ' ')) {
            if (!line.Label.empty())
                return void(Error(line, line.LabelColumn, "a label cannot stand before equ"));
            line.What = Kind::kEqu;
            line.EquName = std::string(code.substr(i, wordEnd - i));
            line.Address = loc_;
            setBody(secondEnd);
            DefineSymbol(line, line.EquName, line.StatementColumn, false, 0);
            return;
        }
        const bool directiveWord = wordEnd == code.size() || code[wordEnd] == ' ';
        if (word == "org" && directiveWord) {
            line.What = Kind::kOrg;
            setBody(wordEnd);
            int64_t v;
            if (EvaluateWhole(line, line.Body, line.BodyColumn, loc_, v)) {
                loc_ = static_cast<uint16_t>(v);
                line.Address = loc_;
            }
            if (!line.Label.empty()) DefineSymbol(line, line.Label, line.LabelColumn, true, loc_);
            return;
        }
        if ((word == "db" || word == "dw") && directiveWord) {
            line.What = word == "db" ? Kind::kDb : Kind::kDw;
            setBody(wordEnd);
            const int count = static_cast<int>(SplitItems(line.Body).size());
            const int size = line.What == Kind::kDb ? count : 2 * count;
            if (line.What == Kind::kDw && count == 0)
                return void(Error(line, line.BodyColumn, "dw needs at least one value"));
            if (loc_ < kFirstExternalPc && size > 3)
                return void(Error(line, line.StatementColumn,
                                  "an internal ROM word holds at most three bytes (db) or one "
                                  "dw value; split the line"));
            Place(line, size);
            return;
        }
        // An instruction in the one-line notation.
        int length = 0;
        line.Mnemonic = AsmMatchMnemonic(code.substr(i), length);
        if (line.Mnemonic < 0) {
            std::size_t e = i;
            while (e < code.size() && code[e] != ' ' && code[e] != ',') ++e;
            return void(Error(line, line.StatementColumn,
                              "unknown instruction '" + std::string(code.substr(i, e - i)) + "'"));
        }
        line.What = Kind::kInstruction;
        line.MnemonicText = std::string(code.substr(i, length));
        setBody(i + length);
        std::vector<uint8_t> bytes;
        if (!AssembleInstruction(line, false, bytes)) return;
        Place(line, static_cast<int>(bytes.size()));
    }

    // Gives the line its address and advances the location.
    void Place(Line& line, int size) {
        line.Placed = true;
        line.Address = loc_;
        line.Size = size;
        const int step = loc_ < kFirstExternalPc ? 1 : size;
        if (static_cast<int>(loc_) + step > 0x10000) {
            Error(line, line.StatementColumn, "the code runs past address &HFFFF");
            loc_ = 0xFFFF;
            return;
        }
        loc_ = static_cast<uint16_t>(loc_ + step);
    }

    // Assembles the statement with the one-line assembler, handing it the value of every
    // expression in the operands (all 1 in pass 1), and maps a failure to the source column.
    bool AssembleInstruction(const Line& line, bool real, std::vector<uint8_t>& bytes) {
        // The statement: the mnemonic as written and the operands after it, up to the comment.
        const std::string_view s = line.Body;
        const std::size_t bodyAt = static_cast<std::size_t>(line.BodyColumn - line.StatementColumn);
        const std::string_view statement(line.Text.data() + line.StatementColumn - 1,
                                         bodyAt + s.size());
        const auto column = [&](int position) { return line.StatementColumn + position - 1; };

        // Every expression in the operands becomes a value at its place; the words of the
        // notation (registers, pointer, condition and special-register names) stay words.
        std::vector<AsmValue> values;
        const Lookup lookup =
            real ? RealLookup(line) : Lookup([](std::string_view, int, int64_t& v) {
                v = 1;
                return true;
            });
        // The length of the statement in the notation, each value written as its decimal digits:
        // the one-line assembler's limit.
        std::size_t written = statement.size();
        std::size_t i = 0;
        while (i < s.size()) {
            if (IsIdentStart(s[i]) && IsOperandWord(s.substr(i, IdentEnd(s, i) - i))) {
                i = IdentEnd(s, i);
                continue;
            }
            if (!ExprParser::StartsTerm(s, i)) {
                ++i;
                continue;
            }
            ExprParser p(s, line.BodyColumn, lookup, line.Address, real);
            p.i = i;
            int64_t v;
            if (!p.Value(v)) {
                if (!p.fail.Message.empty()) Error(line, p.fail.Column, p.fail.Message);
                return false;
            }
            const uint16_t value = static_cast<uint16_t>(real ? v : 1);
            values.push_back({static_cast<int32_t>(bodyAt + i + 1),
                              static_cast<int32_t>(bodyAt + p.i + 1), value});
            written = written - (p.i - i) + std::to_string(value).size();
            i = p.i;
        }
        if (written > static_cast<std::size_t>(kAsmLineMax))
            return Error(line, line.StatementColumn,
                         "the instruction is longer than 64 characters once its values are "
                         "written out");

        const AsmMnemonic& m = AsmMnemonics()[static_cast<std::size_t>(line.Mnemonic)];
        const bool isShort = m.Form == AsmForm::ShortJump;
        const AsmResult r = AssembleLine(statement, real ? line.Address : 0, values);
        if (!r.Ok()) {
            const int at = r.AsmPos;
            if (real) {
                // Pass 1 accepted the line with every value 1: a value is at fault.
                if (isShort && !values.empty()) {
                    const AsmValue& t = values.back();
                    return Error(line, column(t.Begin),
                                 "short jump target &H" + Hex(t.Value, 4) +
                                     " is not in the page &H" + Hex(line.Address >> 8, 2) +
                                     "00-&H" + Hex(line.Address >> 8, 2) +
                                     "FF of this instruction; use jmp or cal");
                }
                for (const AsmValue& v : values)
                    if (v.Begin <= at && at <= v.End)
                        return Error(line, column(v.Begin),
                                     "value " + std::to_string(v.Value) + " (&H" +
                                         Hex(v.Value, v.Value > 0xFF ? 4 : 2) +
                                         ") is out of range for this operand of '" +
                                         std::string(m.Name) + "'");
                return Error(line, column(at),
                             "value out of range for '" + std::string(m.Name) + "'");
            }
            return Error(line, column(at), AsmFailureText(statement, at, values));
        }
        bytes.assign(r.AsmBytes.begin(), r.AsmBytes.begin() + r.AsmCount);
        if (real && isShort) {
            // The processor keeps the page of the address after the instruction; at the end of
            // a page that is the next page, not the one the target was checked against.
            const int after = line.Address < kFirstExternalPc ? line.Address + 1 : line.Address + 2;
            if ((after >> 8) != (line.Address >> 8))
                return Error(line, line.StatementColumn,
                             "a short jump in the last address of a page continues in the next "
                             "page; use jmp or cal here");
        }
        return true;
    }

    bool Store(Line& line) {
        if (line.Address < kFirstExternalPc) {
            const int w = line.Address;
            if (romOwner_[w] != 0)
                return Error(line, line.StatementColumn,
                             "internal ROM word &H" + Hex(w, 4) + " is already used by line " +
                                 std::to_string(romOwner_[w]));
            romOwner_[w] = line.Number;
            for (std::size_t k = 0; k < line.Bytes.size() && k < 3; ++k)
                image_.Rom[static_cast<std::size_t>(w) * 3 + k] = line.Bytes[k];
            return true;
        }
        for (std::size_t k = 0; k < line.Bytes.size(); ++k) {
            const uint16_t address = static_cast<uint16_t>(line.Address + k);
            const int offset = address & 0x7FFF;
            if (extOwner_[offset] != 0)
                return Error(line, line.StatementColumn,
                             "external memory byte &H" + Hex(offset, 4) + " (address &H" +
                                 Hex(address, 4) + ") is already used by line " +
                                 std::to_string(extOwner_[offset]));
            extOwner_[offset] = line.Number;
            image_.Ext[static_cast<std::size_t>(offset)] = line.Bytes[k];
        }
        return true;
    }

    void Pass2(Line& line) {
        switch (line.What) {
        case Kind::kEqu: {
            int64_t v;
            LookupSymbol(line, line.EquName, line.StatementColumn, v);
            return;
        }
        case Kind::kDb:
        case Kind::kDw: {
            for (const auto& [b, e] : SplitItems(line.Body)) {
                int64_t v;
                const int column = line.BodyColumn + static_cast<int>(b);
                if (!EvaluateWhole(line, line.Body.substr(b, e - b), column, line.Address, v))
                    return;
                if (line.What == Kind::kDb) {
                    if (v > 0xFF)
                        return void(Error(
                            line,
                            column + static_cast<int>(SkipSpaces(line.Body.substr(b, e - b), 0)),
                            "value " + std::to_string(v) + " does not fit in a byte (0 to 255)"));
                    line.Bytes.push_back(static_cast<uint8_t>(v));
                } else {
                    line.Bytes.push_back(static_cast<uint8_t>(v >> 8));
                    line.Bytes.push_back(static_cast<uint8_t>(v));
                }
            }
            Store(line);
            return;
        }
        case Kind::kInstruction:
            if (!line.Placed) return;
            if (AssembleInstruction(line, true, line.Bytes)) Store(line);
            return;
        default: return;
        }
    }

    void MakeListing() {
        std::string& out = image_.Listing;
        for (const Line& line : lines_) {
            std::string head(17, ' ');
            std::size_t shown = 0;
            auto bytesAt = [&](std::size_t from, std::size_t count) {
                std::string b;
                for (std::size_t k = 0; k < count && from + k < line.Bytes.size(); ++k) {
                    if (k) b += ' ';
                    b += Hex(line.Bytes[from + k], 2);
                }
                return b;
            };
            if (line.Placed) {
                head.replace(0, 4, Hex(line.Address, 4));
                const std::string b = bytesAt(0, 3);
                head.replace(6, b.size(), b);
                shown = 3;
            } else if (line.What == Kind::kEqu) {
                auto it = symbols_.find(line.EquName);
                if (it != symbols_.end() && it->second.Known)
                    head.replace(0, 5, "=" + Hex(it->second.Value, 4));
            } else if (line.What == Kind::kOrg) {
                head.replace(0, 4, Hex(line.Address, 4));
            }
            out += head;
            out += line.Text;
            while (!out.empty() && out.back() == ' ') out.pop_back();
            out += '\n';
            // Long db/dw lines in external memory: three more bytes per row.
            for (; shown < line.Bytes.size(); shown += 3) {
                std::string row =
                    Hex(static_cast<uint16_t>(line.Address + shown), 4) + "  " + bytesAt(shown, 3);
                out += row;
                out += '\n';
            }
        }
    }

    std::vector<Line> lines_;
    std::map<std::string, Symbol> symbols_;
    std::vector<int> romOwner_, extOwner_;
    uint16_t loc_ = 0;
    bool inPass1_ = true;
    ProgramImage image_;
};

} // namespace

ProgramImage AssembleProgram(std::string_view source) {
    return Assembler().Run(source);
}
