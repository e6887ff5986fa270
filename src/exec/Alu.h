// The arithmetic and logic unit: byte primitives that every arithmetic, logic, shift, move and
// exchange instruction uses. They produce all flags in g_cpu.F and never charge cycles.
//
// One signature serves the three shapes:
//   two-operand  op(d, s, 0): reads *d and *s, writes *d (exchanges also write *s);
//   one-operand  op(d, unused, 0);
//   chained      op(d, unused, k): k is the incoming value, the result the outgoing one.
// Flag contract with the handlers: before the first call of an instruction the handler presets
// F (to 0x10, or keeping C); an operation never sets Z, only the result evaluation clears it, so
// Z after a run is 1 exactly when every result byte was zero.
#pragma once

#include <cstdint>

using AluFn = uint8_t (*)(uint8_t* d, uint8_t* s, uint8_t k);

// Arithmetic and logic.
uint8_t AluAd(uint8_t* d, uint8_t* s, uint8_t k);  // binary add with carry
uint8_t AluSb(uint8_t* d, uint8_t* s, uint8_t k);  // binary subtract with borrow
uint8_t AluAdb(uint8_t* d, uint8_t* s, uint8_t k); // decimal add with carry
uint8_t AluSbb(uint8_t* d, uint8_t* s, uint8_t k); // decimal subtract with borrow
uint8_t AluAn(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluBit(uint8_t* d, uint8_t* s, uint8_t k); // (NOT d) AND s, test forms only
uint8_t AluXr(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluOr(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluNa(uint8_t* d, uint8_t* s, uint8_t k);

// One-operand.
uint8_t AluRod(uint8_t* d, uint8_t* s, uint8_t k);  // rotate right through carry
uint8_t AluRou(uint8_t* d, uint8_t* s, uint8_t k);  // rotate left through carry (also biu)
uint8_t AluMtb(uint8_t* d, uint8_t* s, uint8_t k);  // decimal doubling
uint8_t AluCmp(uint8_t* d, uint8_t* s, uint8_t k);  // binary complement: 0 - d - C
uint8_t AluCmpb(uint8_t* d, uint8_t* s, uint8_t k); // decimal complement

// Chained digit and byte shifts.
uint8_t AluDiu(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluDid(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluByu(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluByd(uint8_t* d, uint8_t* s, uint8_t k);

// Moves and exchanges: no flag is read or changed.
uint8_t AluLd(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluLdh(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluLdl(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluLds(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluLdhs(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluLdls(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluXc(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluXch(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluXcl(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluXcs(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluXcls(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluXchs(uint8_t* d, uint8_t* s, uint8_t k);
uint8_t AluSwp1(uint8_t* d, uint8_t* s, uint8_t k); // swap the digits of d
uint8_t AluSwp2(uint8_t* d, uint8_t* s, uint8_t k); // swap the digits of d and of s
