// Instructions executed through CpuStep on small hand-made machine states: fetch costs,
// interrupts, the stack, register runs with their limits, pointer steps and repetitions.
#include "core/Cpu.h"
#include "core/Fetch.h"
#include "core/Machine.h"
#include "periph/Keyboard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

namespace {
// Places an instruction at pc: one internal ROM word below 0x1800, else external bytes.
void Place(uint16_t pc, std::initializer_list<uint8_t> bytes) {
    int i = 0;
    for (uint8_t b : bytes) {
        if (pc < kFirstExternalPc)
            g_cpu.Rom[pc * 3 + i] = b;
        else
            g_cpu.Ext[(pc + i) & 0x7FFF] = b;
        ++i;
    }
}

// One step as the run loop makes it (without the LCD); returns its cycles.
int Step() {
    g_cpu.StepCycles = 0;
    CpuStep();
    return g_cpu.StepCycles;
}

int RunAt(uint16_t pc, std::initializer_list<uint8_t> bytes) {
    Place(pc, bytes);
    g_cpu.PC = pc;
    return Step();
}

class Instructions : public ::testing::Test {
protected:
    void SetUp() override { ResetMachine(); }
};

TEST_F(Instructions, OpcodeIndexBoundaries) {
    static_assert(OpcodeIndex(0x9F, 0xC0) == 639);
    static_assert(OpcodeIndex(0xA0, 0x00) == 640 && OpcodeIndex(0xA0, 0xFF) == 640);
    static_assert(OpcodeIndex(0xFF, 0x12) == 735);
    static_assert(OpcodeIndex(0x00, 0x40) == 1 && OpcodeIndex(0x01, 0x80) == 6);
}

TEST_F(Instructions, OperandFieldDecoders) {
    EXPECT_EQ(FieldLower(0x35, 0x0B), 0x2D);
    EXPECT_EQ(FieldLower(0x35, 0x14), 0x0A);
    EXPECT_EQ(FieldLowerBlockLimit(0x35, 0x14), 0x0F);
    EXPECT_EQ(FieldLower(0x25, 0x7F), 0x29);
    EXPECT_EQ(FieldUpper(0x85), 0x45);
    EXPECT_EQ(FieldUpperBlockLast(0xC6, 0x20), 0x41);
}

TEST_F(Instructions, FetchCostInsideAndOutsideTheInternalRom) {
    struct FetchCase {
        uint16_t pc;
        std::initializer_list<uint8_t> bytes;
        uint16_t expectPc;
        int expectCycles;
    };
    const FetchCase cases[] = {
        {0x0100, {0x21, 0x80, 0x00}, 0x0101, 4},  // ld lo: 3 bytes, one word
        {0x2000, {0x21, 0x80, 0x00}, 0x2003, 10}, // the same from external memory
        {0x2000, {0x88, 0x80}, 0x2002, 8},        // pst: 2 bytes
        {0x17FF, {0x21, 0x80, 0x00}, 0x1802, 8},  // last word: b1, b2 read with PC 0x1800 up
        {0xFFFF, {0xEF}, 0x0000, 6},              // nop at the top wraps PC
        {0x2000, {0x30, 0x00}, 0x2001, 6},        // 0x30 with b1 bit 7 clear: one byte
    };
    for (const FetchCase& t : cases) {
        ResetMachine();
        EXPECT_EQ(RunAt(t.pc, t.bytes), t.expectCycles) << std::hex << t.pc;
        EXPECT_EQ(g_cpu.PC, t.expectPc) << std::hex << t.pc;
    }
    // 0x9800 fetches the external bytes of 0x1800.
    ResetMachine();
    g_cpu.Ext[0x1800] = 0xEF;
    g_cpu.PC = 0x9800;
    EXPECT_EQ(FetchInstruction(), 0xEF + 480);
}

TEST_F(Instructions, InterruptEntryAndPriorities) {
    g_cpu.IE = 0x88;
    g_cpu.WAIT = 1;
    PtrSet(kV3, 0x0456);
    PtrSet(kSp, 0x1000);
    g_cpu.PC = 0x0123;
    RequestInterrupt(3);
    EXPECT_EQ(g_cpu.WAIT, 0);
    EXPECT_EQ(g_cpu.IRQ, 0x08);
    EXPECT_EQ(Step(), 10);
    EXPECT_EQ(g_cpu.PC, 0x0456);
    EXPECT_EQ(g_cpu.ISR, 0x08);
    EXPECT_EQ(PtrGet(kSp), 0x0FFE);
    EXPECT_EQ(g_cpu.Ram[0x0FFE], 0x01);
    EXPECT_EQ(g_cpu.Ram[0x0FFF], 0x23);

    // Master enable clear: the request is lost and a wait goes on.
    ResetMachine();
    g_cpu.IE = 0x08;
    g_cpu.WAIT = 1;
    RequestInterrupt(3);
    EXPECT_EQ(g_cpu.IRQ, 0);
    EXPECT_EQ(g_cpu.WAIT, 1);
    EXPECT_EQ(Step(), 6);

    // A higher source nests; an equal or lower one waits for its rti.
    ResetMachine();
    g_cpu.IE = 0x8F;
    g_cpu.ISR = 0x08;
    g_cpu.IRQ = 0x09;
    PtrSet(kV0, 0x0200);
    EXPECT_EQ(Step(), 10);
    EXPECT_EQ(g_cpu.ISR, 0x09);
    EXPECT_EQ(g_cpu.PC, 0x0200);
    ResetMachine();
    g_cpu.IE = 0x8F;
    g_cpu.ISR = 0x01;
    g_cpu.IRQ = 0x09;
    Place(0, {0xEF});
    EXPECT_EQ(Step(), 4); // the nop runs
    EXPECT_EQ(g_cpu.PC, 1);

    // A latched but disabled request is entered once its enable bit is set.
    ResetMachine();
    g_cpu.IE = 0x80;
    g_cpu.IRQ = 0x08;
    Place(0, {0x88, 0x88}); // pst ie,&H88
    EXPECT_EQ(Step(), 4);
    EXPECT_EQ(g_cpu.IRQ, 0x08);
    EXPECT_EQ(Step(), 10);
    EXPECT_EQ(g_cpu.ISR, 0x08);
}

TEST_F(Instructions, ReturnFromInterruptClearsTheFirstRequestedSource) {
    g_cpu.IRQ = 0x06;
    g_cpu.ISR = 0x02;
    PtrSet(kSp, 0x0100);
    g_cpu.Ram[0x0100] = 0x12;
    g_cpu.Ram[0x0101] = 0x34;
    EXPECT_EQ(RunAt(0x2000, {0xCF}), 10); // rti consumes no byte: no fetch cost
    EXPECT_EQ(g_cpu.PC, 0x1234);
    EXPECT_EQ(g_cpu.IRQ, 0x04);
    EXPECT_EQ(g_cpu.ISR, 0x00);
    EXPECT_EQ(PtrGet(kSp), 0x0102);

    ResetMachine();
    g_cpu.ISR = 0x08;
    PtrSet(kSp, 0x0100);
    RunAt(0x0000, {0xCF});
    EXPECT_EQ(g_cpu.ISR, 0x08);
    EXPECT_EQ(g_cpu.PC, 0x0000);
}

TEST_F(Instructions, HaltedStepsCostSixAndDoNothing) {
    g_cpu.OFF = 1;
    g_cpu.IE = 0x88;
    g_cpu.IRQ = 0x08;
    const CpuState before = g_cpu;
    EXPECT_EQ(Step(), 6);
    g_cpu.StepCycles = before.StepCycles;
    EXPECT_EQ(std::memcmp(&before, &g_cpu, sizeof(CpuState)), 0);
}

TEST_F(Instructions, CallsReturnsAndTrap) {
    PtrSet(kSp, 0x2000);
    EXPECT_EQ(RunAt(0x0123, {0xB7, 0x12, 0x34}), 8);
    EXPECT_EQ(g_cpu.PC, 0x1234);
    EXPECT_EQ(PtrGet(kSp), 0x1FFE);
    EXPECT_EQ(g_cpu.Ram[0x1FFE], 0x01);
    EXPECT_EQ(g_cpu.Ram[0x1FFF], 0x24);
    EXPECT_EQ(RunAt(0x1234, {0xC7}), 10);
    EXPECT_EQ(g_cpu.PC, 0x0124);
    EXPECT_EQ(PtrGet(kSp), 0x2000);

    // Not taken: all bytes consumed, 8 cycles, sp untouched (0xB3: nz, with Z set).
    g_cpu.F = kFlagZ;
    EXPECT_EQ(RunAt(0x2000, {0xB3, 0x12, 0x34}), 8 + 6);
    EXPECT_EQ(g_cpu.PC, 0x2003);
    EXPECT_EQ(PtrGet(kSp), 0x2000);

    // Key conditions: nk jumps while KI is 0, k while it is not.
    g_cpu.KI = 0;
    RunAt(0x0010, {0xA0, 0x03, 0x00});
    EXPECT_EQ(g_cpu.PC, 0x0300);
    RunAt(0x0010, {0xA8, 0x03, 0x00});
    EXPECT_EQ(g_cpu.PC, 0x0011);

    // Short jump within the page of the next instruction.
    RunAt(0x12FE, {0xE7, 0x05});
    EXPECT_EQ(g_cpu.PC, 0x1205);
    RunAt(0x20FE, {0xE7, 0x05}); // external: PC is 0x2100 after the two bytes
    EXPECT_EQ(g_cpu.PC, 0x2105);

    // trp returns to itself.
    g_cpu.R[kTrapHigh] = 0x05;
    g_cpu.R[kTrapLow] = 0x00;
    EXPECT_EQ(RunAt(0x0040, {0xFF}), 10);
    EXPECT_EQ(g_cpu.PC, 0x0500);
    RunAt(0x0500, {0xC7});
    EXPECT_EQ(g_cpu.PC, 0x0040);
}

TEST_F(Instructions, UpperRunWithIndirectLowerRunMeetingItsLimit) {
    // adm up, AS = 0x0C: R[0x40..0x43] += R[0x06], R[0x07]; the last two get only the carry.
    const uint8_t upper[] = {0x01, 0xFF, 0xFF, 0x00};
    for (int i = 0; i < 4; ++i) g_cpu.R[0x40 + i] = upper[i];
    g_cpu.R[0x06] = 0xFF;
    g_cpu.R[0x07] = 0x00;
    g_cpu.R[0x00] = 0x55;
    g_cpu.AS = 0x0C;
    EXPECT_EQ(RunAt(0x0000, {0x17, 0xC0, 0x70}), 16);
    const uint8_t expect[] = {0x00, 0x00, 0x00, 0x01};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(g_cpu.R[0x40 + i], expect[i]) << i;
    EXPECT_EQ(g_cpu.R[0x06], 0xFF);
    EXPECT_EQ(g_cpu.R[0x00], 0x55);
    EXPECT_EQ(g_cpu.F & (kFlagC | kFlagZ), 0);

    // The same with the lower run as destination: sums beyond the limit go to scratch bytes.
    ResetMachine();
    for (int i = 0; i < 4; ++i) g_cpu.R[0x40 + i] = upper[i];
    g_cpu.R[0x06] = 0xFF;
    g_cpu.AS = 0x0C;
    EXPECT_EQ(RunAt(0x0000, {0x17, 0x80, 0x70}), 16);
    EXPECT_EQ(g_cpu.R[0x06], 0x00);
    EXPECT_EQ(g_cpu.R[0x07], 0x00);
    EXPECT_EQ(g_cpu.R[0x00], 0x00);
    EXPECT_EQ(g_cpu.R[0x40], 0x01);
}

TEST_F(Instructions, RegisterRunsAndImmediateRuns) {
    // adm lo, b1 = 0x80, b2 = 0x40: R[0..2] += R[0x40..0x42].
    g_cpu.R[0] = 0xFF;
    g_cpu.R[1] = 0xFF;
    g_cpu.R[0x40] = 0x01;
    EXPECT_EQ(RunAt(0x0000, {0x17, 0x80, 0x40}), 12);
    EXPECT_EQ(g_cpu.R[0], 0x00);
    EXPECT_EQ(g_cpu.R[1], 0x00);
    EXPECT_EQ(g_cpu.R[2], 0x01);
    EXPECT_EQ(g_cpu.F & (kFlagC | kFlagZ), 0);

    // adbm r,imm5: decimal 5 into R[0x10], carry through R[0x11], R[0x12].
    g_cpu.R[0x10] = 0x97;
    g_cpu.R[0x11] = 0x99;
    g_cpu.R[0x12] = 0x12;
    EXPECT_EQ(RunAt(0x0000, {0x1E, 0x90, 0x45}), 12);
    EXPECT_EQ(g_cpu.R[0x10], 0x02);
    EXPECT_EQ(g_cpu.R[0x11], 0x00);
    EXPECT_EQ(g_cpu.R[0x12], 0x13);

    // ldm r,imm5 fills the whole run and leaves F.
    for (int i = 8; i < 16; ++i) g_cpu.R[i] = 0xEE;
    g_cpu.F = 0x5A;
    EXPECT_EQ(RunAt(0x0000, {0x30, 0x88, 0xE3}), 32);
    for (int i = 8; i < 16; ++i) EXPECT_EQ(g_cpu.R[i], 3);
    EXPECT_EQ(g_cpu.F, 0x5A);

    // A run wraps inside its group: start 6, last 1 covers 6, 7, 0, 1.
    ResetMachine();
    EXPECT_EQ(RunAt(0x0000, {0x30, 0x8E, 0x21}), 16);
    EXPECT_EQ(g_cpu.R[14], 1);
    EXPECT_EQ(g_cpu.R[15], 1);
    EXPECT_EQ(g_cpu.R[8], 1);
    EXPECT_EQ(g_cpu.R[9], 1);
    EXPECT_EQ(g_cpu.R[10], 0);
}

TEST_F(Instructions, SingleRegisterRuns) {
    // didm lower run R[3] down to R[0]: the number shifts down one digit.
    const uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78};
    for (int i = 0; i < 4; ++i) g_cpu.R[i] = bytes[i];
    EXPECT_EQ(RunAt(0x0000, {0x71, 0x03, 0x00}), 16);
    const uint8_t expect[] = {0x41, 0x63, 0x85, 0x07};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(g_cpu.R[i], expect[i]) << i;

