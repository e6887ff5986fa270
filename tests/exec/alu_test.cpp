// The ALU byte primitives with plain values: results and every flag.
#include "core/Cpu.h"
#include "exec/Alu.h"

#include <gtest/gtest.h>

namespace {
struct AluCase {
    const char* name;
    AluFn op;
    uint8_t d, s, fIn; // fIn: the flags as the handler preset them
    uint8_t expectD, expectF;
};

// clang-format off
constexpr AluCase kCases[] = {
    // name      op       D     S     F in  D out  F out
    {"ad 7F+01",  AluAd,  0x7F, 0x01, 0x10, 0x80, 0x64},  // H, V, LZ
    {"ad FF+01",  AluAd,  0xFF, 0x01, 0x10, 0x00, 0xFC},  // C H V, Z kept, UZ LZ
    {"ad 01+01+C",AluAd,  0x01, 0x01, 0x90, 0x03, 0x08},
    {"ad 80+80",  AluAd,  0x80, 0x80, 0x10, 0x00, 0x9C},  // C, no H, V=bit7 of x=0
    {"sb 00-01-C",AluSb,  0x00, 0x01, 0x90, 0xFE, 0xE0},
    {"sb 10-01",  AluSb,  0x10, 0x01, 0x10, 0x0F, 0x48},
    {"adb 99+01", AluAdb, 0x99, 0x01, 0x10, 0x00, 0xDC},  // C H, Z, UZ LZ
    {"adb FF+FF", AluAdb, 0xFF, 0xFF, 0x10, 0x54, 0xE0},  // V from t before the adjustment
    {"adb 45+45", AluAdb, 0x45, 0x45, 0x10, 0x90, 0x64},  // H from 10 in the low digit
    {"adb 50+50+C", AluAdb, 0x50, 0x50, 0x90, 0x01, 0xA8},  // V, then C and UZ
    {"sbb 00-01", AluSbb, 0x00, 0x01, 0x10, 0x99, 0xE0},
    {"sbb 10-01", AluSbb, 0x10, 0x01, 0x10, 0x09, 0x48},
    {"sbb 05-10", AluSbb, 0x05, 0x10, 0x10, 0x95, 0xA0},
    {"sbb 42-17", AluSbb, 0x42, 0x17, 0x10, 0x25, 0x40},
    {"an",        AluAn,  0xF0, 0x0F, 0x10, 0x00, 0x1C},
    {"bit",       AluBit, 0xF0, 0xFF, 0x10, 0x0F, 0x08},
    {"xr",        AluXr,  0xAA, 0xA5, 0x10, 0x0F, 0x08},
    {"or 00|00",  AluOr,  0x00, 0x00, 0x10, 0x00, 0xFC},
    {"or 01|00 keeps only Z",  AluOr,  0x01, 0x00, 0x1F, 0x01, 0xE8},
    {"na FF FF",  AluNa,  0xFF, 0xFF, 0x10, 0x00, 0xF0},
    {"na 0F 0F",  AluNa,  0x0F, 0x0F, 0x10, 0xF0, 0xF0},
    {"rod 01+C",  AluRod, 0x01, 0x00, 0x90, 0x80, 0x84},
    {"rod 02",    AluRod, 0x02, 0x00, 0x10, 0x01, 0x08},
    {"rou 40+C",  AluRou, 0x40, 0x00, 0x90, 0x81, 0x20},
    {"mtb 45",    AluMtb, 0x45, 0x00, 0x10, 0x90, 0x64},
    {"cmp 01",    AluCmp, 0x01, 0x00, 0x10, 0xFF, 0xE0},
    {"cmp 00",    AluCmp, 0x00, 0x00, 0x10, 0x00, 0x1C},
    {"cmpb 01",   AluCmpb,0x01, 0x00, 0x10, 0x99, 0xE0},
    {"cmpb 00",   AluCmpb,0x00, 0x00, 0x10, 0x00, 0x1C},
};
// clang-format on

TEST(Alu, ResultsAndFlags) {
    for (const AluCase& t : kCases) {
        g_cpu = CpuState{};
        g_cpu.F = t.fIn;
        uint8_t d = t.d, s = t.s;
        t.op(&d, &s, 0);
        EXPECT_EQ(d, t.expectD) << t.name;
        EXPECT_EQ(g_cpu.F, t.expectF) << t.name;
        EXPECT_EQ(s, t.s) << t.name << ": the source is not written";
    }
}

TEST(Alu, ChainedShiftsAndStepDirection) {
    struct ChainCase {
        AluFn op;
        uint8_t d, k, expectD, expectOut;
        int16_t expectDir;
    };
    const ChainCase cases[] = {
        {AluDiu, 0x12, 0x00, 0x20, 0x01, 1},  {AluDid, 0x12, 0x30, 0x31, 0x20, -1},
        {AluByu, 0x12, 0x34, 0x34, 0x12, 1},  {AluByd, 0x12, 0x34, 0x34, 0x12, -1},
        {AluRod, 0x01, 0x00, 0x00, 0x00, -1},
    };
    for (const ChainCase& t : cases) {
        g_cpu = CpuState{};
        g_cpu.F = kFlagZ;
        uint8_t d = t.d;
        const uint8_t out = t.op(&d, nullptr, t.k);
        EXPECT_EQ(d, t.expectD);
        EXPECT_EQ(out, t.expectOut);
        EXPECT_EQ(g_cpu.StepDir, t.expectDir);
    }
}

TEST(Alu, MovesAndExchangesLeaveFlags) {
    struct MoveCase {
        AluFn op;
        uint8_t expectD, expectS;
    };
    // D = 0x12, S = 0x34 in every row.
    const MoveCase cases[] = {
        {AluLd, 0x34, 0x34},   {AluLdh, 0x13, 0x34},  {AluLdl, 0x42, 0x34},  {AluLds, 0x43, 0x34},
        {AluLdhs, 0x31, 0x34}, {AluLdls, 0x24, 0x34}, {AluXc, 0x34, 0x12},   {AluXch, 0x13, 0x24},
        {AluXcl, 0x42, 0x31},  {AluXcs, 0x43, 0x21},  {AluXcls, 0x24, 0x13}, {AluXchs, 0x31, 0x42},
        {AluSwp1, 0x21, 0x34}, {AluSwp2, 0x21, 0x43},
    };
    for (const MoveCase& t : cases) {
        g_cpu = CpuState{};
        g_cpu.F = 0xA5;
        uint8_t d = 0x12, s = 0x34;
        t.op(&d, &s, 0);
        EXPECT_EQ(d, t.expectD);
        EXPECT_EQ(s, t.expectS);
        EXPECT_EQ(g_cpu.F, 0xA5);
    }
}

TEST(Alu, ThreeByteChainKeepsZOnlyWhenAllBytesAreZero) {
    g_cpu = CpuState{};
    g_cpu.F = kFlagZ;
    uint8_t a[3] = {0xFF, 0xFF, 0xFF}, b[3] = {0x01, 0x00, 0x00};
    for (int i = 0; i < 3; ++i) AluAd(&a[i], &b[i], 0);
    EXPECT_EQ(a[0] | a[1] | a[2], 0);
    EXPECT_TRUE(g_cpu.F & kFlagC);
    EXPECT_TRUE(g_cpu.F & kFlagZ);
    g_cpu.F = kFlagZ;
    uint8_t c[3] = {0xFF, 0x00, 0x00}, e[3] = {0x01, 0x00, 0x00};
    for (int i = 0; i < 3; ++i) AluAd(&c[i], &e[i], 0);
    EXPECT_EQ(c[1], 1);
    EXPECT_FALSE(g_cpu.F & kFlagZ);
}
} // namespace

