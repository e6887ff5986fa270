// The instruction table: for every opcode index the mnemonic, the format of its operand text,
// its length and the assembler form that writes it. The disassembler, the listing, the one-line
// assembler and the program assembler all read this table; execution reads the dispatch table
// (core/Dispatch.cpp), laid out the same way: one line per opcode byte b0, and below b0 0xA0 its
// four indices, one per value of b1 bits 7-6 (columns 00, 01, 10, 11).
#pragma once

#include "core/Fetch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <string_view>

// How the listing writes an instruction's operands. Legend of the fields (all register numbers of
// the main register file; x is "i" when b2 bit 4 makes the lower register indirect, else "r"):
//   R = b1 & 0x7F;  U = 0x40 | (b1 & 0x3F);  Ue = 0x40 | (b1 & 0x38) | (b2 >> 5);
//   L = ((b2 & 7) << 3) | (b2 >> 5);  Ls = ((b2 & 7) << 3) | (b1 & 7);  E = (b1 & 0x78) | (b2 >>
//   5); P = ix, iy, iz or sp by b0 & 3;  s = "+" when b0 bit 2 is set, else "-"; cc = "n" when b0
//   bit 3 is clear, then k, lz, uz, z, v, h, c by b0 & 7; byte = &H and two hex digits;  word = &H
//   and four.
enum class OperandFormat : uint8_t {
    None,              // (nothing)
    Reg,               // rR
    Lower,             // xL                      swp with one lower register
    Upper,             // rU                      swp with one upper register
    LowerUpper,        // xL,rU
    UpperLower,        // rU,xL
    RegLower,          // rR,xL                   sdn, sup
    PointerPair,       // rU,xL, or the pointer whose two bytes they are (pla, ijmp)
    TwinImm,           // rR,r(R^0x40),byte(b2)   ld into both halves
    RegImm,            // rR,byte(b2)
    MemReg,            // (p),r(R^0x40)           p = ix or iy by b0 bit 4
    MemImm,            // (p),byte(b1)
    PointerOperand,    // P,byte(b1 & 0x7F) when b1 bit 7 is clear, else P,rR (sbw, adw)
    StoreStep,         // s(P),rR
    LoadStep,          // rR,(P)s
    StoreLowerRun,     // s(P),rLs..rL
    StoreUpperRun,     // s(P),rU..rUe
    LoadLowerRun,      // rLs..rL,(P)s
    LoadUpperRun,      // rU..rUe,(P)s
    StoreDisp,         // (P s byte(b2 + 1)),rR   the offset the store uses; b2 = 0xFF shows &H100
    LoadDisp,          // rR,(P s byte(b2))
    StoreRunDisp,      // (P s byte((b2 & 0x1F) + 1)),rR..rE
    LoadRunDisp,       // rR..rE,(P s byte(b2 & 0x1F))
    LowerRange,        // xLs..xL
    UpperRange,        // rU..rUe
    LowerUpperRange,   // xLs..xL,rU..rUe
    UpperLowerRange,   // rU..rUe,xLs..xL
    RangeImm,          // rR..rE,byte(b2 & 0x1F)
    TwinRangeImm,      // r(b1 & 0x3F)..r(Ue & 0x3F),rU..r(Ue),byte(b2 & 0x1F)   three-operand ldm
    Word,              // word(b1, b2)
    PointerWord,       // the pointer b0 & 7 names (ix iy iz v3 v2 v1 v0 sp),word(b1, b2)
    Condition,         // cc
    ConditionWord,     // cc,word(b1, b2)
    PageWord,          // word(page, b1): page = high byte of PC once b0 is consumed
    ConditionPageWord, // cc,word(page, b1)
    SpecialImm7,       // sr,byte(b1 & 0x7F)      sr by (b0 & 3) * 2 + (b1 >> 7)
    SpecialImm,        // sr,byte(b1)             sr by b0 & 3
    SpecialFromReg,    // sr,rR                   sr by b0 & 7
    RegFromSpecial,    // rR,sr
};

// Bytes an instruction of the format occupies in external memory: as many as the listing reads.
constexpr int FormatLength(OperandFormat f) {
    switch (f) {
    case OperandFormat::None:
    case OperandFormat::Condition: return 1;
    case OperandFormat::Reg:
    case OperandFormat::MemReg:
    case OperandFormat::MemImm:
    case OperandFormat::PointerOperand:
    case OperandFormat::StoreStep:
    case OperandFormat::LoadStep:
    case OperandFormat::PageWord:
    case OperandFormat::ConditionPageWord:
    case OperandFormat::SpecialImm7:
    case OperandFormat::SpecialImm:
    case OperandFormat::SpecialFromReg:
    case OperandFormat::RegFromSpecial: return 2;
    default: return 3;
    }
}

// The forms of the one-line assembler: what a mnemonic's operands may look like. The assembler
// picks the index among the mnemonic's rows by the operands' shape and encodes the fields by the
// row's format.
enum class AsmForm : uint8_t {
    Unwritable,      // no line of the notation writes this index
    NoOperands,      // op
    OneRegister,     // op rN
    Alu,             // op A,B | op rN,n | op (p),rN | op (p),n
    Pair,            // op A,B; swp also op A
    DigitShift,      // op rU,L
    GetSpecial,      // op rN,sr
    PutSpecial,      // op sr,rN | op sr,n
    Load,            // ld A,B | ld rN,rM,n | ld rN,(p)s | ld rN,(p s n) | ld rN,n
    Store,           // st s(p),rN | st (p s n),rN
    LoadPointer,     // op p,n (ldw)
    PointerArith,    // op p,rN | op p,n
    PointerTransfer, // op p | op rU,L
    RunAlu,          // op A..A2,B..B2 | op rN..rM,n
    LoadRun,         // ldm, as ld with ranges
    StoreRun,        // stm s(p),A..A2 | stm (p s n),A..A2
    StoreRunMarked,  // stlm s(p),A..A2: stm with b2 bit 3 set
    SingleRun,       // op A..A2
    Return,          // op | op cc
    Jump,            // op n | op cc,n
    ShortJump,       // as Jump, n in the page of the instruction
    RunPair,         // op A..A2,B..B2; swpm also op A..A2
    Data,            // db: up to three bytes
};

struct InstructionInfo {
    std::string_view Mnemonic;
    OperandFormat Format;
    uint8_t Length; // bytes in external memory; in the internal ROM every instruction is one word
    AsmForm Form;
};