    // dium upper run R[0x40..0x43]: shifts up one digit, the top digit is lost.
    ResetMachine();
    const uint8_t up[] = {0x21, 0x43, 0x65, 0x87};
    for (int i = 0; i < 4; ++i) g_cpu.R[0x40 + i] = up[i];
    EXPECT_EQ(RunAt(0x0000, {0x71, 0xC0, 0x60}), 16);
    const uint8_t upExpect[] = {0x10, 0x32, 0x54, 0x76};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(g_cpu.R[0x40 + i], upExpect[i]) << i;

    // byum lower run with AS = 0x0C: two bytes, then two zero scratch bytes.
    ResetMachine();
    g_cpu.AS = 0x0C;
    g_cpu.R[6] = 0xAB;
    g_cpu.R[7] = 0xCD;
    g_cpu.R[0] = 0x11;
    EXPECT_EQ(RunAt(0x0000, {0x74, 0x86, 0x30}), 16);
    EXPECT_EQ(g_cpu.R[6], 0x00);
    EXPECT_EQ(g_cpu.R[7], 0xAB);
    EXPECT_EQ(g_cpu.R[0], 0x11);

    // byu single: the byte becomes 0 and F = Z, UZ, LZ; bnu keeps the byte.
    ResetMachine();
    g_cpu.R[5] = 0x42;
    RunAt(0x0000, {0x64, 0x85});
    EXPECT_EQ(g_cpu.R[5], 0);
    EXPECT_EQ(g_cpu.F, 0x1C);
    g_cpu.R[5] = 0x42;
    RunAt(0x0000, {0x65, 0x85});
    EXPECT_EQ(g_cpu.R[5], 0x42);

