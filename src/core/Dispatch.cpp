// The dispatch table: one (handler, argument) pair per opcode index. Below b0 0xA0 each
// opcode byte owns four indices, one per value of b1 bits 7-6 (columns 00, 01, 10, 11); from
// 0xA0 up the index is b0 + 480. The ALU operation and its flag preset are template arguments
// of the handler, so the operation compiles into it; the run-time argument names the special
// register of pst, gst, pla and ijmp.
#include "core/Fetch.h"
#include "exec/Handlers.h"
#include "exec/MemoryPointer.h"
#include "exec/RegisterByte.h"
#include "exec/RegisterRun.h"
#include "exec/SingleRegister.h"

#include <iterator>

namespace {
struct DispatchEntry {
    Handler handler;
    OpArg arg = {};
};

constexpr Preset kNo = Preset::None;
constexpr Preset kClr = Preset::Clear;
constexpr Preset kKc = Preset::KeepCarry;

// clang-format off
constexpr DispatchEntry kDispatch[] = {
    /* b0 0x00 */ {PairTestLo<AluNa, kClr>}, {PairTestUp<AluNa, kClr>}, {PairLo<AluNa, kClr>}, {PairUp<AluNa, kClr>},
    /* b0 0x01 */ {PairTestLo<AluXr, kClr>}, {PairTestUp<AluXr, kClr>}, {PairLo<AluXr, kClr>}, {PairUp<AluXr, kClr>},
    /* b0 0x02 */ {PairTestLo<AluSbb, kClr>}, {PairTestUp<AluSbb, kClr>}, {PairLo<AluSbb, kClr>}, {PairUp<AluSbb, kClr>},
    /* b0 0x03 */ {PairTestLo<AluSb, kClr>}, {PairTestUp<AluSb, kClr>}, {PairLo<AluSb, kClr>}, {PairUp<AluSb, kClr>},
    /* b0 0x04 */ {PairTestLo<AluAn, kClr>}, {PairTestUp<AluAn, kClr>}, {PairLo<AluAn, kClr>}, {PairUp<AluAn, kClr>},
    /* b0 0x05 */ {PairTestLo<AluOr, kClr>}, {PairTestUp<AluOr, kClr>}, {PairLo<AluOr, kClr>}, {PairUp<AluOr, kClr>},
    /* b0 0x06 */ {PairTestLo<AluAdb, kClr>}, {PairTestUp<AluAdb, kClr>}, {PairLo<AluAdb, kClr>}, {PairUp<AluAdb, kClr>},
    /* b0 0x07 */ {PairTestLo<AluAd, kClr>}, {PairTestUp<AluAd, kClr>}, {PairLo<AluAd, kClr>}, {PairUp<AluAd, kClr>},
    /* b0 0x08 */ {RegImmTest<AluNa, kClr>}, {RegImmTest<AluNa, kClr>}, {RegImm<AluNa, kClr>}, {RegImm<AluNa, kClr>},
    /* b0 0x09 */ {RegImmTest<AluXr, kClr>}, {RegImmTest<AluXr, kClr>}, {RegImm<AluXr, kClr>}, {RegImm<AluXr, kClr>},
    /* b0 0x0A */ {RegImmTest<AluSbb, kClr>}, {RegImmTest<AluSbb, kClr>}, {RegImm<AluSbb, kClr>}, {RegImm<AluSbb, kClr>},
    /* b0 0x0B */ {RegImmTest<AluSb, kClr>}, {RegImmTest<AluSb, kClr>}, {RegImm<AluSb, kClr>}, {RegImm<AluSb, kClr>},
    /* b0 0x0C */ {RegImmTest<AluAn, kClr>}, {RegImmTest<AluAn, kClr>}, {RegImm<AluAn, kClr>}, {RegImm<AluAn, kClr>},
    /* b0 0x0D */ {RegImmTest<AluOr, kClr>}, {RegImmTest<AluOr, kClr>}, {RegImm<AluOr, kClr>}, {RegImm<AluOr, kClr>},
    /* b0 0x0E */ {RegImmTest<AluAdb, kClr>}, {RegImmTest<AluAdb, kClr>}, {RegImm<AluAdb, kClr>}, {RegImm<AluAdb, kClr>},
    /* b0 0x0F */ {RegImmTest<AluAd, kClr>}, {RegImmTest<AluAd, kClr>}, {RegImm<AluAd, kClr>}, {RegImm<AluAd, kClr>},
    /* b0 0x10 */ {RunPairTestLo<AluNa, kClr>}, {RunPairTestUp<AluNa, kClr>}, {RunPairLo<AluNa, kClr>}, {RunPairUp<AluNa, kClr>},
    /* b0 0x11 */ {RunPairTestLo<AluXr, kClr>}, {RunPairTestUp<AluXr, kClr>}, {RunPairLo<AluXr, kClr>}, {RunPairUp<AluXr, kClr>},
    /* b0 0x12 */ {RunPairTestLo<AluSbb, kClr>}, {RunPairTestUp<AluSbb, kClr>}, {RunPairLo<AluSbb, kClr>}, {RunPairUp<AluSbb, kClr>},
    /* b0 0x13 */ {RunPairTestLo<AluSb, kClr>}, {RunPairTestUp<AluSb, kClr>}, {RunPairLo<AluSb, kClr>}, {RunPairUp<AluSb, kClr>},
    /* b0 0x14 */ {RunPairTestLo<AluAn, kClr>}, {RunPairTestUp<AluAn, kClr>}, {RunPairLo<AluAn, kClr>}, {RunPairUp<AluAn, kClr>},
    /* b0 0x15 */ {RunPairTestLo<AluOr, kClr>}, {RunPairTestUp<AluOr, kClr>}, {RunPairLo<AluOr, kClr>}, {RunPairUp<AluOr, kClr>},
    /* b0 0x16 */ {RunPairTestLo<AluAdb, kClr>}, {RunPairTestUp<AluAdb, kClr>}, {RunPairLo<AluAdb, kClr>}, {RunPairUp<AluAdb, kClr>},
    /* b0 0x17 */ {RunPairTestLo<AluAd, kClr>}, {RunPairTestUp<AluAd, kClr>}, {RunPairLo<AluAd, kClr>}, {RunPairUp<AluAd, kClr>},
    /* b0 0x18 */ {LoadPair, {SpecialReg::LA}}, {LoadPair, {SpecialReg::LA}}, {LoadPair, {SpecialReg::PC}}, {LoadPair, {SpecialReg::PC}},
    /* b0 0x19 */ {PairTestLo<AluBit, kKc>}, {PairTestUp<AluBit, kKc>}, {RegImmTest<AluBit, kKc>}, {RegImmTest<AluBit, kKc>},
    /* b0 0x1A */ {RunImmTest<AluSbb, kClr>}, {RunImmTest<AluSbb, kClr>}, {RunImm<AluSbb, kClr>}, {RunImm<AluSbb, kClr>},
    /* b0 0x1B */ {RunImmTest<AluSb, kClr>}, {RunImmTest<AluSb, kClr>}, {RunImm<AluSb, kClr>}, {RunImm<AluSb, kClr>},
    /* b0 0x1C */ {BlockSearch}, {BlockSearch}, {BlockSearch}, {BlockSearch},
    /* b0 0x1D */ {BlockSearch}, {BlockSearch}, {BlockSearch}, {BlockSearch},
    /* b0 0x1E */ {RunImmTest<AluAdb, kClr>}, {RunImmTest<AluAdb, kClr>}, {RunImm<AluAdb, kClr>}, {RunImm<AluAdb, kClr>},
    /* b0 0x1F */ {RunImmTest<AluAd, kClr>}, {RunImmTest<AluAd, kClr>}, {RunImm<AluAd, kClr>}, {RunImm<AluAd, kClr>},
    /* b0 0x20 */ {TwinImmLoad}, {TwinImmLoad}, {RegImm<AluLd, kNo>}, {RegImm<AluLd, kNo>},
    /* b0 0x21 */ {PairLo<AluXc, kNo>}, {PairUp<AluXc, kNo>}, {PairLo<AluLd, kNo>}, {PairUp<AluLd, kNo>},
    /* b0 0x22 */ {PairTestLo<AluSbb, kKc>}, {PairTestUp<AluSbb, kKc>}, {PairLo<AluSbb, kKc>}, {PairUp<AluSbb, kKc>},
    /* b0 0x23 */ {PairTestLo<AluSb, kKc>}, {PairTestUp<AluSb, kKc>}, {PairLo<AluSb, kKc>}, {PairUp<AluSb, kKc>},
    /* b0 0x24 */ {PairLo<AluSwp2, kNo>}, {PairUp<AluSwp2, kNo>}, {PairLo<AluSwp1, kNo>}, {PairUp<AluSwp1, kNo>},
    /* b0 0x25 */ {PairLo<AluXcs, kNo>}, {PairUp<AluXcs, kNo>}, {PairLo<AluLds, kNo>}, {PairUp<AluLds, kNo>},
    /* b0 0x26 */ {PairTestLo<AluAdb, kKc>}, {PairTestUp<AluAdb, kKc>}, {PairLo<AluAdb, kKc>}, {PairUp<AluAdb, kKc>},
    /* b0 0x27 */ {PairTestLo<AluAd, kKc>}, {PairTestUp<AluAd, kKc>}, {PairLo<AluAd, kKc>}, {PairUp<AluAd, kKc>},
    /* b0 0x28 */ {PairLo<AluXcl, kNo>}, {PairUp<AluXch, kNo>}, {PairLo<AluLdl, kNo>}, {PairUp<AluLdh, kNo>},
    /* b0 0x29 */ {PairLo<AluXchs, kNo>}, {PairUp<AluXcls, kNo>}, {PairLo<AluLdhs, kNo>}, {PairUp<AluLdls, kNo>},
    /* b0 0x2A */ {RegImmTest<AluSbb, kKc>}, {RegImmTest<AluSbb, kKc>}, {RegImm<AluSbb, kKc>}, {RegImm<AluSbb, kKc>},
    /* b0 0x2B */ {RegImmTest<AluSb, kKc>}, {RegImmTest<AluSb, kKc>}, {RegImm<AluSb, kKc>}, {RegImm<AluSb, kKc>},
    /* b0 0x2C */ {PairLo<AluXcls, kNo>}, {PairUp<AluXchs, kNo>}, {PairLo<AluLdls, kNo>}, {PairUp<AluLdhs, kNo>},
    /* b0 0x2D */ {PairLo<AluXch, kNo>}, {PairUp<AluXcl, kNo>}, {PairLo<AluLdh, kNo>}, {PairUp<AluLdl, kNo>},
    /* b0 0x2E */ {RegImmTest<AluAdb, kKc>}, {RegImmTest<AluAdb, kKc>}, {RegImm<AluAdb, kKc>}, {RegImm<AluAdb, kKc>},
    /* b0 0x2F */ {RegImmTest<AluAd, kKc>}, {RegImmTest<AluAd, kKc>}, {RegImm<AluAd, kKc>}, {RegImm<AluAd, kKc>},
    /* b0 0x30 */ {NoOperation}, {NoOperation}, {RunImm<AluLd, kNo>}, {RunImm<AluLd, kNo>},
    /* b0 0x31 */ {RunPairLo<AluXc, kNo>}, {RunPairUp<AluXc, kNo>}, {RunPairLo<AluLd, kNo>}, {RunPairUp<AluLd, kNo>},
    /* b0 0x32 */ {RunPairTestLo<AluSbb, kKc>}, {RunPairTestUp<AluSbb, kKc>}, {RunPairLo<AluSbb, kKc>}, {RunPairUp<AluSbb, kKc>},
    /* b0 0x33 */ {RunPairTestLo<AluSb, kKc>}, {RunPairTestUp<AluSb, kKc>}, {RunPairLo<AluSb, kKc>}, {RunPairUp<AluSb, kKc>},
    /* b0 0x34 */ {RunPairLo<AluSwp2, kNo>}, {RunPairUp<AluSwp2, kNo>}, {RunPairLo<AluSwp1, kNo>}, {RunPairUp<AluSwp1, kNo>},
    /* b0 0x35 */ {RunPairLo<AluXcs, kNo>}, {RunPairUp<AluXcs, kNo>}, {RunPairLo<AluLds, kNo>}, {RunPairUp<AluLds, kNo>},
    /* b0 0x36 */ {RunPairTestLo<AluAdb, kKc>}, {RunPairTestUp<AluAdb, kKc>}, {RunPairLo<AluAdb, kKc>}, {RunPairUp<AluAdb, kKc>},
    /* b0 0x37 */ {RunPairTestLo<AluAd, kKc>}, {RunPairTestUp<AluAd, kKc>}, {RunPairLo<AluAd, kKc>}, {RunPairUp<AluAd, kKc>},
    /* b0 0x38 */ {RunPairLo<AluXcl, kNo>}, {RunPairUp<AluXch, kNo>}, {RunPairLo<AluLdl, kNo>}, {RunPairUp<AluLdh, kNo>},
    /* b0 0x39 */ {RunPairLo<AluXchs, kNo>}, {RunPairUp<AluXcls, kNo>}, {RunPairLo<AluLdhs, kNo>}, {RunPairUp<AluLdls, kNo>},
    /* b0 0x3A */ {RunImmTest<AluSbb, kKc>}, {RunImmTest<AluSbb, kKc>}, {RunImm<AluSbb, kKc>}, {RunImm<AluSbb, kKc>},
    /* b0 0x3B */ {RunImmTest<AluSb, kKc>}, {RunImmTest<AluSb, kKc>}, {RunImm<AluSb, kKc>}, {RunImm<AluSb, kKc>},
    /* b0 0x3C */ {RunPairLo<AluXcls, kNo>}, {RunPairUp<AluXchs, kNo>}, {RunPairLo<AluLdls, kNo>}, {RunPairUp<AluLdhs, kNo>},
    /* b0 0x3D */ {RunPairLo<AluXch, kNo>}, {RunPairUp<AluXcl, kNo>}, {RunPairLo<AluLdh, kNo>}, {RunPairUp<AluLdl, kNo>},
    /* b0 0x3E */ {RunImmTest<AluAdb, kKc>}, {RunImmTest<AluAdb, kKc>}, {RunImm<AluAdb, kKc>}, {RunImm<AluAdb, kKc>},
    /* b0 0x3F */ {RunImmTest<AluAd, kKc>}, {RunImmTest<AluAd, kKc>}, {RunImm<AluAd, kKc>}, {RunImm<AluAd, kKc>},
    /* b0 0x40 */ {MemRegTest<AluNa, kClr, 0>}, {MemRegTest<AluNa, kClr, 0>}, {MemReg<AluNa, kClr, 0>}, {MemReg<AluNa, kClr, 0>},
    /* b0 0x41 */ {MemRegTest<AluXr, kClr, 0>}, {MemRegTest<AluXr, kClr, 0>}, {MemReg<AluXr, kClr, 0>}, {MemReg<AluXr, kClr, 0>},
    /* b0 0x42 */ {MemRegTest<AluSbb, kClr, 0>}, {MemRegTest<AluSbb, kClr, 0>}, {MemReg<AluSbb, kClr, 0>}, {MemReg<AluSbb, kClr, 0>},
    /* b0 0x43 */ {MemRegTest<AluSb, kClr, 0>}, {MemRegTest<AluSb, kClr, 0>}, {MemReg<AluSb, kClr, 0>}, {MemReg<AluSb, kClr, 0>},
    /* b0 0x44 */ {MemRegTest<AluAn, kClr, 0>}, {MemRegTest<AluAn, kClr, 0>}, {MemReg<AluAn, kClr, 0>}, {MemReg<AluAn, kClr, 0>},
    /* b0 0x45 */ {MemRegTest<AluOr, kClr, 0>}, {MemRegTest<AluOr, kClr, 0>}, {MemReg<AluOr, kClr, 0>}, {MemReg<AluOr, kClr, 0>},
    /* b0 0x46 */ {MemRegTest<AluAdb, kClr, 0>}, {MemRegTest<AluAdb, kClr, 0>}, {MemReg<AluAdb, kClr, 0>}, {MemReg<AluAdb, kClr, 0>},
    /* b0 0x47 */ {MemRegTest<AluAd, kClr, 0>}, {MemRegTest<AluAd, kClr, 0>}, {MemReg<AluAd, kClr, 0>}, {MemReg<AluAd, kClr, 0>},
    /* b0 0x48 */ {MemImm<AluNa, kClr, 0>}, {MemImm<AluNa, kClr, 0>}, {MemImm<AluNa, kClr, 0>}, {MemImm<AluNa, kClr, 0>},
    /* b0 0x49 */ {MemImm<AluXr, kClr, 0>}, {MemImm<AluXr, kClr, 0>}, {MemImm<AluXr, kClr, 0>}, {MemImm<AluXr, kClr, 0>},
    /* b0 0x4A */ {MemImm<AluSbb, kClr, 0>}, {MemImm<AluSbb, kClr, 0>}, {MemImm<AluSbb, kClr, 0>}, {MemImm<AluSbb, kClr, 0>},
    /* b0 0x4B */ {MemImm<AluSb, kClr, 0>}, {MemImm<AluSb, kClr, 0>}, {MemImm<AluSb, kClr, 0>}, {MemImm<AluSb, kClr, 0>},
    /* b0 0x4C */ {MemImm<AluAn, kClr, 0>}, {MemImm<AluAn, kClr, 0>}, {MemImm<AluAn, kClr, 0>}, {MemImm<AluAn, kClr, 0>},
    /* b0 0x4D */ {MemImm<AluOr, kClr, 0>}, {MemImm<AluOr, kClr, 0>}, {MemImm<AluOr, kClr, 0>}, {MemImm<AluOr, kClr, 0>},
    /* b0 0x4E */ {MemImm<AluAdb, kClr, 0>}, {MemImm<AluAdb, kClr, 0>}, {MemImm<AluAdb, kClr, 0>}, {MemImm<AluAdb, kClr, 0>},
    /* b0 0x4F */ {MemImm<AluAd, kClr, 0>}, {MemImm<AluAd, kClr, 0>}, {MemImm<AluAd, kClr, 0>}, {MemImm<AluAd, kClr, 0>},
    /* b0 0x50 */ {MemRegTest<AluNa, kClr, 1>}, {MemRegTest<AluNa, kClr, 1>}, {MemReg<AluNa, kClr, 1>}, {MemReg<AluNa, kClr, 1>},
    /* b0 0x51 */ {MemRegTest<AluXr, kClr, 1>}, {MemRegTest<AluXr, kClr, 1>}, {MemReg<AluXr, kClr, 1>}, {MemReg<AluXr, kClr, 1>},
    /* b0 0x52 */ {MemRegTest<AluSbb, kClr, 1>}, {MemRegTest<AluSbb, kClr, 1>}, {MemReg<AluSbb, kClr, 1>}, {MemReg<AluSbb, kClr, 1>},
    /* b0 0x53 */ {MemRegTest<AluSb, kClr, 1>}, {MemRegTest<AluSb, kClr, 1>}, {MemReg<AluSb, kClr, 1>}, {MemReg<AluSb, kClr, 1>},
    /* b0 0x54 */ {MemRegTest<AluAn, kClr, 1>}, {MemRegTest<AluAn, kClr, 1>}, {MemReg<AluAn, kClr, 1>}, {MemReg<AluAn, kClr, 1>},
    /* b0 0x55 */ {MemRegTest<AluOr, kClr, 1>}, {MemRegTest<AluOr, kClr, 1>}, {MemReg<AluOr, kClr, 1>}, {MemReg<AluOr, kClr, 1>},
    /* b0 0x56 */ {MemRegTest<AluAdb, kClr, 1>}, {MemRegTest<AluAdb, kClr, 1>}, {MemReg<AluAdb, kClr, 1>}, {MemReg<AluAdb, kClr, 1>},
    /* b0 0x57 */ {MemRegTest<AluAd, kClr, 1>}, {MemRegTest<AluAd, kClr, 1>}, {MemReg<AluAd, kClr, 1>}, {MemReg<AluAd, kClr, 1>},
    /* b0 0x58 */ {MemImm<AluNa, kClr, 1>}, {MemImm<AluNa, kClr, 1>}, {MemImm<AluNa, kClr, 1>}, {MemImm<AluNa, kClr, 1>},
    /* b0 0x59 */ {MemImm<AluXr, kClr, 1>}, {MemImm<AluXr, kClr, 1>}, {MemImm<AluXr, kClr, 1>}, {MemImm<AluXr, kClr, 1>},
    /* b0 0x5A */ {MemImm<AluSbb, kClr, 1>}, {MemImm<AluSbb, kClr, 1>}, {MemImm<AluSbb, kClr, 1>}, {MemImm<AluSbb, kClr, 1>},
    /* b0 0x5B */ {MemImm<AluSb, kClr, 1>}, {MemImm<AluSb, kClr, 1>}, {MemImm<AluSb, kClr, 1>}, {MemImm<AluSb, kClr, 1>},
    /* b0 0x5C */ {MemImm<AluAn, kClr, 1>}, {MemImm<AluAn, kClr, 1>}, {MemImm<AluAn, kClr, 1>}, {MemImm<AluAn, kClr, 1>},
    /* b0 0x5D */ {MemImm<AluOr, kClr, 1>}, {MemImm<AluOr, kClr, 1>}, {MemImm<AluOr, kClr, 1>}, {MemImm<AluOr, kClr, 1>},
    /* b0 0x5E */ {MemImm<AluAdb, kClr, 1>}, {MemImm<AluAdb, kClr, 1>}, {MemImm<AluAdb, kClr, 1>}, {MemImm<AluAdb, kClr, 1>},
    /* b0 0x5F */ {MemImm<AluAd, kClr, 1>}, {MemImm<AluAd, kClr, 1>}, {MemImm<AluAd, kClr, 1>}, {MemImm<AluAd, kClr, 1>},
    /* b0 0x60 */ {Single<AluRod, kKc>}, {Single<AluRod, kKc>}, {Single<AluRou, kKc>}, {Single<AluRou, kKc>},
    /* b0 0x61 */ {Single<AluDid, kClr>}, {Single<AluDid, kClr>}, {Single<AluDiu, kClr>}, {Single<AluDiu, kClr>},
    /* b0 0x62 */ {SingleTest<AluCmpb>}, {SingleTest<AluCmpb>}, {Single<AluCmpb, kClr>}, {Single<AluCmpb, kClr>},
    /* b0 0x63 */ {SingleTest<AluCmp>}, {SingleTest<AluCmp>}, {Single<AluCmp, kClr>}, {Single<AluCmp, kClr>},
    /* b0 0x64 */ {Single<AluByd, kClr>}, {Single<AluByd, kClr>}, {Single<AluByu, kClr>}, {Single<AluByu, kClr>},
    /* b0 0x65 */ {Single<AluByd, kClr>}, {Single<AluByd, kClr>}, {Single<AluByu, kClr>}, {Single<AluByu, kClr>},
    /* b0 0x66 */ {SingleTest<AluMtb>}, {SingleTest<AluMtb>}, {Single<AluMtb, kClr>}, {Single<AluMtb, kClr>},
    /* b0 0x67 */ {SingleTest<AluRou>}, {SingleTest<AluRou>}, {Single<AluRou, kClr>}, {Single<AluRou, kClr>},
    /* b0 0x68 */ {StoreByte<0x68>}, {StoreByte<0x68>}, {LoadByte<0x68>}, {LoadByte<0x68>},
    /* b0 0x69 */ {StoreByte<0x69>}, {StoreByte<0x69>}, {LoadByte<0x69>}, {LoadByte<0x69>},
    /* b0 0x6A */ {StoreByte<0x6A>}, {StoreByte<0x6A>}, {LoadByte<0x6A>}, {LoadByte<0x6A>},
    /* b0 0x6B */ {StoreByte<0x6B>}, {StoreByte<0x6B>}, {LoadByte<0x6B>}, {LoadByte<0x6B>},
    /* b0 0x6C */ {StoreByte<0x6C>}, {StoreByte<0x6C>}, {LoadByte<0x6C>}, {LoadByte<0x6C>},
    /* b0 0x6D */ {StoreByte<0x6D>}, {StoreByte<0x6D>}, {LoadByte<0x6D>}, {LoadByte<0x6D>},
    /* b0 0x6E */ {StoreByte<0x6E>}, {StoreByte<0x6E>}, {LoadByte<0x6E>}, {LoadByte<0x6E>},
    /* b0 0x6F */ {StoreByte<0x6F>}, {StoreByte<0x6F>}, {LoadByte<0x6F>}, {LoadByte<0x6F>},
    /* b0 0x70 */ {SingleRunLo<AluRod, kKc>}, {SingleRunUp<AluRod, kKc>}, {SingleRunLo<AluRou, kKc>}, {SingleRunUp<AluRou, kKc>},
    /* b0 0x71 */ {SingleRunLo<AluDid, kClr>}, {SingleRunUp<AluDid, kClr>}, {SingleRunLo<AluDiu, kClr>}, {SingleRunUp<AluDiu, kClr>},
    /* b0 0x72 */ {SingleRunTestLo<AluCmpb, kClr>}, {SingleRunTestUp<AluCmpb, kClr>}, {SingleRunLo<AluCmpb, kClr>}, {SingleRunUp<AluCmpb, kClr>},
    /* b0 0x73 */ {SingleRunTestLo<AluCmp, kClr>}, {SingleRunTestUp<AluCmp, kClr>}, {SingleRunLo<AluCmp, kClr>}, {SingleRunUp<AluCmp, kClr>},
    /* b0 0x74 */ {SingleRunLo<AluByd, kClr>}, {SingleRunUp<AluByd, kClr>}, {SingleRunLo<AluByu, kClr>}, {SingleRunUp<AluByu, kClr>},
    /* b0 0x75 */ {SingleRunLo<AluByd, kClr>}, {SingleRunUp<AluByd, kClr>}, {SingleRunLo<AluByu, kClr>}, {SingleRunUp<AluByu, kClr>},
    /* b0 0x76 */ {SingleRunTestLo<AluMtb, kClr>}, {SingleRunTestUp<AluMtb, kClr>}, {SingleRunLo<AluMtb, kClr>}, {SingleRunUp<AluMtb, kClr>},
    /* b0 0x77 */ {SingleRunTestLo<AluRou, kClr>}, {SingleRunTestUp<AluRou, kClr>}, {SingleRunLo<AluRou, kClr>}, {SingleRunUp<AluRou, kClr>},
    /* b0 0x78 */ {TransferRunStep<0x78, 0>}, {TransferRunStep<0x78, 1>}, {TransferRunStep<0x78, 2>}, {TransferRunStep<0x78, 3>},
    /* b0 0x79 */ {TransferRunStep<0x79, 0>}, {TransferRunStep<0x79, 1>}, {TransferRunStep<0x79, 2>}, {TransferRunStep<0x79, 3>},
    /* b0 0x7A */ {TransferRunStep<0x7A, 0>}, {TransferRunStep<0x7A, 1>}, {TransferRunStep<0x7A, 2>}, {TransferRunStep<0x7A, 3>},
    /* b0 0x7B */ {TransferRunStep<0x7B, 0>}, {TransferRunStep<0x7B, 1>}, {TransferRunStep<0x7B, 2>}, {TransferRunStep<0x7B, 3>},
    /* b0 0x7C */ {TransferRunStep<0x7C, 0>}, {TransferRunStep<0x7C, 1>}, {TransferRunStep<0x7C, 2>}, {TransferRunStep<0x7C, 3>},
    /* b0 0x7D */ {TransferRunStep<0x7D, 0>}, {TransferRunStep<0x7D, 1>}, {TransferRunStep<0x7D, 2>}, {TransferRunStep<0x7D, 3>},
    /* b0 0x7E */ {TransferRunStep<0x7E, 0>}, {TransferRunStep<0x7E, 1>}, {TransferRunStep<0x7E, 2>}, {TransferRunStep<0x7E, 3>},
    /* b0 0x7F */ {TransferRunStep<0x7F, 0>}, {TransferRunStep<0x7F, 1>}, {TransferRunStep<0x7F, 2>}, {TransferRunStep<0x7F, 3>},
    /* b0 0x80 */ {StoreByte<0x80>}, {StoreByte<0x80>}, {LoadByte<0x80>}, {LoadByte<0x80>},
    /* b0 0x81 */ {StoreByte<0x81>}, {StoreByte<0x81>}, {LoadByte<0x81>}, {LoadByte<0x81>},
    /* b0 0x82 */ {StoreByte<0x82>}, {StoreByte<0x82>}, {LoadByte<0x82>}, {LoadByte<0x82>},
    /* b0 0x83 */ {StoreByte<0x83>}, {StoreByte<0x83>}, {LoadByte<0x83>}, {LoadByte<0x83>},
    /* b0 0x84 */ {StoreByte<0x84>}, {StoreByte<0x84>}, {LoadByte<0x84>}, {LoadByte<0x84>},
    /* b0 0x85 */ {StoreByte<0x85>}, {StoreByte<0x85>}, {LoadByte<0x85>}, {LoadByte<0x85>},
    /* b0 0x86 */ {StoreByte<0x86>}, {StoreByte<0x86>}, {LoadByte<0x86>}, {LoadByte<0x86>},
    /* b0 0x87 */ {StoreByte<0x87>}, {StoreByte<0x87>}, {LoadByte<0x87>}, {LoadByte<0x87>},
    /* b0 0x88 */ {PutSpecialImm, {SpecialReg::IE}}, {PutSpecialImm, {SpecialReg::IE}}, {PutSpecialImm, {SpecialReg::IE}}, {PutSpecialImm, {SpecialReg::IE}},
    /* b0 0x89 */ {PutSpecialImm, {SpecialReg::DS}}, {PutSpecialImm, {SpecialReg::DS}}, {PutSpecialImm, {SpecialReg::DS}}, {PutSpecialImm, {SpecialReg::DS}},
    /* b0 0x8A */ {PutSpecialImm, {SpecialReg::KC}}, {PutSpecialImm, {SpecialReg::KC}}, {PutSpecialImm, {SpecialReg::KC}}, {PutSpecialImm, {SpecialReg::KC}},
    /* b0 0x8B */ {PutSpecialImm, {SpecialReg::PD}}, {PutSpecialImm, {SpecialReg::PD}}, {PutSpecialImm, {SpecialReg::PD}}, {PutSpecialImm, {SpecialReg::PD}},
    /* b0 0x8C */ {PutSpecialImm7, {SpecialReg::S4, SpecialReg::S8}}, {PutSpecialImm7, {SpecialReg::S4, SpecialReg::S8}}, {PutSpecialImm7, {SpecialReg::S4, SpecialReg::S8}}, {PutSpecialImm7, {SpecialReg::S4, SpecialReg::S8}},
    /* b0 0x8D */ {PutSpecialImm7, {SpecialReg::S5, SpecialReg::AS}}, {PutSpecialImm7, {SpecialReg::S5, SpecialReg::AS}}, {PutSpecialImm7, {SpecialReg::S5, SpecialReg::AS}}, {PutSpecialImm7, {SpecialReg::S5, SpecialReg::AS}},
    /* b0 0x8E */ {PutSpecialImm7, {SpecialReg::S6, SpecialReg::TM}}, {PutSpecialImm7, {SpecialReg::S6, SpecialReg::TM}}, {PutSpecialImm7, {SpecialReg::S6, SpecialReg::TM}}, {PutSpecialImm7, {SpecialReg::S6, SpecialReg::TM}},
    /* b0 0x8F */ {PutSpecialImm7, {SpecialReg::S7, SpecialReg::PE}}, {PutSpecialImm7, {SpecialReg::S7, SpecialReg::PE}}, {PutSpecialImm7, {SpecialReg::S7, SpecialReg::PE}}, {PutSpecialImm7, {SpecialReg::S7, SpecialReg::PE}},
    /* b0 0x90 */ {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced},
    /* b0 0x91 */ {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced},
    /* b0 0x92 */ {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced},
    /* b0 0x93 */ {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced},
    /* b0 0x94 */ {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced},
    /* b0 0x95 */ {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced},
    /* b0 0x96 */ {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced},
    /* b0 0x97 */ {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced}, {TransferRunDisplaced},
    /* b0 0x98 */ {PutSpecialReg, {SpecialReg::IE}}, {PutSpecialReg, {SpecialReg::IE}}, {GetSpecialReg, {SpecialReg::IE}}, {GetSpecialReg, {SpecialReg::IE}},
    /* b0 0x99 */ {PutSpecialReg, {SpecialReg::DS}}, {PutSpecialReg, {SpecialReg::DS}}, {GetSpecialReg, {SpecialReg::DS}}, {GetSpecialReg, {SpecialReg::DS}},
    /* b0 0x9A */ {PutSpecialReg, {SpecialReg::KC}}, {PutSpecialReg, {SpecialReg::KC}}, {GetSpecialReg, {SpecialReg::KI}}, {GetSpecialReg, {SpecialReg::KI}},
    /* b0 0x9B */ {PutSpecialReg, {SpecialReg::PD}}, {PutSpecialReg, {SpecialReg::PD}}, {GetSpecialReg, {SpecialReg::PD}}, {GetSpecialReg, {SpecialReg::PD}},
    /* b0 0x9C */ {PutSpecialReg, {SpecialReg::F}}, {PutSpecialReg, {SpecialReg::F}}, {GetSpecialReg, {SpecialReg::F}}, {GetSpecialReg, {SpecialReg::F}},
    /* b0 0x9D */ {PutSpecialReg, {SpecialReg::AS}}, {PutSpecialReg, {SpecialReg::AS}}, {GetSpecialReg, {SpecialReg::AS}}, {GetSpecialReg, {SpecialReg::AS}},
    /* b0 0x9E */ {BlockTransfer}, {BlockTransfer}, {BlockTransfer}, {BlockTransfer},
    /* b0 0x9F */ {BlockTransfer}, {BlockTransfer}, {BlockTransfer}, {BlockTransfer},
    /* b0 0xA0 */ {Jump<0xA0>},
    /* b0 0xA1 */ {Jump<0xA1>},
    /* b0 0xA2 */ {Jump<0xA2>},
    /* b0 0xA3 */ {Jump<0xA3>},
    /* b0 0xA4 */ {Jump<0xA4>},
    /* b0 0xA5 */ {Jump<0xA5>},
    /* b0 0xA6 */ {Jump<0xA6>},
    /* b0 0xA7 */ {Jump<0xA7>},
    /* b0 0xA8 */ {Jump<0xA8>},
    /* b0 0xA9 */ {Jump<0xA9>},
    /* b0 0xAA */ {Jump<0xAA>},
    /* b0 0xAB */ {Jump<0xAB>},
    /* b0 0xAC */ {Jump<0xAC>},
    /* b0 0xAD */ {Jump<0xAD>},
    /* b0 0xAE */ {Jump<0xAE>},
    /* b0 0xAF */ {PowerOff},
    /* b0 0xB0 */ {Call<0xB0>},
    /* b0 0xB1 */ {Call<0xB1>},
    /* b0 0xB2 */ {Call<0xB2>},
    /* b0 0xB3 */ {Call<0xB3>},
    /* b0 0xB4 */ {Call<0xB4>},
    /* b0 0xB5 */ {Call<0xB5>},
    /* b0 0xB6 */ {Call<0xB6>},
    /* b0 0xB7 */ {Call<0xB7>},
    /* b0 0xB8 */ {Call<0xB8>},
    /* b0 0xB9 */ {Call<0xB9>},
    /* b0 0xBA */ {Call<0xBA>},
    /* b0 0xBB */ {Call<0xBB>},
    /* b0 0xBC */ {Call<0xBC>},
    /* b0 0xBD */ {Call<0xBD>},
    /* b0 0xBE */ {Call<0xBE>},
    /* b0 0xBF */ {Wait},
    /* b0 0xC0 */ {Return<0xC0>},
    /* b0 0xC1 */ {Return<0xC1>},
    /* b0 0xC2 */ {Return<0xC2>},
    /* b0 0xC3 */ {Return<0xC3>},
    /* b0 0xC4 */ {Return<0xC4>},
    /* b0 0xC5 */ {Return<0xC5>},
    /* b0 0xC6 */ {Return<0xC6>},
    /* b0 0xC7 */ {Return<0xC7>},
    /* b0 0xC8 */ {Return<0xC8>},
    /* b0 0xC9 */ {Return<0xC9>},
    /* b0 0xCA */ {Return<0xCA>},
    /* b0 0xCB */ {Return<0xCB>},
    /* b0 0xCC */ {Return<0xCC>},
    /* b0 0xCD */ {Return<0xCD>},
    /* b0 0xCE */ {Return<0xCE>},
    /* b0 0xCF */ {ReturnFromInterrupt},
    /* b0 0xD0 */ {LoadWord},
    /* b0 0xD1 */ {LoadWord},
    /* b0 0xD2 */ {LoadWord},
    /* b0 0xD3 */ {LoadWord},
    /* b0 0xD4 */ {LoadWord},
    /* b0 0xD5 */ {LoadWord},
    /* b0 0xD6 */ {LoadWord},
    /* b0 0xD7 */ {LoadWord},
    /* b0 0xD8 */ {SubWord<0xD8>},
    /* b0 0xD9 */ {SubWord<0xD9>},
    /* b0 0xDA */ {SubWord<0xDA>},
    /* b0 0xDB */ {SubWord<0xDB>},
    /* b0 0xDC */ {AddWord<0xDC>},
    /* b0 0xDD */ {AddWord<0xDD>},
    /* b0 0xDE */ {AddWord<0xDE>},
    /* b0 0xDF */ {AddWord<0xDF>},
    /* b0 0xE0 */ {ShortJump<0xE0>},
    /* b0 0xE1 */ {ShortJump<0xE1>},
    /* b0 0xE2 */ {ShortJump<0xE2>},
    /* b0 0xE3 */ {ShortJump<0xE3>},
    /* b0 0xE4 */ {ShortJump<0xE4>},
    /* b0 0xE5 */ {ShortJump<0xE5>},
    /* b0 0xE6 */ {ShortJump<0xE6>},
    /* b0 0xE7 */ {ShortJump<0xE7>},
    /* b0 0xE8 */ {ShortJump<0xE8>},
    /* b0 0xE9 */ {ShortJump<0xE9>},
    /* b0 0xEA */ {ShortJump<0xEA>},
    /* b0 0xEB */ {ShortJump<0xEB>},
    /* b0 0xEC */ {ShortJump<0xEC>},
    /* b0 0xED */ {ShortJump<0xED>},
    /* b0 0xEE */ {ShortJump<0xEE>},
    /* b0 0xEF */ {NoOperation},
    /* b0 0xF0 */ {ShortCall<0xF0>},
    /* b0 0xF1 */ {ShortCall<0xF1>},
    /* b0 0xF2 */ {ShortCall<0xF2>},
    /* b0 0xF3 */ {ShortCall<0xF3>},
    /* b0 0xF4 */ {ShortCall<0xF4>},
    /* b0 0xF5 */ {ShortCall<0xF5>},
    /* b0 0xF6 */ {ShortCall<0xF6>},
    /* b0 0xF7 */ {ShortCall<0xF7>},
    /* b0 0xF8 */ {ShortCall<0xF8>},
    /* b0 0xF9 */ {ShortCall<0xF9>},
    /* b0 0xFA */ {ShortCall<0xFA>},
    /* b0 0xFB */ {ShortCall<0xFB>},
    /* b0 0xFC */ {ShortCall<0xFC>},
    /* b0 0xFD */ {ShortCall<0xFD>},
    /* b0 0xFE */ {ShortCall<0xFE>},
    /* b0 0xFF */ {Trap},
};
// clang-format on
static_assert(std::size(kDispatch) == kOpcodeIndices, "one entry per opcode index");

// The registers of the pst and gst entries are the ones the special-register table gives their
// codes (the table the assembler and the disassembler name them by).
constexpr bool SpecialEntriesAgree() {
    const auto entry = [](int b0, int col) { return kDispatch[OpcodeIndex(b0, col << 6)]; };
    const auto named = [](SpecialCode kind, int code) {
        return kSpecialRegTable[SpecialRegByCode(kind, code)].Reg;
    };
    for (int col = 0; col < 4; ++col) {
        for (int code = 0; code < 4; ++code) {
            const DispatchEntry e = entry(0x88 + code, col);
            if (e.handler != PutSpecialImm || e.arg.reg != named(SpecialCode::PutImm8, code))
                return false;
        }
        for (int code = 0; code < 8; ++code) {
            const DispatchEntry e = entry(0x8C + (code >> 1), col);
            if (e.handler != PutSpecialImm7 ||
                (code & 1 ? e.arg.reg2 : e.arg.reg) != named(SpecialCode::PutImm7, code))
                return false;
        }
        for (int code = 0; code < 6; ++code) {
            const DispatchEntry e = entry(0x98 + code, col);
            const bool put = col < 2;
            if (e.handler != (put ? PutSpecialReg : GetSpecialReg) ||
                e.arg.reg != named(put ? SpecialCode::PutReg : SpecialCode::GetReg, code))
                return false;
        }
    }
    return true;
}
static_assert(SpecialEntriesAgree());
} // namespace

void ExecuteInstruction() {
    const int index = FetchInstruction();
    g_cpu.StepDir = 1;
    const DispatchEntry& entry = kDispatch[index];
    entry.handler(entry.arg);
}
