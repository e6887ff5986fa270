// The debugger's expressions: conditions of breakpoints and the fields of log lines. A small
// language over the machine as it stands:
//   registers   PC LA KC KI IE DS PD AS PE S4 S5 S6 S7 S8 TM F, the pointers IX IY IZ V0..V3 SP
//               (16 bits, from the register file)
//   flags       C H V Z UZ LZ (0 or 1)
//   R[n]        a byte of the main register file (n an expression, taken modulo 128)
//   M[a:addr]   a byte of memory area a (0 to 3) at addr, as instructions read it; M[addr] is RAM
//   numbers     decimal, or hexadecimal with 0x or &H
//   symbols     the names of the symbol table, as their addresses
//   operators   ! ~ - (unary), * / %, + -, << >>, < <= > >=, == !=, &, ^, |, &&, || (C's order
//               and meaning; a division by zero gives 0), parentheses
// Names are compared without regard to case. Values are signed 32-bit. A parsed expression is
// compiled into a short program that evaluates without allocating.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class SymbolTable;

struct ExprError {
    int Position = 0;    // 1-based position in the text of the character at fault (one past the
                         // end when the text ended too early)
    std::string Message; // e.g. "expected ')'"
    // "at N: message"
    std::string Text() const;
};

class Expr {
public:
    // Compiles text. False with error set (and the expression empty) when it does not parse.
    // Symbols may be null.
    bool Parse(std::string_view text, const SymbolTable* symbols, ExprError& error);
    bool Empty() const { return code_.empty(); }
    // The value on the machine as it stands now; an empty expression gives 1 (true).
    int32_t Eval() const;
    // The text it was parsed from.
    const std::string& Source() const { return source_; }

    struct Op {
        uint8_t Kind;
        int32_t Value;
    };

private:
    std::vector<Op> code_;
    std::string source_;
};

// A log line's format: literal text with {expression} fields, "{{" and "}}" for braces. A field
// prints its value in upper-case hexadecimal, four digits for PC, LA, the pointers and values
// above 0xFF, two otherwise; {expression:d} prints it in decimal.
class LogFormat {
public:
    bool Parse(std::string_view text, const SymbolTable* symbols, ExprError& error);
    // The line for the machine as it stands now.
    std::string Format() const;
    const std::string& Source() const { return source_; }

private:
    struct Piece {
        std::string Literal;
        Expr Field;
        bool HasField = false;
        bool Decimal = false;
        bool Wide = false;
    };
    std::vector<Piece> pieces_;
    std::string source_;
};