    // biu clears C first: a plain doubling.
    g_cpu.F = kFlagC;
    g_cpu.R[5] = 0x21;
    RunAt(0x0000, {0x67, 0x85});
    EXPECT_EQ(g_cpu.R[5], 0x42);
}

TEST_F(Instructions, PointerStepsOfStoresAndLoads) {
    g_cpu.DS = 0x03;
    PtrSet(kIx, 0x1000);
    g_cpu.R[5] = 0x77;
    EXPECT_EQ(RunAt(0x0000, {0x6C, 0x05}), 10); // st +(ix),r5
    EXPECT_EQ(g_cpu.Ram[0x1001], 0x77);
    EXPECT_EQ(PtrGet(kIx), 0x1001);
    EXPECT_EQ(RunAt(0x0000, {0x68, 0x86}), 10); // ld r6,(ix)-
    EXPECT_EQ(g_cpu.R[6], 0x77);
    EXPECT_EQ(PtrGet(kIx), 0x1000);

    // Displacement 0: the store writes at P + 1, the load reads P.
    g_cpu.Ram[0x1000] = 0x99;
    RunAt(0x0000, {0x84, 0x05, 0x00});
    EXPECT_EQ(g_cpu.Ram[0x1001], 0x77);
    RunAt(0x0000, {0x84, 0x87, 0x00});
    EXPECT_EQ(g_cpu.R[7], 0x99);
    EXPECT_EQ(PtrGet(kIx), 0x1000);

    // stm with first = last: one byte, 8 cycles, one pointer step.
    EXPECT_EQ(RunAt(0x0000, {0x7C, 0x45, 0xA0}), 8);
    EXPECT_EQ(PtrGet(kIx), 0x1001);

    // A store through area 0 changes nothing but still steps and costs 10.
    g_cpu.DS = 0x00;
    const uint8_t before = g_cpu.Ext[0x1002];
    EXPECT_EQ(RunAt(0x0000, {0x6C, 0x05}), 10);
    EXPECT_EQ(PtrGet(kIx), 0x1002);
    EXPECT_EQ(g_cpu.Ext[0x1002], before);
}

