// The disassembler: table contents, the output formats, byte consumption and the listing walk.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "debug/Dis.h"

namespace {

// Places up to three bytes at a code address (an internal ROM word, or external bytes).
void Place(uint16_t pc, std::vector<uint8_t> bytes) {
    bytes.resize(3, 0);
    for (int k = 0; k < 3; ++k) {
        if (pc < kFirstExternalPc)
            g_cpu.Rom[pc * 3 + k] = bytes[k];
        else
            g_cpu.Ext[(pc + k) & 0x7FFF] = bytes[k];
    }
}

// Row of the instruction at pc, trailing blanks removed; step gets how far the walk moved.
std::string RowAt(uint16_t pc, const std::vector<uint8_t>& bytes, int* step = nullptr) {
    Place(pc, bytes);
    const DecodedInstruction d = Decode(pc);
    std::string row = ListingRow(d);
    if (step) *step = static_cast<uint16_t>(d.Next - pc);
    while (!row.empty() && row.back() == ' ') row.pop_back();
    return row;
}

struct RowCase {
    uint16_t pc;
    std::vector<uint8_t> bytes;
    const char* row;
};

const RowCase kRows[] = {
    // Format 7 and the 0x1D names.
    {0x2000, {0x1D, 0x00, 0x00}, "2000: [1D00]r0,r0"},
    {0x2000, {0x1D, 0xC5, 0x35}, "2000: [1DC0]r69,i41"},
    {0x2000, {0x1C, 0x85, 0x25}, "2000: sup   r5,r41"},
    // Control transfer: condition names, "n" for b0 bit 3 clear, no condition for code 7.
    {0x2000, {0xA7, 0x12, 0x34}, "2000: jmp   &H1234"},
    {0x2000, {0xB7, 0x12, 0x34}, "2000: cal   &H1234"},
    {0x2000, {0xA0, 0x12, 0x34}, "2000: jmp   nk,&H1234"},
    {0x2000, {0xA8, 0x12, 0x34}, "2000: jmp   k,&H1234"},
    {0x2000, {0xBE, 0x01, 0x23}, "2000: cal   c,&H0123"},
    {0x2000, {0xC7}, "2000: rtn"},
    {0x2000, {0xC3}, "2000: rtn   nz"},
    {0x2000, {0xCA}, "2000: rtn   uz"},
    {0x2000, {0xCD}, "2000: rtn   h"},
    {0x2000, {0xE7, 0x34}, "2000: sjmp  &H2034"},
    {0x2000, {0xF1, 0x05}, "2000: scal  nlz,&H2005"},
    {0x2000, {0xAF}, "2000: off"},
    {0x2000, {0xBF}, "2000: wai"},
    {0x2000, {0xCF}, "2000: rti"},
    {0x2000, {0xEF}, "2000: nop"},
    {0x2000, {0xFF}, "2000: trp"},
    // Short jumps take the page of the operand byte's address (internal: of the next word).
    {0x20FE, {0xE7, 0x3C}, "20FE: sjmp  &H203C"},
    {0x20FF, {0xE7, 0x3C}, "20FF: sjmp  &H213C"},
    {0x0AFF, {0xE3, 0x3C}, "0AFF: sjmp  nz,&H0B3C"},
    {0x0A00, {0xF7, 0x3C}, "0A00: scal  &H0A3C"},
    // Stores show the displacement plus one; loads the displacement itself.
    {0x2000, {0x84, 0x05, 0xFF}, "2000: st    (ix+&H100),r5"},
    {0x2000, {0x84, 0x05, 0x00}, "2000: st    (ix+&H01),r5"},
    {0x2000, {0x80, 0x05, 0x00}, "2000: st    (ix-&H01),r5"},
    {0x2000, {0x81, 0x85, 0x10}, "2000: ld    r5,(iy-&H10)"},
    {0x2000, {0x87, 0xFF, 0xFF}, "2000: ld    r127,(sp+&HFF)"},
    {0x2000, {0x91, 0x08, 0x62}, "2000: stm   (iy-&H03),r8..r11"},
    {0x2000, {0x91, 0x88, 0x62}, "2000: ldm   r8..r11,(iy-&H02)"},
    {0x2000, {0x96, 0x3F, 0xFF}, "2000: stm   (iz+&H20),r63..r63"},
    // pla/ijmp: one pointer name when both registers are one pointer's bytes.
    {0x2000, {0x18, 0x3F, 0xE7}, "2000: pla   sp"},
    {0x2000, {0x18, 0xBF, 0xE7}, "2000: ijmp  sp"},
    {0x2000, {0x18, 0x38, 0x07}, "2000: pla   ix"},
    {0x2000, {0x18, 0xBB, 0x67}, "2000: ijmp  v3"},
    {0x2000, {0x18, 0x38, 0x17}, "2000: pla   r120,i56"},
    {0x2000, {0x18, 0x39, 0x07}, "2000: pla   r121,r56"},
    {0x2000, {0x18, 0x37, 0xE6}, "2000: pla   r119,r55"},
    // stlm: the stm forms at 0x78-0x7F, byte 1 bit 7 clear, byte 2 bit 3 set.
    {0x2000, {0x78, 0x08, 0x69}, "2000: stlm  -(ix),r8..r11"},
    {0x2000, {0x78, 0x08, 0x61}, "2000: stm   -(ix),r8..r11"},
    {0x2000, {0x7F, 0x48, 0x68}, "2000: stlm  +(sp),r72..r75"},
    {0x2000, {0x78, 0x88, 0x69}, "2000: ldm   r8..r11,(ix)-"},
    {0x2000, {0x7D, 0xC8, 0x6F}, "2000: ldm   r72..r75,(iy)+"},
    {0x2000, {0x90, 0x08, 0x68}, "2000: stm   (ix-&H09),r8..r11"},
    // Register-run formats.
    {0x2000, {0x30, 0x08, 0xE0}, "2000: ldm   r8..r15,r72..r79,&H00"},
    {0x2000, {0x30, 0x88, 0xE1}, "2000: ldm   r8..r15,&H01"},
    {0x2000, {0x70, 0x01, 0xE2}, "2000: rodm  r17..r23"},
    {0x2000, {0x70, 0x01, 0xF2}, "2000: rodm  i17..i23"},
    {0x2000, {0x77, 0xC8, 0x60}, "2000: bium  r72..r75"},
    {0x2000, {0x17, 0x08, 0x61}, "2000: tadm  r8..r11,r72..r75"},
    {0x2000, {0x17, 0xC8, 0x71}, "2000: adm   r72..r75,i8..i11"},
    {0x2000, {0x1B, 0x88, 0x65}, "2000: sbm   r8..r11,&H05"},
    {0x2000, {0x3A, 0x08, 0x61}, "2000: tsbbcmr8..r11,&H01"},
    {0x2000, {0x38, 0x08, 0x61}, "2000: xclm  r8..r11,r72..r75"},
    {0x2000, {0x34, 0xC8, 0x60}, "2000: swpm  r72..r75"},
    {0x2000, {0x34, 0x80, 0x61}, "2000: swpm  r8..r11"},
    // Byte formats.
    {0x2000, {0x20, 0x05, 0x1F}, "2000: ld    r5,r69,&H1F"},
    {0x2000, {0x20, 0x45, 0x1F}, "2000: ld    r69,r5,&H1F"},
    {0x2000, {0x20, 0x85, 0x12}, "2000: ld    r5,&H12"},
    {0x2000, {0x21, 0x86, 0xA0}, "2000: ld    r5,r70"},
    {0x2000, {0x21, 0xC6, 0xA0}, "2000: ld    r70,r5"},
    {0x2000, {0x00, 0x06, 0xA0}, "2000: tna   r5,r70"},
    {0x2000, {0x07, 0xC6, 0xB0}, "2000: ad    r70,i5"},
    {0x2000, {0x0F, 0x85, 0x12}, "2000: ad    r5,&H12"},
    {0x2000, {0x08, 0x45, 0x12}, "2000: tna   r69,&H12"},
    {0x2000, {0x19, 0x85, 0x01}, "2000: bit   r5,&H01"},
    {0x2000, {0x24, 0x80, 0xA0}, "2000: swp   r5"},
    {0x2000, {0x24, 0xC6, 0x00}, "2000: swp   r70"},
    {0x2000, {0x28, 0x06, 0xA0}, "2000: xcl   r5,r70"},
    {0x2000, {0x2D, 0x06, 0xA0}, "2000: xch   r5,r70"},
    {0x2000, {0x29, 0xC6, 0xA0}, "2000: ldls  r70,r5"},
    {0x2000, {0x2F, 0x85, 0x99}, "2000: adc   r5,&H99"},
    {0x2000, {0x22, 0x46, 0xA0}, "2000: tsbbc r70,r5"},
    // Memory through ix and iy.
    {0x2000, {0x40, 0x45}, "2000: tna   (ix),r5"},
    {0x2000, {0x47, 0xC5}, "2000: ad    (ix),r5"},
    {0x2000, {0x57, 0x85}, "2000: ad    (iy),r69"},
    {0x2000, {0x5F, 0x1F}, "2000: ad    (iy),&H1F"},
    {0x2000, {0x48, 0xC0}, "2000: na    (ix),&HC0"},
    {0x2000, {0x6B, 0x05}, "2000: st    -(sp),r5"},
    {0x2000, {0x6C, 0x85}, "2000: ld    r5,(ix)+"},
    // Pointers.
    {0x2000, {0xD8, 0x10}, "2000: sbw   ix,&H10"},
    {0x2000, {0xDF, 0x85}, "2000: adw   sp,r5"},
    {0x2000, {0xD7, 0x12, 0x34}, "2000: ldw   sp,&H1234"},
    {0x2000, {0xD3, 0xAB, 0xCD}, "2000: ldw   v3,&HABCD"},
    {0x2000, {0xD6, 0x00, 0x0A}, "2000: ldw   v0,&H000A"},
    // Special registers.
    {0x2000, {0x8E, 0x85}, "2000: pst   tm,&H05"},
    {0x2000, {0x8C, 0x05}, "2000: pst   s4,&H05"},
    {0x2000, {0x8C, 0x85}, "2000: pst   s8,&H05"},
    {0x2000, {0x8F, 0xFF}, "2000: pst   pe,&H7F"},
    {0x2000, {0x8D, 0x85}, "2000: pst   as,&H05"},
    {0x2000, {0x88, 0x80}, "2000: pst   ie,&H80"},
    {0x2000, {0x8B, 0x0A}, "2000: pst   pd,&H0A"},
    {0x2000, {0x9C, 0x05}, "2000: pst   f,r5"},
    {0x2000, {0x9D, 0x45}, "2000: pst   as,r69"},
    {0x2000, {0x9A, 0x85}, "2000: gst   r5,ky"},
    // Single-register forms.
    {0x2000, {0x60, 0x05}, "2000: rod   r5"},
    {0x2000, {0x60, 0x85}, "2000: rou   r5"},
    {0x2000, {0x62, 0x85}, "2000: cmpb  r5"},
    {0x2000, {0x67, 0x7F}, "2000: tbiu  r127"},
    {0x2000, {0x9F, 0x85}, "2000: bup   r5"},
    {0x2000, {0x9E, 0x05}, "2000: bdn   r5"},
    // The internal ROM lists by word.
    {0x0100, {0x21, 0x86, 0xA0}, "0100: ld    r5,r70"},
    {0x17FF, {0xEF}, "17FF: nop"},
};

TEST(Disassembler, RowsOfTheFormats) {
    for (const RowCase& c : kRows) EXPECT_EQ(RowAt(c.pc, c.bytes), c.row) << c.row;
}

TEST(Disassembler, ColumnsOfARow) {
    const std::string row = RowAt(0x1234, {0x21, 0x86, 0xA0});
    ASSERT_GE(row.size(), 12u);
    EXPECT_EQ(row.substr(0, 6), "1234: ");
    EXPECT_EQ(row.substr(6, 6), "ld    ");
    EXPECT_EQ(row.substr(12), "r5,r70");
    // A mnemonic-only row keeps its padding up to the operand column.
    Place(0x2000, {0xEF});
    EXPECT_EQ(ListingRow(Decode(0x2000)), "2000: nop   ");
}

// In external memory 1 byte for the one-byte forms, 2 for the two-byte forms, 3 otherwise;
// in the internal ROM one word for every instruction.
int ExternalLength(int b0) {
    if (b0 == 0xAF || b0 == 0xBF || (b0 >= 0xC0 && b0 <= 0xCF) || b0 == 0xEF || b0 == 0xFF)
        return 1;
    if ((b0 >= 0x40 && b0 <= 0x6F) || (b0 >= 0x88 && b0 <= 0x8F) || (b0 >= 0x98 && b0 <= 0x9F) ||
        (b0 >= 0xD8 && b0 <= 0xDF) || (b0 >= 0xE0 && b0 <= 0xFE && b0 != 0xEF))
        return 2;
    return 3;
}

TEST(Disassembler, ConsumesTheBytesOfEveryIndex) {
    for (int index = 0; index < kOpcodeIndices; ++index) {
        const uint8_t b0 = static_cast<uint8_t>(index >= 640 ? index - 480 : index / 4);
        const uint8_t b1 = static_cast<uint8_t>(index >= 640 ? 0x5A : (index % 4) << 6 | 0x15);
        int step = 0;
        RowAt(0x3000, {b0, b1, 0x33}, &step);
        EXPECT_EQ(step, ExternalLength(b0)) << "index " << index;
        RowAt(0x0200, {b0, b1, 0x33}, &step);
        EXPECT_EQ(step, 1) << "index " << index;
    }
}

// Decoding reads memory and nothing else: the walk that execution makes (PC, the instruction
// buffer and byte position, the external fetch cycles) is computed aside.
TEST(Disassembler, DecodingLeavesTheMachineAsItWas) {
    Place(0x2000, {0x21, 0x86, 0xA0});
    g_cpu.PC = 0x1234;
    g_cpu.StepCycles = 5;
    g_cpu.BytePos = 2;
    g_cpu.Buf[0] = 0x77;
    const std::vector<uint8_t> before(reinterpret_cast<const uint8_t*>(&g_cpu),
                                      reinterpret_cast<const uint8_t*>(&g_cpu + 1));
    const auto rows = DisListing(0x2000, 5);
    EXPECT_EQ(rows[0], "2000: ld    r5,r70");
    const std::vector<uint8_t> after(reinterpret_cast<const uint8_t*>(&g_cpu),
                                     reinterpret_cast<const uint8_t*>(&g_cpu + 1));
    EXPECT_TRUE(before == after);
}

// Where the walk goes on, and the page of a short jump, at the edges of the two code areas: the
// test in NextByte is made at every byte, so the last internal word runs on into external
// memory, and 0xFFFF wraps into the internal ROM, where only b0 moves PC.
TEST(Disassembler, TheWalkAtTheEdgesOfTheCodeAreas) {
    struct Edge {
        uint16_t pc;
        std::vector<uint8_t> bytes;
        uint16_t next;
        const char* row;
    };
    std::memset(g_cpu.Ext, 0, sizeof g_cpu.Ext);
    const Edge edges[] = {
        {0x17FF, {0x21, 0x86, 0xA0}, 0x1802, "17FF: ld    r5,r70"},
        {0x17FF, {0xE7, 0x42}, 0x1801, "17FF: sjmp  &H1842"},
        {0x17FF, {0xEF}, 0x1800, "17FF: nop"},
        {0x17FE, {0xE7, 0x42}, 0x17FF, "17FE: sjmp  &H1742"},
        {0xFFFF, {0xE7, 0x42}, 0x0000, "FFFF: sjmp  &H0042"},
        {0xFFFE, {0xA7, 0x12, 0x34}, 0x0000, "FFFE: jmp   &H1234"},
        {0xFFFF, {0xEF}, 0x0000, "FFFF: nop"},
        {0x20FF, {0xF3, 0x10}, 0x2101, "20FF: scal  nz,&H2110"},
    };
    for (const Edge& e : edges) {
        int step = 0;
        EXPECT_EQ(RowAt(e.pc, e.bytes, &step), e.row);
        EXPECT_EQ(Decode(e.pc).Next, e.next) << e.row;
    }
    // The external window wraps at 32 KB: FFFF reads offsets 7FFF, 0 and 1.
    g_cpu.Ext[0x7FFF] = 0xD0;
    g_cpu.Ext[0x0000] = 0xAB;
    g_cpu.Ext[0x0001] = 0xCD;
    const DecodedInstruction d = Decode(0xFFFF);
    EXPECT_EQ(d.Bytes, (std::array<uint8_t, 3>{0xD0, 0xAB, 0xCD}));
    EXPECT_EQ(ListingRow(d), "FFFF: ldw   ix,&HABCD");
    // A shorter instruction's value holds only its own bytes.
    Place(0x2000, {0x6C, 0x85, 0x99});
    EXPECT_EQ(Decode(0x2000).Bytes, (std::array<uint8_t, 3>{0x6C, 0x85, 0x00}));
    EXPECT_EQ(Decode(0x2000).Length, 2);
}

TEST(Disassembler, NamedAddresses) {
    const AddressNamer namer = [](uint16_t a) {
        return a == 0x1234 ? std::string("print_number") : a == 0x2042 ? "loop+2" : "";
    };
    struct Named {
        std::vector<uint8_t> bytes;
        const char* operands;
    };
    const Named cases[] = {
        {{0xB7, 0x12, 0x34}, "print_number"},
        {{0xB3, 0x12, 0x34}, "nz,print_number"},
        {{0xE7, 0x42}, "loop+2"},
        {{0xF1, 0x42}, "nlz,loop+2"},
        {{0xD7, 0x12, 0x34}, "sp,print_number"},
        {{0xA7, 0x12, 0x35}, "&H1235"},
        {{0x20, 0x85, 0x12}, "r5,&H12"},
    };
    for (const Named& c : cases) {
        Place(0x2000, c.bytes);
        EXPECT_EQ(DisOperands(Decode(0x2000), &namer), c.operands);
    }
}

TEST(Disassembler, TableHoldsTheListedNames) {
    const std::set<std::string> expected = {
        "[1D00]", "[1D40]", "[1D80]", "[1DC0]", "ad",     "adb",   "adbc", "adbcm", "adbm",
        "adc",    "adcm",   "adm",    "adw",    "an",     "anm",   "bdn",  "bit",   "biu",
        "bium",   "bnd",    "bndm",   "bnu",    "bnum",   "bup",   "byd",  "bydm",  "byu",
        "byum",   "cal",    "cmp",    "cmpb",   "cmpbm",  "cmpm",  "did",  "didm",  "diu",
        "dium",   "gst",    "ijmp",   "jmp",    "ld",     "ldh",   "ldhm", "ldhs",  "ldhsm",
        "ldl",    "ldlm",   "ldls",   "ldlsm",  "ldm",    "lds",   "ldsm", "ldw",   "mtb",
        "mtbm",   "na",     "nam",    "nop",    "off",    "or",    "orm",  "pla",   "pst",
        "rod",    "rodm",   "rou",    "roum",   "rti",    "rtn",   "sb",   "sbb",   "sbbc",
        "sbbcm",  "sbbm",   "sbc",    "sbcm",   "sbm",    "sbw",   "scal", "sdn",   "sjmp",
        "st",     "stm",    "sup",    "swp",    "swpm",   "tad",   "tadb", "tadbc", "tadbcm",
        "tadbm",  "tadc",   "tadcm",  "tadm",   "tan",    "tanm",  "tbiu", "tbium", "tcmp",
        "tcmpb",  "tcmpbm", "tcmpm",  "tmtb",   "tmtbm",  "tna",   "tnam", "tor",   "torm",
        "trp",    "tsb",    "tsbb",   "tsbbc",  "tsbbcm", "tsbbm", "tsbc", "tsbcm", "tsbm",
        "txr",    "txrm",   "wai",    "xc",     "xch",    "xchm",  "xchs", "xchsm", "xcl",
        "xclm",   "xcls",   "xclsm",  "xcm",    "xcs",    "xcsm",  "xr",   "xrm"};
    ASSERT_EQ(expected.size(), 134u);
    std::set<std::string> seen;
    for (const InstructionInfo& row : kInstructions) seen.insert(std::string(row.Mnemonic));
    EXPECT_EQ(seen, expected);
}

TEST(Disassembler, SampledRecords) {
    using enum OperandFormat;
    struct Sample {
        int b0, col;
        const char* name;
        OperandFormat format;
    };
    const Sample samples[] = {
        {0x00, 0, "tna", LowerUpper},
        {0x05, 3, "or", UpperLower},
        {0x0A, 1, "tsbb", RegImm},
        {0x12, 1, "tsbbm", UpperLowerRange},
        {0x16, 2, "adbm", LowerUpperRange},
        {0x18, 1, "pla", PointerPair},
        {0x19, 0, "bit", LowerUpper},
        {0x19, 1, "bit", UpperLower},
        {0x19, 3, "bit", RegImm},
        {0x1E, 0, "tadbm", RangeImm},
        {0x20, 1, "ld", TwinImm},
        {0x20, 2, "ld", RegImm},
        {0x24, 2, "swp", Lower},
        {0x24, 3, "swp", Upper},
        {0x25, 3, "lds", UpperLower},
        {0x2C, 1, "xchs", UpperLower},
        {0x30, 0, "ldm", TwinRangeImm},
        {0x30, 3, "ldm", RangeImm},
        {0x31, 1, "xcm", UpperLowerRange},
        {0x34, 2, "swpm", LowerRange},
        {0x34, 3, "swpm", UpperRange},
        {0x3B, 3, "sbcm", RangeImm},
        {0x3C, 2, "ldlsm", LowerUpperRange},
        {0x3D, 0, "xchm", LowerUpperRange},
        {0x43, 0, "tsb", MemReg},
        {0x4B, 0, "sb", MemImm},
        {0x5E, 3, "adb", MemImm},
        {0x61, 1, "did", Reg},
        {0x63, 2, "cmp", Reg},
        {0x66, 0, "tmtb", Reg},
        {0x6F, 2, "ld", LoadStep},
        {0x6A, 1, "st", StoreStep},
        {0x72, 0, "tcmpbm", LowerRange},
        {0x74, 3, "byum", UpperRange},
        {0x7A, 1, "stm", StoreUpperRun},
        {0x7A, 3, "ldm", LoadUpperRun},
        {0x83, 1, "st", StoreDisp},
        {0x86, 3, "ld", LoadDisp},
        {0x89, 2, "pst", SpecialImm},
        {0x8F, 3, "pst", SpecialImm7},
        {0x94, 1, "stm", StoreRunDisp},
        {0x97, 2, "ldm", LoadRunDisp},
        {0x9B, 0, "pst", SpecialFromReg},
        {0x9D, 3, "gst", RegFromSpecial},
        {0x9F, 1, "bdn", Reg},
    };
    for (const Sample& s : samples) {
        const int index = s.b0 * 4 + s.col;
        EXPECT_EQ(kInstructions[index].Mnemonic, s.name) << std::hex << s.b0 << " col " << s.col;
        EXPECT_EQ(kInstructions[index].Format, s.format) << std::hex << s.b0 << " col " << s.col;
    }
    const Sample high[] = {{0xA6, 0, "jmp", ConditionWord},  {0xA7, 0, "jmp", Word},
                           {0xB7, 0, "cal", Word},           {0xC7, 0, "rtn", None},
                           {0xC8, 0, "rtn", Condition},      {0xD5, 0, "ldw", PointerWord},
                           {0xDB, 0, "sbw", PointerOperand}, {0xDC, 0, "adw", PointerOperand},
                           {0xE7, 0, "sjmp", PageWord},      {0xEE, 0, "sjmp", ConditionPageWord},
                           {0xF7, 0, "scal", PageWord},      {0xFE, 0, "scal", ConditionPageWord}};
    for (const Sample& s : high) {
        EXPECT_EQ(kInstructions[s.b0 + 480].Mnemonic, s.name) << std::hex << s.b0;
        EXPECT_EQ(kInstructions[s.b0 + 480].Format, s.format) << std::hex << s.b0;
    }
}

TEST(Disassembler, ListingStopsAfterTheWrap) {
    std::memset(g_cpu.Ext, 0, sizeof g_cpu.Ext); // 00 00 00: three-byte tna rows
    const auto rows = DisListing(0xFFF0, 100);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0].substr(0, 5), "FFF0:");
    EXPECT_EQ(rows[5].substr(0, 5), "FFFF:");
    // No wrap: exactly the rows asked for.
    EXPECT_EQ(DisListing(0x2000, 7).size(), 7u);
    EXPECT_EQ(DisListing(0x0000, 0).size(), 0u);
}