// A model of the four arithmetic operations written step by step, one flag at a time, as the
// algorithm reads; the optimised operations are compared with it over every pair of bytes.
namespace model {
struct Out {
    uint8_t d, f;
};
uint8_t Evaluate(uint8_t f, uint8_t r) {
    if (r != 0) f &= ~kFlagZ;
    if ((r & 0xF0) == 0) f |= kFlagUZ;
    if ((r & 0x0F) == 0) f |= kFlagLZ;
    return f;
}
Out Binary(int D, int S, uint8_t f, bool subtract) {
    const int cin = (f & kFlagC) ? 1 : 0;
    const int t = subtract ? D - S - cin : D + S + cin;
    f &= kFlagZ;
    if (subtract ? t < 0 : t > 0xFF) f |= kFlagC;
    const int x = D ^ S ^ t;
    if (x & 0x10) f |= kFlagH;
    if (x & 0x80) f |= kFlagV;
    return {static_cast<uint8_t>(t), Evaluate(f, static_cast<uint8_t>(t))};
}
Out DecimalAdd(int D, int S, uint8_t f) {
    int lo = (D & 0x0F) + (S & 0x0F) + ((f & kFlagC) ? 1 : 0);
    f &= kFlagZ;
    if (lo > 9) {
        lo = ((lo + 6) & 0x0F) | 0x10;
        f |= kFlagH;
    }
    int t = lo + (D & 0xF0) + (S & 0xF0);
    if ((D ^ S ^ t) & 0x80) f |= kFlagV;
    if (t > 0x9F) {
        t += 0x60;
        f |= kFlagC;
    }
    return {static_cast<uint8_t>(t), Evaluate(f, static_cast<uint8_t>(t))};
}
Out DecimalSubtract(int D, int S, uint8_t f) {
    int lo = (D & 0x0F) - (S & 0x0F) - ((f & kFlagC) ? 1 : 0);
    f &= kFlagZ;
    if (lo < 0 || lo > 9) {
        lo = ((lo - 6) & 0x0F) - 16;
        f |= kFlagH;
    }
    int t = lo + (D & 0xF0) - (S & 0xF0);
    if ((D ^ S ^ t) & 0x80) f |= kFlagV;
    if (t < 0 || t > 0x9F) {
        t -= 0x60;
        f |= kFlagC;
    }
    return {static_cast<uint8_t>(t), Evaluate(f, static_cast<uint8_t>(t))};
}
} // namespace model