TEST_F(Instructions, BlockTransferAndSearchRepeat) {
    g_cpu.DS = 0x0F; // ix and iy in RAM
    PtrSet(kIx, 0x0100);
    PtrSet(kIy, 0x0200);
    for (int i = 1; i <= 3; ++i) g_cpu.Ram[0x0100 + i] = static_cast<uint8_t>(0x10 * i);
    g_cpu.R[0x20] = 3;
    Place(0x0010, {0x9E, 0xA0}); // bup r32
    Place(0x0011, {0xEF});
    g_cpu.PC = 0x0010;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Step(), 12);
    EXPECT_EQ(g_cpu.PC, 0x0011);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(g_cpu.Ram[0x0200 + i], 0x10 * i);
    EXPECT_EQ(g_cpu.R[0x20], 0);

    // A counter of 0 runs 256 times.
    PtrSet(kIx, 0x0100);
    g_cpu.PC = 0x0010;
    int steps = 0;
    do {
        Step();
        ++steps;
    } while (g_cpu.PC == 0x0010 && steps < 1000);
    EXPECT_EQ(steps, 256);

    // sup with a counter of 1 compares one byte whether or not it matched.
    ResetMachine();
    g_cpu.DS = 0x03;
    PtrSet(kIx, 0x0100);
    g_cpu.R[0x21] = 1;
    g_cpu.R[0x08] = 0x42; // compare register, direct field b2 = 0x01
    RunAt(0x0010, {0x1C, 0xA1, 0x01});
    EXPECT_EQ(g_cpu.PC, 0x0011);
    EXPECT_EQ(PtrGet(kIx), 0x0101);

    // Found at the second address: two steps, ix at the match.
    ResetMachine();
    g_cpu.DS = 0x03;
    PtrSet(kIx, 0x0100);
    g_cpu.Ram[0x0102] = 0x42;
    g_cpu.R[0x21] = 9;
    g_cpu.R[0x08] = 0x42;
    Place(0x0010, {0x1C, 0xA1, 0x01});
    g_cpu.PC = 0x0010;
    Step();
    EXPECT_EQ(g_cpu.PC, 0x0010);
    Step();
    EXPECT_EQ(g_cpu.PC, 0x0011);
    EXPECT_EQ(PtrGet(kIx), 0x0102);
    EXPECT_EQ(g_cpu.R[0x21], 7);
}