namespace instruction_table {
using enum OperandFormat;
using enum AsmForm;
// clang-format off
inline constexpr InstructionInfo kRows[] = {
    /* b0 0x00 */ {"tna",    LowerUpper,        3, Alu},              {"tna",    UpperLower,        3, Alu},              {"na",     LowerUpper,        3, Alu},              {"na",     UpperLower,        3, Alu},
    /* b0 0x01 */ {"txr",    LowerUpper,        3, Alu},              {"txr",    UpperLower,        3, Alu},              {"xr",     LowerUpper,        3, Alu},              {"xr",     UpperLower,        3, Alu},
    /* b0 0x02 */ {"tsbb",   LowerUpper,        3, Alu},              {"tsbb",   UpperLower,        3, Alu},              {"sbb",    LowerUpper,        3, Alu},              {"sbb",    UpperLower,        3, Alu},
    /* b0 0x03 */ {"tsb",    LowerUpper,        3, Alu},              {"tsb",    UpperLower,        3, Alu},              {"sb",     LowerUpper,        3, Alu},              {"sb",     UpperLower,        3, Alu},
    /* b0 0x04 */ {"tan",    LowerUpper,        3, Alu},              {"tan",    UpperLower,        3, Alu},              {"an",     LowerUpper,        3, Alu},              {"an",     UpperLower,        3, Alu},
    /* b0 0x05 */ {"tor",    LowerUpper,        3, Alu},              {"tor",    UpperLower,        3, Alu},              {"or",     LowerUpper,        3, Alu},              {"or",     UpperLower,        3, Alu},
    /* b0 0x06 */ {"tadb",   LowerUpper,        3, Alu},              {"tadb",   UpperLower,        3, Alu},              {"adb",    LowerUpper,        3, Alu},              {"adb",    UpperLower,        3, Alu},
    /* b0 0x07 */ {"tad",    LowerUpper,        3, Alu},              {"tad",    UpperLower,        3, Alu},              {"ad",     LowerUpper,        3, Alu},              {"ad",     UpperLower,        3, Alu},
    /* b0 0x08 */ {"tna",    RegImm,            3, Alu},              {"tna",    RegImm,            3, Alu},              {"na",     RegImm,            3, Alu},              {"na",     RegImm,            3, Alu},
    /* b0 0x09 */ {"txr",    RegImm,            3, Alu},              {"txr",    RegImm,            3, Alu},              {"xr",     RegImm,            3, Alu},              {"xr",     RegImm,            3, Alu},
    /* b0 0x0A */ {"tsbb",   RegImm,            3, Alu},              {"tsbb",   RegImm,            3, Alu},              {"sbb",    RegImm,            3, Alu},              {"sbb",    RegImm,            3, Alu},
    /* b0 0x0B */ {"tsb",    RegImm,            3, Alu},              {"tsb",    RegImm,            3, Alu},              {"sb",     RegImm,            3, Alu},              {"sb",     RegImm,            3, Alu},
    /* b0 0x0C */ {"tan",    RegImm,            3, Alu},              {"tan",    RegImm,            3, Alu},              {"an",     RegImm,            3, Alu},              {"an",     RegImm,            3, Alu},
    /* b0 0x0D */ {"tor",    RegImm,            3, Alu},              {"tor",    RegImm,            3, Alu},              {"or",     RegImm,            3, Alu},              {"or",     RegImm,            3, Alu},
    /* b0 0x0E */ {"tadb",   RegImm,            3, Alu},              {"tadb",   RegImm,            3, Alu},              {"adb",    RegImm,            3, Alu},              {"adb",    RegImm,            3, Alu},
    /* b0 0x0F */ {"tad",    RegImm,            3, Alu},              {"tad",    RegImm,            3, Alu},              {"ad",     RegImm,            3, Alu},              {"ad",     RegImm,            3, Alu},
    /* b0 0x10 */ {"tnam",   LowerUpperRange,   3, RunAlu},           {"tnam",   UpperLowerRange,   3, RunAlu},           {"nam",    LowerUpperRange,   3, RunAlu},           {"nam",    UpperLowerRange,   3, RunAlu},
    /* b0 0x11 */ {"txrm",   LowerUpperRange,   3, RunAlu},           {"txrm",   UpperLowerRange,   3, RunAlu},           {"xrm",    LowerUpperRange,   3, RunAlu},           {"xrm",    UpperLowerRange,   3, RunAlu},
    /* b0 0x12 */ {"tsbbm",  LowerUpperRange,   3, RunAlu},           {"tsbbm",  UpperLowerRange,   3, RunAlu},           {"sbbm",   LowerUpperRange,   3, RunAlu},           {"sbbm",   UpperLowerRange,   3, RunAlu},
    /* b0 0x13 */ {"tsbm",   LowerUpperRange,   3, RunAlu},           {"tsbm",   UpperLowerRange,   3, RunAlu},           {"sbm",    LowerUpperRange,   3, RunAlu},           {"sbm",    UpperLowerRange,   3, RunAlu},
    /* b0 0x14 */ {"tanm",   LowerUpperRange,   3, RunAlu},           {"tanm",   UpperLowerRange,   3, RunAlu},           {"anm",    LowerUpperRange,   3, RunAlu},           {"anm",    UpperLowerRange,   3, RunAlu},
    /* b0 0x15 */ {"torm",   LowerUpperRange,   3, RunAlu},           {"torm",   UpperLowerRange,   3, RunAlu},           {"orm",    LowerUpperRange,   3, RunAlu},           {"orm",    UpperLowerRange,   3, RunAlu},
    /* b0 0x16 */ {"tadbm",  LowerUpperRange,   3, RunAlu},           {"tadbm",  UpperLowerRange,   3, RunAlu},           {"adbm",   LowerUpperRange,   3, RunAlu},           {"adbm",   UpperLowerRange,   3, RunAlu},
    /* b0 0x17 */ {"tadm",   LowerUpperRange,   3, RunAlu},           {"tadm",   UpperLowerRange,   3, RunAlu},           {"adm",    LowerUpperRange,   3, RunAlu},           {"adm",    UpperLowerRange,   3, RunAlu},
    /* b0 0x18 */ {"pla",    PointerPair,       3, PointerTransfer},  {"pla",    PointerPair,       3, PointerTransfer},  {"ijmp",   PointerPair,       3, PointerTransfer},  {"ijmp",   PointerPair,       3, PointerTransfer},
    /* b0 0x19 */ {"bit",    LowerUpper,        3, Alu},              {"bit",    UpperLower,        3, Alu},              {"bit",    RegImm,            3, Alu},              {"bit",    RegImm,            3, Alu},
    /* b0 0x1A */ {"tsbbm",  RangeImm,          3, RunAlu},           {"tsbbm",  RangeImm,          3, RunAlu},           {"sbbm",   RangeImm,          3, RunAlu},           {"sbbm",   RangeImm,          3, RunAlu},
    /* b0 0x1B */ {"tsbm",   RangeImm,          3, RunAlu},           {"tsbm",   RangeImm,          3, RunAlu},           {"sbm",    RangeImm,          3, RunAlu},           {"sbm",    RangeImm,          3, RunAlu},
    /* b0 0x1C */ {"sdn",    RegLower,          3, Unwritable},       {"sdn",    RegLower,          3, DigitShift},       {"sup",    RegLower,          3, Unwritable},       {"sup",    RegLower,          3, DigitShift},
    /* b0 0x1D */ {"[1D00]", RegLower,          3, Unwritable},       {"[1D40]", RegLower,          3, Unwritable},       {"[1D80]", RegLower,          3, Unwritable},       {"[1DC0]", RegLower,          3, Unwritable},
    /* b0 0x1E */ {"tadbm",  RangeImm,          3, RunAlu},           {"tadbm",  RangeImm,          3, RunAlu},           {"adbm",   RangeImm,          3, RunAlu},           {"adbm",   RangeImm,          3, RunAlu},
    /* b0 0x1F */ {"tadm",   RangeImm,          3, RunAlu},           {"tadm",   RangeImm,          3, RunAlu},           {"adm",    RangeImm,          3, RunAlu},           {"adm",    RangeImm,          3, RunAlu},
    /* b0 0x20 */ {"ld",     TwinImm,           3, Load},             {"ld",     TwinImm,           3, Load},             {"ld",     RegImm,            3, Load},             {"ld",     RegImm,            3, Load},
    /* b0 0x21 */ {"xc",     LowerUpper,        3, Pair},             {"xc",     UpperLower,        3, Pair},             {"ld",     LowerUpper,        3, Load},             {"ld",     UpperLower,        3, Load},
    /* b0 0x22 */ {"tsbbc",  LowerUpper,        3, Alu},              {"tsbbc",  UpperLower,        3, Alu},              {"sbbc",   LowerUpper,        3, Alu},              {"sbbc",   UpperLower,        3, Alu},
    /* b0 0x23 */ {"tsbc",   LowerUpper,        3, Alu},              {"tsbc",   UpperLower,        3, Alu},              {"sbc",    LowerUpper,        3, Alu},              {"sbc",    UpperLower,        3, Alu},
    /* b0 0x24 */ {"swp",    LowerUpper,        3, Pair},             {"swp",    UpperLower,        3, Pair},             {"swp",    Lower,             3, Pair},             {"swp",    Upper,             3, Pair},
    /* b0 0x25 */ {"xcs",    LowerUpper,        3, Pair},             {"xcs",    UpperLower,        3, Pair},             {"lds",    LowerUpper,        3, Pair},             {"lds",    UpperLower,        3, Pair},
    /* b0 0x26 */ {"tadbc",  LowerUpper,        3, Alu},              {"tadbc",  UpperLower,        3, Alu},              {"adbc",   LowerUpper,        3, Alu},              {"adbc",   UpperLower,        3, Alu},
    /* b0 0x27 */ {"tadc",   LowerUpper,        3, Alu},              {"tadc",   UpperLower,        3, Alu},              {"adc",    LowerUpper,        3, Alu},              {"adc",    UpperLower,        3, Alu},
    /* b0 0x28 */ {"xcl",    LowerUpper,        3, Pair},             {"xch",    UpperLower,        3, Pair},             {"ldl",    LowerUpper,        3, Pair},             {"ldh",    UpperLower,        3, Pair},
    /* b0 0x29 */ {"xchs",   LowerUpper,        3, Pair},             {"xcls",   UpperLower,        3, Pair},             {"ldhs",   LowerUpper,        3, Pair},             {"ldls",   UpperLower,        3, Pair},
    /* b0 0x2A */ {"tsbbc",  RegImm,            3, Alu},              {"tsbbc",  RegImm,            3, Alu},              {"sbbc",   RegImm,            3, Alu},              {"sbbc",   RegImm,            3, Alu},
    /* b0 0x2B */ {"tsbc",   RegImm,            3, Alu},              {"tsbc",   RegImm,            3, Alu},              {"sbc",    RegImm,            3, Alu},              {"sbc",    RegImm,            3, Alu},
    /* b0 0x2C */ {"xcls",   LowerUpper,        3, Pair},             {"xchs",   UpperLower,        3, Pair},             {"ldls",   LowerUpper,        3, Pair},             {"ldhs",   UpperLower,        3, Pair},
    /* b0 0x2D */ {"xch",    LowerUpper,        3, Pair},             {"xcl",    UpperLower,        3, Pair},             {"ldh",    LowerUpper,        3, Pair},             {"ldl",    UpperLower,        3, Pair},
    /* b0 0x2E */ {"tadbc",  RegImm,            3, Alu},              {"tadbc",  RegImm,            3, Alu},              {"adbc",   RegImm,            3, Alu},              {"adbc",   RegImm,            3, Alu},
    /* b0 0x2F */ {"tadc",   RegImm,            3, Alu},              {"tadc",   RegImm,            3, Alu},              {"adc",    RegImm,            3, Alu},              {"adc",    RegImm,            3, Alu},
    /* b0 0x30 */ {"ldm",    TwinRangeImm,      3, LoadRun},          {"ldm",    TwinRangeImm,      3, LoadRun},          {"ldm",    RangeImm,          3, LoadRun},          {"ldm",    RangeImm,          3, LoadRun},
    /* b0 0x31 */ {"xcm",    LowerUpperRange,   3, RunPair},          {"xcm",    UpperLowerRange,   3, RunPair},          {"ldm",    LowerUpperRange,   3, LoadRun},          {"ldm",    UpperLowerRange,   3, LoadRun},
    /* b0 0x32 */ {"tsbbcm", LowerUpperRange,   3, RunAlu},           {"tsbbcm", UpperLowerRange,   3, RunAlu},           {"sbbcm",  LowerUpperRange,   3, RunAlu},           {"sbbcm",  UpperLowerRange,   3, RunAlu},
    /* b0 0x33 */ {"tsbcm",  LowerUpperRange,   3, RunAlu},           {"tsbcm",  UpperLowerRange,   3, RunAlu},           {"sbcm",   LowerUpperRange,   3, RunAlu},           {"sbcm",   UpperLowerRange,   3, RunAlu},
    /* b0 0x34 */ {"swpm",   LowerUpperRange,   3, RunPair},          {"swpm",   UpperLowerRange,   3, RunPair},          {"swpm",   LowerRange,        3, RunPair},          {"swpm",   UpperRange,        3, RunPair},
    /* b0 0x35 */ {"xcsm",   LowerUpperRange,   3, RunPair},          {"xcsm",   UpperLowerRange,   3, RunPair},          {"ldsm",   LowerUpperRange,   3, RunPair},          {"ldsm",   UpperLowerRange,   3, RunPair},
    /* b0 0x36 */ {"tadbcm", LowerUpperRange,   3, RunAlu},           {"tadbcm", UpperLowerRange,   3, RunAlu},           {"adbcm",  LowerUpperRange,   3, RunAlu},           {"adbcm",  UpperLowerRange,   3, RunAlu},
    /* b0 0x37 */ {"tadcm",  LowerUpperRange,   3, RunAlu},           {"tadcm",  UpperLowerRange,   3, RunAlu},           {"adcm",   LowerUpperRange,   3, RunAlu},           {"adcm",   UpperLowerRange,   3, RunAlu},
    /* b0 0x38 */ {"xclm",   LowerUpperRange,   3, RunPair},          {"xchm",   UpperLowerRange,   3, RunPair},          {"ldlm",   LowerUpperRange,   3, RunPair},          {"ldhm",   UpperLowerRange,   3, RunPair},
    /* b0 0x39 */ {"xchsm",  LowerUpperRange,   3, RunPair},          {"xclsm",  UpperLowerRange,   3, RunPair},          {"ldhsm",  LowerUpperRange,   3, RunPair},          {"ldlsm",  UpperLowerRange,   3, RunPair},
    /* b0 0x3A */ {"tsbbcm", RangeImm,          3, RunAlu},           {"tsbbcm", RangeImm,          3, RunAlu},           {"sbbcm",  RangeImm,          3, RunAlu},           {"sbbcm",  RangeImm,          3, RunAlu},
    /* b0 0x3B */ {"tsbcm",  RangeImm,          3, RunAlu},           {"tsbcm",  RangeImm,          3, RunAlu},           {"sbcm",   RangeImm,          3, RunAlu},           {"sbcm",   RangeImm,          3, RunAlu},
    /* b0 0x3C */ {"xclsm",  LowerUpperRange,   3, RunPair},          {"xchsm",  UpperLowerRange,   3, RunPair},          {"ldlsm",  LowerUpperRange,   3, RunPair},          {"ldhsm",  UpperLowerRange,   3, RunPair},
    /* b0 0x3D */ {"xchm",   LowerUpperRange,   3, RunPair},          {"xclm",   UpperLowerRange,   3, RunPair},          {"ldhm",   LowerUpperRange,   3, RunPair},          {"ldlm",   UpperLowerRange,   3, RunPair},
    /* b0 0x3E */ {"tadbcm", RangeImm,          3, RunAlu},           {"tadbcm", RangeImm,          3, RunAlu},           {"adbcm",  RangeImm,          3, RunAlu},           {"adbcm",  RangeImm,          3, RunAlu},
    /* b0 0x3F */ {"tadcm",  RangeImm,          3, RunAlu},           {"tadcm",  RangeImm,          3, RunAlu},           {"adcm",   RangeImm,          3, RunAlu},           {"adcm",   RangeImm,          3, RunAlu},
    /* b0 0x40 */ {"tna",    MemReg,            2, Alu},              {"tna",    MemReg,            2, Alu},              {"na",     MemReg,            2, Alu},              {"na",     MemReg,            2, Alu},
    /* b0 0x41 */ {"txr",    MemReg,            2, Alu},              {"txr",    MemReg,            2, Alu},              {"xr",     MemReg,            2, Alu},              {"xr",     MemReg,            2, Alu},
    /* b0 0x42 */ {"tsbb",   MemReg,            2, Alu},              {"tsbb",   MemReg,            2, Alu},              {"sbb",    MemReg,            2, Alu},              {"sbb",    MemReg,            2, Alu},
    /* b0 0x43 */ {"tsb",    MemReg,            2, Alu},              {"tsb",    MemReg,            2, Alu},              {"sb",     MemReg,            2, Alu},              {"sb",     MemReg,            2, Alu},
    /* b0 0x44 */ {"tan",    MemReg,            2, Alu},              {"tan",    MemReg,            2, Alu},              {"an",     MemReg,            2, Alu},              {"an",     MemReg,            2, Alu},
    /* b0 0x45 */ {"tor",    MemReg,            2, Alu},              {"tor",    MemReg,            2, Alu},              {"or",     MemReg,            2, Alu},              {"or",     MemReg,            2, Alu},
    /* b0 0x46 */ {"tadb",   MemReg,            2, Alu},              {"tadb",   MemReg,            2, Alu},              {"adb",    MemReg,            2, Alu},              {"adb",    MemReg,            2, Alu},
    /* b0 0x47 */ {"tad",    MemReg,            2, Alu},              {"tad",    MemReg,            2, Alu},              {"ad",     MemReg,            2, Alu},              {"ad",     MemReg,            2, Alu},
    /* b0 0x48 */ {"na",     MemImm,            2, Alu},              {"na",     MemImm,            2, Alu},              {"na",     MemImm,            2, Alu},              {"na",     MemImm,            2, Alu},
    /* b0 0x49 */ {"xr",     MemImm,            2, Alu},              {"xr",     MemImm,            2, Alu},              {"xr",     MemImm,            2, Alu},              {"xr",     MemImm,            2, Alu},
    /* b0 0x4A */ {"sbb",    MemImm,            2, Alu},              {"sbb",    MemImm,            2, Alu},              {"sbb",    MemImm,            2, Alu},              {"sbb",    MemImm,            2, Alu},
    /* b0 0x4B */ {"sb",     MemImm,            2, Alu},              {"sb",     MemImm,            2, Alu},              {"sb",     MemImm,            2, Alu},              {"sb",     MemImm,            2, Alu},
    /* b0 0x4C */ {"an",     MemImm,            2, Alu},              {"an",     MemImm,            2, Alu},              {"an",     MemImm,            2, Alu},              {"an",     MemImm,            2, Alu},
    /* b0 0x4D */ {"or",     MemImm,            2, Alu},              {"or",     MemImm,            2, Alu},              {"or",     MemImm,            2, Alu},              {"or",     MemImm,            2, Alu},
    /* b0 0x4E */ {"adb",    MemImm,            2, Alu},              {"adb",    MemImm,            2, Alu},              {"adb",    MemImm,            2, Alu},              {"adb",    MemImm,            2, Alu},
    /* b0 0x4F */ {"ad",     MemImm,            2, Alu},              {"ad",     MemImm,            2, Alu},              {"ad",     MemImm,            2, Alu},              {"ad",     MemImm,            2, Alu},
    /* b0 0x50 */ {"tna",    MemReg,            2, Alu},              {"tna",    MemReg,            2, Alu},              {"na",     MemReg,            2, Alu},              {"na",     MemReg,            2, Alu},
    /* b0 0x51 */ {"txr",    MemReg,            2, Alu},              {"txr",    MemReg,            2, Alu},              {"xr",     MemReg,            2, Alu},              {"xr",     MemReg,            2, Alu},
    /* b0 0x52 */ {"tsbb",   MemReg,            2, Alu},              {"tsbb",   MemReg,            2, Alu},              {"sbb",    MemReg,            2, Alu},              {"sbb",    MemReg,            2, Alu},
    /* b0 0x53 */ {"tsb",    MemReg,            2, Alu},              {"tsb",    MemReg,            2, Alu},              {"sb",     MemReg,            2, Alu},              {"sb",     MemReg,            2, Alu},
    /* b0 0x54 */ {"tan",    MemReg,            2, Alu},              {"tan",    MemReg,            2, Alu},              {"an",     MemReg,            2, Alu},              {"an",     MemReg,            2, Alu},
    /* b0 0x55 */ {"tor",    MemReg,            2, Alu},              {"tor",    MemReg,            2, Alu},              {"or",     MemReg,            2, Alu},              {"or",     MemReg,            2, Alu},
    /* b0 0x56 */ {"tadb",   MemReg,            2, Alu},              {"tadb",   MemReg,            2, Alu},              {"adb",    MemReg,            2, Alu},              {"adb",    MemReg,            2, Alu},
    /* b0 0x57 */ {"tad",    MemReg,            2, Alu},              {"tad",    MemReg,            2, Alu},              {"ad",     MemReg,            2, Alu},              {"ad",     MemReg,            2, Alu},
    /* b0 0x58 */ {"na",     MemImm,            2, Alu},              {"na",     MemImm,            2, Alu},              {"na",     MemImm,            2, Alu},              {"na",     MemImm,            2, Alu},
    /* b0 0x59 */ {"xr",     MemImm,            2, Alu},              {"xr",     MemImm,            2, Alu},              {"xr",     MemImm,            2, Alu},              {"xr",     MemImm,            2, Alu},
    /* b0 0x5A */ {"sbb",    MemImm,            2, Alu},              {"sbb",    MemImm,            2, Alu},              {"sbb",    MemImm,            2, Alu},              {"sbb",    MemImm,            2, Alu},
    /* b0 0x5B */ {"sb",     MemImm,            2, Alu},              {"sb",     MemImm,            2, Alu},              {"sb",     MemImm,            2, Alu},              {"sb",     MemImm,            2, Alu},
    /* b0 0x5C */ {"an",     MemImm,            2, Alu},              {"an",     MemImm,            2, Alu},              {"an",     MemImm,            2, Alu},              {"an",     MemImm,            2, Alu},
    /* b0 0x5D */ {"or",     MemImm,            2, Alu},              {"or",     MemImm,            2, Alu},              {"or",     MemImm,            2, Alu},              {"or",     MemImm,            2, Alu},
    /* b0 0x5E */ {"adb",    MemImm,            2, Alu},              {"adb",    MemImm,            2, Alu},              {"adb",    MemImm,            2, Alu},              {"adb",    MemImm,            2, Alu},
    /* b0 0x5F */ {"ad",     MemImm,            2, Alu},              {"ad",     MemImm,            2, Alu},              {"ad",     MemImm,            2, Alu},              {"ad",     MemImm,            2, Alu},
    /* b0 0x60 */ {"rod",    Reg,               2, OneRegister},      {"rod",    Reg,               2, OneRegister},      {"rou",    Reg,               2, OneRegister},      {"rou",    Reg,               2, OneRegister},
    /* b0 0x61 */ {"did",    Reg,               2, OneRegister},      {"did",    Reg,               2, OneRegister},      {"diu",    Reg,               2, OneRegister},      {"diu",    Reg,               2, OneRegister},
    /* b0 0x62 */ {"tcmpb",  Reg,               2, OneRegister},      {"tcmpb",  Reg,               2, OneRegister},      {"cmpb",   Reg,               2, OneRegister},      {"cmpb",   Reg,               2, OneRegister},
    /* b0 0x63 */ {"tcmp",   Reg,               2, OneRegister},      {"tcmp",   Reg,               2, OneRegister},      {"cmp",    Reg,               2, OneRegister},      {"cmp",    Reg,               2, OneRegister},
    /* b0 0x64 */ {"byd",    Reg,               2, OneRegister},      {"byd",    Reg,               2, OneRegister},      {"byu",    Reg,               2, OneRegister},      {"byu",    Reg,               2, OneRegister},
    /* b0 0x65 */ {"bnd",    Reg,               2, OneRegister},      {"bnd",    Reg,               2, OneRegister},      {"bnu",    Reg,               2, OneRegister},      {"bnu",    Reg,               2, OneRegister},
    /* b0 0x66 */ {"tmtb",   Reg,               2, OneRegister},      {"tmtb",   Reg,               2, OneRegister},      {"mtb",    Reg,               2, OneRegister},      {"mtb",    Reg,               2, OneRegister},
    /* b0 0x67 */ {"tbiu",   Reg,               2, OneRegister},      {"tbiu",   Reg,               2, OneRegister},      {"biu",    Reg,               2, OneRegister},      {"biu",    Reg,               2, OneRegister},
    /* b0 0x68 */ {"st",     StoreStep,         2, Store},            {"st",     StoreStep,         2, Store},            {"ld",     LoadStep,          2, Load},             {"ld",     LoadStep,          2, Load},
    /* b0 0x69 */ {"st",     StoreStep,         2, Store},            {"st",     StoreStep,         2, Store},            {"ld",     LoadStep,          2, Load},             {"ld",     LoadStep,          2, Load},
    /* b0 0x6A */ {"st",     StoreStep,         2, Store},            {"st",     StoreStep,         2, Store},            {"ld",     LoadStep,          2, Load},             {"ld",     LoadStep,          2, Load},
    /* b0 0x6B */ {"st",     StoreStep,         2, Store},            {"st",     StoreStep,         2, Store},            {"ld",     LoadStep,          2, Load},             {"ld",     LoadStep,          2, Load},
    /* b0 0x6C */ {"st",     StoreStep,         2, Store},            {"st",     StoreStep,         2, Store},            {"ld",     LoadStep,          2, Load},             {"ld",     LoadStep,          2, Load},
    /* b0 0x6D */ {"st",     StoreStep,         2, Store},            {"st",     StoreStep,         2, Store},            {"ld",     LoadStep,          2, Load},             {"ld",     LoadStep,          2, Load},
    /* b0 0x6E */ {"st",     StoreStep,         2, Store},            {"st",     StoreStep,         2, Store},            {"ld",     LoadStep,          2, Load},             {"ld",     LoadStep,          2, Load},
    /* b0 0x6F */ {"st",     StoreStep,         2, Store},            {"st",     StoreStep,         2, Store},            {"ld",     LoadStep,          2, Load},             {"ld",     LoadStep,          2, Load},
    /* b0 0x70 */ {"rodm",   LowerRange,        3, SingleRun},        {"rodm",   UpperRange,        3, SingleRun},        {"roum",   LowerRange,        3, SingleRun},        {"roum",   UpperRange,        3, SingleRun},
    /* b0 0x71 */ {"didm",   LowerRange,        3, SingleRun},        {"didm",   UpperRange,        3, SingleRun},        {"dium",   LowerRange,        3, SingleRun},        {"dium",   UpperRange,        3, SingleRun},
    /* b0 0x72 */ {"tcmpbm", LowerRange,        3, SingleRun},        {"tcmpbm", UpperRange,        3, SingleRun},        {"cmpbm",  LowerRange,        3, SingleRun},        {"cmpbm",  UpperRange,        3, SingleRun},
    /* b0 0x73 */ {"tcmpm",  LowerRange,        3, SingleRun},        {"tcmpm",  UpperRange,        3, SingleRun},        {"cmpm",   LowerRange,        3, SingleRun},        {"cmpm",   UpperRange,        3, SingleRun},
    /* b0 0x74 */ {"bydm",   LowerRange,        3, SingleRun},        {"bydm",   UpperRange,        3, SingleRun},        {"byum",   LowerRange,        3, SingleRun},        {"byum",   UpperRange,        3, SingleRun},
    /* b0 0x75 */ {"bndm",   LowerRange,        3, SingleRun},        {"bndm",   UpperRange,        3, SingleRun},        {"bnum",   LowerRange,        3, SingleRun},        {"bnum",   UpperRange,        3, SingleRun},
    /* b0 0x76 */ {"tmtbm",  LowerRange,        3, SingleRun},        {"tmtbm",  UpperRange,        3, SingleRun},        {"mtbm",   LowerRange,        3, SingleRun},        {"mtbm",   UpperRange,        3, SingleRun},
    /* b0 0x77 */ {"tbium",  LowerRange,        3, SingleRun},        {"tbium",  UpperRange,        3, SingleRun},        {"bium",   LowerRange,        3, SingleRun},        {"bium",   UpperRange,        3, SingleRun},
    /* b0 0x78 */ {"stm",    StoreLowerRun,     3, StoreRun},         {"stm",    StoreUpperRun,     3, StoreRun},         {"ldm",    LoadLowerRun,      3, LoadRun},          {"ldm",    LoadUpperRun,      3, LoadRun},
    /* b0 0x79 */ {"stm",    StoreLowerRun,     3, StoreRun},         {"stm",    StoreUpperRun,     3, StoreRun},         {"ldm",    LoadLowerRun,      3, LoadRun},          {"ldm",    LoadUpperRun,      3, LoadRun},
    /* b0 0x7A */ {"stm",    StoreLowerRun,     3, StoreRun},         {"stm",    StoreUpperRun,     3, StoreRun},         {"ldm",    LoadLowerRun,      3, LoadRun},          {"ldm",    LoadUpperRun,      3, LoadRun},
    /* b0 0x7B */ {"stm",    StoreLowerRun,     3, StoreRun},         {"stm",    StoreUpperRun,     3, StoreRun},         {"ldm",    LoadLowerRun,      3, LoadRun},          {"ldm",    LoadUpperRun,      3, LoadRun},
    /* b0 0x7C */ {"stm",    StoreLowerRun,     3, StoreRun},         {"stm",    StoreUpperRun,     3, StoreRun},         {"ldm",    LoadLowerRun,      3, LoadRun},          {"ldm",    LoadUpperRun,      3, LoadRun},
    /* b0 0x7D */ {"stm",    StoreLowerRun,     3, StoreRun},         {"stm",    StoreUpperRun,     3, StoreRun},         {"ldm",    LoadLowerRun,      3, LoadRun},          {"ldm",    LoadUpperRun,      3, LoadRun},
    /* b0 0x7E */ {"stm",    StoreLowerRun,     3, StoreRun},         {"stm",    StoreUpperRun,     3, StoreRun},         {"ldm",    LoadLowerRun,      3, LoadRun},          {"ldm",    LoadUpperRun,      3, LoadRun},
    /* b0 0x7F */ {"stm",    StoreLowerRun,     3, StoreRun},         {"stm",    StoreUpperRun,     3, StoreRun},         {"ldm",    LoadLowerRun,      3, LoadRun},          {"ldm",    LoadUpperRun,      3, LoadRun},
    /* b0 0x80 */ {"st",     StoreDisp,         3, Store},            {"st",     StoreDisp,         3, Store},            {"ld",     LoadDisp,          3, Load},             {"ld",     LoadDisp,          3, Load},
    /* b0 0x81 */ {"st",     StoreDisp,         3, Store},            {"st",     StoreDisp,         3, Store},            {"ld",     LoadDisp,          3, Load},             {"ld",     LoadDisp,          3, Load},
    /* b0 0x82 */ {"st",     StoreDisp,         3, Store},            {"st",     StoreDisp,         3, Store},            {"ld",     LoadDisp,          3, Load},             {"ld",     LoadDisp,          3, Load},
    /* b0 0x83 */ {"st",     StoreDisp,         3, Store},            {"st",     StoreDisp,         3, Store},            {"ld",     LoadDisp,          3, Load},             {"ld",     LoadDisp,          3, Load},
    /* b0 0x84 */ {"st",     StoreDisp,         3, Store},            {"st",     StoreDisp,         3, Store},            {"ld",     LoadDisp,          3, Load},             {"ld",     LoadDisp,          3, Load},
    /* b0 0x85 */ {"st",     StoreDisp,         3, Store},            {"st",     StoreDisp,         3, Store},            {"ld",     LoadDisp,          3, Load},             {"ld",     LoadDisp,          3, Load},
    /* b0 0x86 */ {"st",     StoreDisp,         3, Store},            {"st",     StoreDisp,         3, Store},            {"ld",     LoadDisp,          3, Load},             {"ld",     LoadDisp,          3, Load},
    /* b0 0x87 */ {"st",     StoreDisp,         3, Store},            {"st",     StoreDisp,         3, Store},            {"ld",     LoadDisp,          3, Load},             {"ld",     LoadDisp,          3, Load},
    /* b0 0x88 */ {"pst",    SpecialImm,        2, PutSpecial},       {"pst",    SpecialImm,        2, PutSpecial},       {"pst",    SpecialImm,        2, PutSpecial},       {"pst",    SpecialImm,        2, PutSpecial},
    /* b0 0x89 */ {"pst",    SpecialImm,        2, PutSpecial},       {"pst",    SpecialImm,        2, PutSpecial},       {"pst",    SpecialImm,        2, PutSpecial},       {"pst",    SpecialImm,        2, PutSpecial},
    /* b0 0x8A */ {"pst",    SpecialImm,        2, PutSpecial},       {"pst",    SpecialImm,        2, PutSpecial},       {"pst",    SpecialImm,        2, PutSpecial},       {"pst",    SpecialImm,        2, PutSpecial},
    /* b0 0x8B */ {"pst",    SpecialImm,        2, PutSpecial},       {"pst",    SpecialImm,        2, PutSpecial},       {"pst",    SpecialImm,        2, PutSpecial},       {"pst",    SpecialImm,        2, PutSpecial},
    /* b0 0x8C */ {"pst",    SpecialImm7,       2, PutSpecial},       {"pst",    SpecialImm7,       2, PutSpecial},       {"pst",    SpecialImm7,       2, PutSpecial},       {"pst",    SpecialImm7,       2, PutSpecial},
    /* b0 0x8D */ {"pst",    SpecialImm7,       2, PutSpecial},       {"pst",    SpecialImm7,       2, PutSpecial},       {"pst",    SpecialImm7,       2, PutSpecial},       {"pst",    SpecialImm7,       2, PutSpecial},
    /* b0 0x8E */ {"pst",    SpecialImm7,       2, PutSpecial},       {"pst",    SpecialImm7,       2, PutSpecial},       {"pst",    SpecialImm7,       2, PutSpecial},       {"pst",    SpecialImm7,       2, PutSpecial},
    /* b0 0x8F */ {"pst",    SpecialImm7,       2, PutSpecial},       {"pst",    SpecialImm7,       2, PutSpecial},       {"pst",    SpecialImm7,       2, PutSpecial},       {"pst",    SpecialImm7,       2, PutSpecial},
    /* b0 0x90 */ {"stm",    StoreRunDisp,      3, StoreRun},         {"stm",    StoreRunDisp,      3, StoreRun},         {"ldm",    LoadRunDisp,       3, LoadRun},          {"ldm",    LoadRunDisp,       3, LoadRun},
    /* b0 0x91 */ {"stm",    StoreRunDisp,      3, StoreRun},         {"stm",    StoreRunDisp,      3, StoreRun},         {"ldm",    LoadRunDisp,       3, LoadRun},          {"ldm",    LoadRunDisp,       3, LoadRun},
    /* b0 0x92 */ {"stm",    StoreRunDisp,      3, StoreRun},         {"stm",    StoreRunDisp,      3, StoreRun},         {"ldm",    LoadRunDisp,       3, LoadRun},          {"ldm",    LoadRunDisp,       3, LoadRun},
    /* b0 0x93 */ {"stm",    StoreRunDisp,      3, StoreRun},         {"stm",    StoreRunDisp,      3, StoreRun},         {"ldm",    LoadRunDisp,       3, LoadRun},          {"ldm",    LoadRunDisp,       3, LoadRun},
    /* b0 0x94 */ {"stm",    StoreRunDisp,      3, StoreRun},         {"stm",    StoreRunDisp,      3, StoreRun},         {"ldm",    LoadRunDisp,       3, LoadRun},          {"ldm",    LoadRunDisp,       3, LoadRun},
    /* b0 0x95 */ {"stm",    StoreRunDisp,      3, StoreRun},         {"stm",    StoreRunDisp,      3, StoreRun},         {"ldm",    LoadRunDisp,       3, LoadRun},          {"ldm",    LoadRunDisp,       3, LoadRun},
    /* b0 0x96 */ {"stm",    StoreRunDisp,      3, StoreRun},         {"stm",    StoreRunDisp,      3, StoreRun},         {"ldm",    LoadRunDisp,       3, LoadRun},          {"ldm",    LoadRunDisp,       3, LoadRun},
    /* b0 0x97 */ {"stm",    StoreRunDisp,      3, StoreRun},         {"stm",    StoreRunDisp,      3, StoreRun},         {"ldm",    LoadRunDisp,       3, LoadRun},          {"ldm",    LoadRunDisp,       3, LoadRun},
    /* b0 0x98 */ {"pst",    SpecialFromReg,    2, PutSpecial},       {"pst",    SpecialFromReg,    2, PutSpecial},       {"gst",    RegFromSpecial,    2, GetSpecial},       {"gst",    RegFromSpecial,    2, GetSpecial},
    /* b0 0x99 */ {"pst",    SpecialFromReg,    2, PutSpecial},       {"pst",    SpecialFromReg,    2, PutSpecial},       {"gst",    RegFromSpecial,    2, GetSpecial},       {"gst",    RegFromSpecial,    2, GetSpecial},
    /* b0 0x9A */ {"pst",    SpecialFromReg,    2, PutSpecial},       {"pst",    SpecialFromReg,    2, PutSpecial},       {"gst",    RegFromSpecial,    2, GetSpecial},       {"gst",    RegFromSpecial,    2, GetSpecial},
    /* b0 0x9B */ {"pst",    SpecialFromReg,    2, PutSpecial},       {"pst",    SpecialFromReg,    2, PutSpecial},       {"gst",    RegFromSpecial,    2, GetSpecial},       {"gst",    RegFromSpecial,    2, GetSpecial},
    /* b0 0x9C */ {"pst",    SpecialFromReg,    2, PutSpecial},       {"pst",    SpecialFromReg,    2, PutSpecial},       {"gst",    RegFromSpecial,    2, GetSpecial},       {"gst",    RegFromSpecial,    2, GetSpecial},
    /* b0 0x9D */ {"pst",    SpecialFromReg,    2, PutSpecial},       {"pst",    SpecialFromReg,    2, PutSpecial},       {"gst",    RegFromSpecial,    2, GetSpecial},       {"gst",    RegFromSpecial,    2, GetSpecial},
    /* b0 0x9E */ {"bdn",    Reg,               2, OneRegister},      {"bdn",    Reg,               2, OneRegister},      {"bup",    Reg,               2, OneRegister},      {"bup",    Reg,               2, OneRegister},
    /* b0 0x9F */ {"bdn",    Reg,               2, OneRegister},      {"bdn",    Reg,               2, OneRegister},      {"bup",    Reg,               2, OneRegister},      {"bup",    Reg,               2, OneRegister},
    /* b0 0xA0 */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xA1 */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xA2 */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xA3 */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xA4 */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xA5 */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xA6 */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xA7 */ {"jmp",    Word,              3, Jump},
    /* b0 0xA8 */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xA9 */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xAA */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xAB */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xAC */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xAD */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xAE */ {"jmp",    ConditionWord,     3, Jump},
    /* b0 0xAF */ {"off",    None,              1, NoOperands},
    /* b0 0xB0 */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xB1 */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xB2 */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xB3 */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xB4 */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xB5 */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xB6 */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xB7 */ {"cal",    Word,              3, Jump},
    /* b0 0xB8 */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xB9 */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xBA */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xBB */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xBC */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xBD */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xBE */ {"cal",    ConditionWord,     3, Jump},
    /* b0 0xBF */ {"wai",    None,              1, NoOperands},
    /* b0 0xC0 */ {"rtn",    Condition,         1, Return},
    /* b0 0xC1 */ {"rtn",    Condition,         1, Return},
    /* b0 0xC2 */ {"rtn",    Condition,         1, Return},
    /* b0 0xC3 */ {"rtn",    Condition,         1, Return},
    /* b0 0xC4 */ {"rtn",    Condition,         1, Return},
    /* b0 0xC5 */ {"rtn",    Condition,         1, Return},
    /* b0 0xC6 */ {"rtn",    Condition,         1, Return},
    /* b0 0xC7 */ {"rtn",    None,              1, Return},
    /* b0 0xC8 */ {"rtn",    Condition,         1, Return},
    /* b0 0xC9 */ {"rtn",    Condition,         1, Return},
    /* b0 0xCA */ {"rtn",    Condition,         1, Return},
    /* b0 0xCB */ {"rtn",    Condition,         1, Return},
    /* b0 0xCC */ {"rtn",    Condition,         1, Return},
    /* b0 0xCD */ {"rtn",    Condition,         1, Return},
    /* b0 0xCE */ {"rtn",    Condition,         1, Return},
    /* b0 0xCF */ {"rti",    None,              1, NoOperands},
    /* b0 0xD0 */ {"ldw",    PointerWord,       3, LoadPointer},
    /* b0 0xD1 */ {"ldw",    PointerWord,       3, LoadPointer},
    /* b0 0xD2 */ {"ldw",    PointerWord,       3, LoadPointer},
    /* b0 0xD3 */ {"ldw",    PointerWord,       3, LoadPointer},
    /* b0 0xD4 */ {"ldw",    PointerWord,       3, LoadPointer},
    /* b0 0xD5 */ {"ldw",    PointerWord,       3, LoadPointer},
    /* b0 0xD6 */ {"ldw",    PointerWord,       3, LoadPointer},
    /* b0 0xD7 */ {"ldw",    PointerWord,       3, LoadPointer},
    /* b0 0xD8 */ {"sbw",    PointerOperand,    2, PointerArith},
    /* b0 0xD9 */ {"sbw",    PointerOperand,    2, PointerArith},
    /* b0 0xDA */ {"sbw",    PointerOperand,    2, PointerArith},
    /* b0 0xDB */ {"sbw",    PointerOperand,    2, PointerArith},
    /* b0 0xDC */ {"adw",    PointerOperand,    2, PointerArith},
    /* b0 0xDD */ {"adw",    PointerOperand,    2, PointerArith},
    /* b0 0xDE */ {"adw",    PointerOperand,    2, PointerArith},
    /* b0 0xDF */ {"adw",    PointerOperand,    2, PointerArith},
    /* b0 0xE0 */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xE1 */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xE2 */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xE3 */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xE4 */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xE5 */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xE6 */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xE7 */ {"sjmp",   PageWord,          2, ShortJump},
    /* b0 0xE8 */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xE9 */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xEA */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xEB */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xEC */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xED */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xEE */ {"sjmp",   ConditionPageWord, 2, ShortJump},
    /* b0 0xEF */ {"nop",    None,              1, NoOperands},
    /* b0 0xF0 */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xF1 */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xF2 */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xF3 */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xF4 */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xF5 */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xF6 */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xF7 */ {"scal",   PageWord,          2, ShortJump},
    /* b0 0xF8 */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xF9 */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xFA */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xFB */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xFC */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xFD */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xFE */ {"scal",   ConditionPageWord, 2, ShortJump},
    /* b0 0xFF */ {"trp",    None,              1, NoOperands},
};
// clang-format on
} // namespace instruction_table