TEST(Alu, ArithmeticMatchesTheStepByStepModelForEveryByte) {
    struct Op {
        const char* name;
        AluFn op;
        model::Out (*expect)(int, int, uint8_t);
    };
    const Op ops[] = {
        {"ad", AluAd, [](int d, int s, uint8_t f) { return model::Binary(d, s, f, false); }},
        {"sb", AluSb, [](int d, int s, uint8_t f) { return model::Binary(d, s, f, true); }},
        {"adb", AluAdb, model::DecimalAdd},
        {"sbb", AluSbb, model::DecimalSubtract},
    };
    // Presets as the handlers leave them (with and without C), and flags with every bit set.
    const uint8_t flagsIn[] = {0x10, 0x90, 0x00, 0x80, 0xFF, 0x6F, 0xEF, 0x03};
    for (const Op& op : ops) {
        int mismatches = 0;
        for (uint8_t fIn : flagsIn)
            for (int D = 0; D < 256; ++D)
                for (int S = 0; S < 256; ++S) {
                    g_cpu.F = fIn;
                    uint8_t d = static_cast<uint8_t>(D), s = static_cast<uint8_t>(S);
                    op.op(&d, &s, 0);
                    const model::Out want = op.expect(D, S, fIn);
                    if ((d != want.d || g_cpu.F != want.f) && ++mismatches <= 5)
                        ADD_FAILURE() << op.name << " " << D << "," << S << " f=" << int(fIn)
                                      << ": got " << int(d) << "/" << int(g_cpu.F) << ", want "
                                      << int(want.d) << "/" << int(want.f);
                }
        EXPECT_EQ(mismatches, 0) << op.name;
    }
}

// A run applies the inner form of its operation to every byte but the last: it must give the
// same result byte, chained value and step direction as the full operation, and the same C and Z,
// the only flags the next byte reads.
TEST(Alu, InnerRunOperationsAgreeWithTheFullOnesOnResultCarryAndZ) {
    struct Pair {
        const char* name;
        AluFn full, inner;
    };
    const Pair pairs[] = {
        {"ad", AluAd, kRunInnerOp<AluAd>},    {"sb", AluSb, kRunInnerOp<AluSb>},
        {"adb", AluAdb, kRunInnerOp<AluAdb>}, {"sbb", AluSbb, kRunInnerOp<AluSbb>},
        {"diu", AluDiu, kRunInnerOp<AluDiu>}, {"did", AluDid, kRunInnerOp<AluDid>},
    };
    constexpr uint8_t kCz = kFlagC | kFlagZ;
    const uint8_t flagsIn[] = {0x10, 0x90, 0x00, 0x80, 0xFF, 0x6F};
    for (const Pair& p : pairs) {
        EXPECT_NE(p.full, p.inner) << p.name << " has no inner form";
        int mismatches = 0;
        for (uint8_t fIn : flagsIn)
            for (int D = 0; D < 256; ++D)
                for (int S = 0; S < 256; ++S) {
                    uint8_t d1 = uint8_t(D), s1 = uint8_t(S), d2 = uint8_t(D), s2 = uint8_t(S);
                    // S doubles as the chained value of the digit shifts.
                    g_cpu.F = fIn;
                    g_cpu.StepDir = 1;
                    const uint8_t k1 = p.full(&d1, &s1, uint8_t(S));
                    const uint8_t f1 = g_cpu.F;
                    const int16_t dir1 = g_cpu.StepDir;
                    g_cpu.F = fIn;
                    g_cpu.StepDir = 1;
                    const uint8_t k2 = p.inner(&d2, &s2, uint8_t(S));
                    if ((d1 != d2 || s1 != s2 || k1 != k2 || (f1 & kCz) != (g_cpu.F & kCz) ||
                         dir1 != g_cpu.StepDir) &&
                        ++mismatches <= 5)
                        ADD_FAILURE() << p.name << " " << D << "," << S << " f=" << int(fIn);
                }
        EXPECT_EQ(mismatches, 0) << p.name;
    }
    // The operations without an inner form are their own.
    EXPECT_EQ(kRunInnerOp<AluXc>, AluXc);
    EXPECT_EQ(kRunInnerOp<AluOr>, AluOr);
}