TEST_F(Instructions, SpecialRegisterWrites) {
    g_cpu.IRQ = 0x08;
    g_cpu.ISR = 0x08;
    RunAt(0x0000, {0x88, 0x8F});
    EXPECT_EQ(g_cpu.IRQ, 0x08);
    RunAt(0x0000, {0x88, 0x0F});
    EXPECT_EQ(g_cpu.IRQ | g_cpu.ISR, 0);

    RunAt(0x0000, {0x8C, 0x05});
    EXPECT_EQ(g_cpu.S4, 5);
    RunAt(0x0000, {0x8C, 0x85});
    EXPECT_EQ(g_cpu.S8, 5);
    RunAt(0x0000, {0x8D, 0xFF});
    EXPECT_EQ(g_cpu.AS, 0x7F);

    g_cpu.R[9] = 0xFF;
    RunAt(0x0000, {0x9C, 0x09}); // pst f,r9
    EXPECT_EQ(g_cpu.F, 0xFF);
    RunAt(0x0000, {0x9C, 0x8A}); // gst r10,f
    EXPECT_EQ(g_cpu.R[10], 0xFF);
    RunAt(0x0000, {0x9D, 0x09}); // pst as,r9
    EXPECT_EQ(g_cpu.AS, 0x7F);

    // "ky": pst writes KC and updates KI; gst reads KI.
    g_kbd.MouseKey = 14;
    RunAt(0x0000, {0x8A, 0x81});
    EXPECT_EQ(g_cpu.KC, 0x81);
    EXPECT_EQ(g_cpu.KI, 0x10);
    RunAt(0x0000, {0x9A, 0x8B}); // gst r11,ky
    EXPECT_EQ(g_cpu.R[11], 0x10);
}