inline constexpr const InstructionInfo (&kInstructions)[kOpcodeIndices] = instruction_table::kRows;
static_assert(std::size(instruction_table::kRows) == kOpcodeIndices, "one row per opcode index");

// The listing writes the stm forms at b0 0x78-0x7F with b1 bit 7 clear as "stlm" when b2 bit 3
// is set, a bit execution ignores; the assembler writes that name with the bit set.
inline constexpr std::string_view kStlmMnemonic = "stlm";
constexpr bool IsStlm(int index, uint8_t b2) {
    return (index & 0xFFE2) == 0x1E0 && (b2 & 0x08) != 0;
}

namespace instruction_table {
constexpr bool LengthsAgree() {
    for (const InstructionInfo& r : kRows)
        if (r.Length != FormatLength(r.Format)) return false;
    return true;
}
// Every row of a mnemonic that the assembler writes names the same form, so that the mnemonic
// alone chooses the syntax.
constexpr bool OneFormPerMnemonic() {
    std::array<InstructionInfo, kOpcodeIndices> rows{};
    int n = 0;
    for (const InstructionInfo& r : kRows)
        if (r.Form != Unwritable) rows[n++] = r;
    std::sort(
        rows.begin(), rows.begin() + n,
        [](const InstructionInfo& a, const InstructionInfo& b) { return a.Mnemonic < b.Mnemonic; });
    for (int i = 1; i < n; ++i)
        if (rows[i].Mnemonic == rows[i - 1].Mnemonic && rows[i].Form != rows[i - 1].Form)
            return false;
    return true;
}
constexpr bool StlmRowsAreStm() {
    for (int i = 0; i < kOpcodeIndices; ++i)
        if (IsStlm(i, 0x08) && (kRows[i].Mnemonic != "stm" || kRows[i].Form != StoreRun))
            return false;
    return true;
}
} // namespace instruction_table
static_assert(instruction_table::LengthsAgree(), "a row's length is its format's length");
static_assert(instruction_table::OneFormPerMnemonic(), "one assembler form per mnemonic");
static_assert(instruction_table::StlmRowsAreStm());