TEST(Disassembler, ListingFollowsInstructionLengths) {
    std::memset(g_cpu.Ext, 0, sizeof g_cpu.Ext);
    Place(0x1800, {0xEF});
    Place(0x1801, {0x6C, 0x85});
    Place(0x1803, {0xA7, 0x18, 0x00});
    const auto rows = DisListing(0x1800, 3);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "1800: nop   ");
    EXPECT_EQ(rows[1], "1801: ld    r5,(ix)+");
    EXPECT_EQ(rows[2], "1803: jmp   &H1800");
    // From inside an instruction the bytes there are decoded as one.
    EXPECT_EQ(DisListing(0x1802, 1)[0], "1802: ld    r39,(iy+&H18)");
}

TEST(Disassembler, AddressesAbove0x8000ShareTheExternalBytes) {
    Place(0x1800, {0xD0, 0x12, 0x34});
    EXPECT_EQ(ListingRow(Decode(0x9800)), "9800: ldw   ix,&H1234");
}

} // namespace

TEST(Disassembler, DecodeRunWalksFromEachNext) {
    std::memset(g_cpu.Ext, 0, sizeof g_cpu.Ext);
    std::memset(g_cpu.Rom, 0, sizeof g_cpu.Rom);
    Place(0x17FE, {0xEF});
    Place(0x17FF, {0xEF});
    Place(0x1800, {0xEF});
    Place(0x1801, {0x6C, 0x85});
    const auto run = DecodeRun(0x17FE, 4);
    ASSERT_EQ(run.size(), 4u);
    // The last internal word goes on into external memory.
    const uint16_t addresses[] = {0x17FE, 0x17FF, 0x1800, 0x1801};
    for (size_t i = 0; i < run.size(); ++i) {
        EXPECT_EQ(run[i].Address, addresses[i]);
        if (i + 1 < run.size()) {
            EXPECT_EQ(run[i].Next, addresses[i + 1]);
        }
    }
    EXPECT_EQ(run[3].Next, 0x1803);
    EXPECT_EQ(run[3].Mnemonic(), "ld");
    EXPECT_TRUE(DecodeRun(0x1800, 0).empty());
    EXPECT_TRUE(DecodeRun(0x1800, -3).empty());
    // Past 0xFFFF the walk ends, after the instruction that wraps.
    EXPECT_EQ(DecodeRun(0xFFFE, 10).size(), 1u);
}