TEST_F(Instructions, PointerWordArithmeticAndMemoryOperands) {
    EXPECT_EQ(RunAt(0x0000, {0xD7, 0x1F, 0x00}), 4);
    EXPECT_EQ(PtrGet(kSp), 0x1F00);
    g_cpu.F = 0x5A;
    EXPECT_EQ(RunAt(0x0000, {0xD8, 0x01}), 8); // sbw ix,1 from 0
    EXPECT_EQ(PtrGet(kIx), 0xFFFF);
    EXPECT_EQ(g_cpu.F, 0x5A);
    g_cpu.R[5] = 0x10;
    EXPECT_EQ(RunAt(0x0000, {0xDC, 0x85}), 10); // adw ix,r5
    EXPECT_EQ(PtrGet(kIx), 0x000F);
    RunAt(0x0000, {0xDF, 0x01}); // adw sp,1: sp, never v3
    EXPECT_EQ(PtrGet(kSp), 0x1F01);
    EXPECT_EQ(PtrGet(kV3), 0);

    // ad [ix],r: RAM in area 3; in area 0 nothing is written but it still costs 8.
    g_cpu.DS = 0x03;
    PtrSet(kIx, 0x2010);
    g_cpu.Ram[0x0010] = 0x05;
    g_cpu.R[0x45] = 0x03;
    EXPECT_EQ(RunAt(0x0000, {0x47, 0x85}), 8);
    EXPECT_EQ(g_cpu.Ram[0x0010], 0x08);
    g_cpu.DS = 0x00;
    g_cpu.Ext[0x2010] = 0xFF;
    EXPECT_EQ(RunAt(0x0000, {0x4F, 0x01}), 8);
    EXPECT_EQ(g_cpu.Ext[0x2010], 0xFF);
    EXPECT_TRUE(g_cpu.F & kFlagC);
    EXPECT_EQ(RunAt(0x0000, {0x47, 0x05}), 6); // tad: test, 6 cycles
}

TEST_F(Instructions, OffAndWake) {
    g_cpu.IE = 0x88;
    g_cpu.IRQ = 0x08;
    g_cpu.ISR = 0x08; // in service, so the step executes the off
    g_cpu.S6 = 0x01;
    EXPECT_EQ(RunAt(0x0123, {0xAF}), 0);
    EXPECT_EQ(g_cpu.OFF, 1);
    EXPECT_EQ(g_cpu.PC, 0);
    EXPECT_EQ(g_cpu.IE | g_cpu.IRQ | g_cpu.ISR | g_cpu.S6, 0);
    EXPECT_EQ(g_cpu.KC, 0x40);
    EXPECT_EQ(Step(), 6);
    g_kbd.KeyboardKey = kKeyWake;
    KeyboardUpdate();
    EXPECT_EQ(g_cpu.OFF, 0);

    ResetMachine();
    EXPECT_EQ(RunAt(0x0000, {0xBF}), 0);
    EXPECT_EQ(g_cpu.WAIT, 1);
    EXPECT_EQ(g_cpu.PC, 1);
}

TEST_F(Instructions, ResetKeepsMemoriesAndRegisterFile) {
    PtrSet(kSp, 0x1234);
    g_cpu.Ram[5] = 9;
    g_cpu.PC = 0x4444;
    g_cpu.IE = 0x88;
    g_cpu.WAIT = 1;
    g_cpu.CycleBalance = 77;
    CpuReset();
    EXPECT_EQ(PtrGet(kSp), 0x1234);
    EXPECT_EQ(g_cpu.Ram[5], 9);
    EXPECT_EQ(g_cpu.PC, 0);
    EXPECT_EQ(g_cpu.IE | g_cpu.WAIT, 0);
    EXPECT_EQ(g_cpu.CycleBalance, 0);
}
} // namespace

// Z after a run is set only when every result byte was zero, whichever byte was not; UZ, LZ, H
// and V come from the last byte alone.
TEST_F(Instructions, RunFlagsComeFromEveryByteForZAndTheLastByteForTheRest) {
    struct Case {
        const char* name;
        uint8_t b0, b1, b2; // all over R[0..2], with R[0x40..0x42] as the other operand
        uint8_t lower[3], upper[3];
        uint8_t flags; // F & (Z | UZ | LZ | C | H | V) after the run
    };
    const Case cases[] = {
        {"adm, first byte non-zero", 0x17, 0x80, 0x40, {1, 0, 0}, {0, 0, 0}, 0x0C},
        {"adm, all zero", 0x17, 0x80, 0x40, {0, 0, 0}, {0, 0, 0}, 0x1C},
        {"adbm, middle byte non-zero", 0x16, 0x80, 0x40, {0, 0x45, 0}, {0, 0, 0}, 0x0C},
        {"adbm, carry into the last byte", 0x16, 0x80, 0x40, {0x99, 0x99, 0x00},
         {0x01, 0x00, 0x00}, 0x08},
        {"sbbm, first byte non-zero", 0x12, 0x80, 0x40, {0x10, 0, 0}, {0, 0, 0}, 0x0C},
        {"sbm, borrow through", 0x13, 0x80, 0x40, {0, 0, 0}, {1, 0, 0}, 0xE0},
        {"diu, first byte non-zero", 0x71, 0x80, 0x40, {1, 0, 0}, {0, 0, 0}, 0x0C},
        {"diu, all zero", 0x71, 0x80, 0x40, {0, 0, 0}, {0, 0, 0}, 0x1C},
    };
    for (const Case& t : cases) {
        ResetMachine();
        for (int i = 0; i < 3; ++i) {
            g_cpu.R[i] = t.lower[i];
            g_cpu.R[0x40 + i] = t.upper[i];
        }
        RunAt(0x0000, {t.b0, t.b1, t.b2});
        EXPECT_EQ(g_cpu.F & 0xFC, t.flags) << t.name;
    }
}
