// The one-line assembler: encodings of every operand form and the positions of its errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "debug/Asem.h"

namespace {

// "20 85 12" on success (empty for no bytes), "error at N" on failure.
std::string Text(const AsmResult& r) {
    if (r.AsmPos != 0) return "error at " + std::to_string(r.AsmPos);
    std::string out;
    for (int i = 0; i < r.AsmCount; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", r.AsmBytes[i]);
        out += buf;
    }
    return out;
}

std::string Assemble(const std::string& line, uint16_t page = 0) {
    return Text(AssembleLine(line, page));
}

struct Case {
    const char* line;
    const char* result;
    uint16_t page = 0;
};

const Case kCases[] = {
    // Empty lines and comments.
    {"", ""},
    {"      ", ""},
    {"; just a note", ""},
    {"   ;", ""},
    {"nop ; note", "EF"},
    {"nop;note", "EF"},
    {"nop x", "error at 5"},
    {"nopx", "error at 4"},
    {"foo r5", "error at 1"},
    {"   foo", "error at 4"},
    // Case does not matter in names, letters and &h.
    {"LD R5,&H12", "20 85 12"},
    {"ld r5,&h12", "20 85 12"},
    {"Ld r5,&hfF", "20 85 FF"},
    // Form 0 and 1.
    {"off", "AF"},
    {"wai", "BF"},
    {"rti", "CF"},
    {"trp", "FF"},
    {"rod r5", "60 05"},
    {"rou r5", "60 85"},
    {"biu r127", "67 FF"},
    {"bdn r3", "9E 03"},
    {"bup r3", "9E 83"},
    {"rod i5", "error at 7"},
    {"rod", "error at 4"},
    // Form 2: the pair rule, immediate, pointer forms.
    {"na r70,r5", "00 C6 A0"},
    {"na r5,r70", "00 86 A0"},
    {"na r5,r6", "error at 9"},
    {"na r70,r71", "error at 11"},
    {"tad r5,i7", "error at 10"},
    {"tad r64,i7", "07 40 F0"},
    {"ad i7 , r64", "07 80 F0"},
    {"na r5,&h12", "08 85 12"},
    {"tna r69,18", "08 45 12"},
    {"na i5,&h12", "error at 7"},
    {"na r5,256", "error at 10"},
    {"bit r5,1", "19 85 01"},
    {"bit r70,r5", "19 46 A0"},
    {"adc r5,&h99", "2F 85 99"},
    {"tsbbc r70,r5", "22 46 A0"},
    {"na (ix),r5", "40 C5"},
    {"tna (ix),r5", "40 45"},
    {"ad (iy),r69", "57 85"},
    {"ad ( iy),r69", "57 85"},
    {"na (ix),&hc0", "48 C0"},
    {"ad (iy),31", "5F 1F"},
    {"tna (ix),5", "error at 10"},
    {"na (iz),r5", "error at 7"},
    {"na (ix ),r5", "error at 7"},
    {"na (ix),i5", "error at 11"},
    {"adc (ix),r5", "error at 5"},
    {"bit (ix),r5", "error at 5"},
    {"na r5", "error at 6"},
    {"na r,r70", "error at 5"},
    {"na 5", "error at 4"},
    // Registers: r0-r127, i0-i63.
    {"ld r127,r63", "21 FF E7"},
    {"ld i63,r64", "21 80 F7"},
    {"ld r128,r64", "error at 8"},
    {"ld i64,r64", "error at 7"},
    {"ld r,r64", "error at 5"},
    {"ld r 5,r64", "error at 5"},
    {"ld r0005,r64", "21 80 A0"},
    {"rod r99999", "error at 10"},
    // Form 3.
    {"xc r70,r5", "21 46 A0"},
    {"xc r5,r70", "21 06 A0"},
    {"lds r5,r70", "25 86 A0"},
    {"swp r70", "24 C6 00"},
    {"swp r5", "24 80 A0"},
    {"swp i5", "24 80 B0"},
    {"swp r5 ; comment", "24 80 A0"},
    {"swp r5,r70", "24 06 A0"},
    {"xc r5", "error at 6"},
    {"xcs r5,r6", "error at 10"},
    // Form 4: L first XORs 0x05 into byte 0.
    {"xcl r70,r5", "2D 46 A0"},
    {"xcl r5,r70", "28 06 A0"},
    {"ldh r5,r70", "2D 86 A0"},
    {"ldhs r70,r5", "2C C6 A0"},
    {"xcls r5,r70", "2C 06 A0"},
    // Form 5.
    {"sdn r70,r5", "1C 46 A0"},
    {"sup r70,i5", "1C C6 B0"},
    {"sdn r5,r70", "error at 7"},
    {"sdn r70,r71", "error at 12"},
    // Forms 6 and 7.
    {"gst r5,f", "9C 85"},
    {"gst r5,ky", "9A 85"},
    {"gst r5,pe", "error at 10"},
    {"gst i5,f", "error at 7"},
    {"pst ie,&h12", "88 12"},
    {"pst as,5", "8D 85"},
    {"pst ie,r5", "98 05"},
    {"pst  tm,5", "8E 85"},
    {"pst s4,127", "8C 7F"},
    {"pst s8,1", "8C 81"},
    {"pst pe,&h7f", "8F FF"},
    {"pst f,r5", "9C 05"},
    {"pst f,5", "error at 7"},
    {"pst pe,r5", "error at 10"},
    {"pst ie,&h100", "error at 13"},
    {"pst as,&h80", "error at 12"},
    {"pst xx,5", "error at 5"},
    // Form 8: ld.
    {"ld r5,r69,&h12", "20 05 12"},
    {"ld r69,r5,&h12", "20 45 12"},
    {"ld r5,r70,&h12", "error at 11"},
    {"ld r5,&h12", "20 85 12"},
    {"ld r5,r70", "21 86 A0"},
    {"ld r70,r5", "21 C6 A0"},
    {"ldr5,r70", "21 86 A0"},
    {"ld r5,(ix)+", "6C 85"},
    {"ld r5,(ix) +", "6C 85"},
    {"ld r5,(sp)-", "6B 85"},
    {"ld r5,(ix)", "error at 11"},
    {"ld r5,(ix )", "error at 11"},
    {"ld i5,(ix)+", "error at 12"},
    {"ld r5,(iy-&h10)", "81 85 10"},
    {"ld r5,(iy - 16)", "81 85 10"},
    {"ld r5,(ix+256)", "error at 14"},
    {"ld r5,(ix+1 )", "error at 12"},
    {"ld i5,5", "error at 7"},
    // Form 9: st (displacement 1-256, stored minus one).
    {"st (ix+&h100),r5", "84 05 FF"},
    {"st (ix+1),r5", "84 05 00"},
    {"st (sp-2),r127", "83 7F 01"},
    {"st (ix+0),r5", "error at 9"},
    {"st (ix+257),r5", "error at 11"},
    {"st -(sp),r5", "6B 05"},
    {"st +(iz),r5", "6E 05"},
    {"st + (ix),r5", "error at 5"},
    {"st -(ix),i5", "error at 12"},
    {"st r5,(ix)+", "error at 4"},
    // Forms 10 to 12.
    {"ldw sp,&h1234", "D7 12 34"},
    {"ldw v3,65535", "D3 FF FF"},
    {"ldw v0,0", "D6 00 00"},
    {"ldw r5,0", "error at 5"},
    {"sbw ix,&h10", "D8 10"},
    {"adw sp,r5", "DF 85"},
    {"adw iz,127", "DE 7F"},
    {"adw iz,128", "error at 11"},
    {"adw v0,1", "error at 5"},
    {"pla ix", "18 38 07"},
    {"pla r120,r56", "18 38 07"},
    {"ijmp sp", "18 BF E7"},
    {"ijmp v3", "18 BB 67"},
    {"pla r120,i56", "18 38 17"},
    {"pla r56,r120", "error at 8"},
    // Form 13.
    {"sbm r8..r11,5", "1B 88 65"},
    {"sbm r8..r11,32", "error at 15"},
    {"nam r8..r11,5", "error at 13"},
    {"tadm r8..r11,r72..r75", "17 08 61"},
    {"adm r72..r75,i8..i11", "17 C8 71"},
    {"adm r72..r75,r9..r12", "error at 21"},
    {"adm r72..r75,r8..r12", "error at 21"},
    {"adm r8..r11,r9..r12", "error at 20"},
    {"anm r8..r11,r72..r74", "error at 21"},
    {"sbbcm r8..r11,1", "3A 88 61"},
    {"adm r8.. r11,r72..r75", "17 88 61"},
    {"adm r8 ..r11,r72..r75", "error at 7"},
    // Form 14: ldm.
    {"ldm r8..r11,r72..r75", "31 88 61"},
    {"ldm r72..r79,r8..r15", "31 C8 E1"},
    {"ldm r8..r15,r72..r79,0", "30 08 E0"},
    {"ldm r8..r15,r72..r78,0", "error at 22"},
    {"ldm r8..r11,(ix)-", "78 80 61"},
    {"ldm r72..r75,(iy)+", "7D C8 60"},
    {"ldm r8..r11,(iy-2)", "91 88 62"},
    {"ldm r8..r15,1", "30 88 E1"},
    {"ldm r8..r15,32", "error at 15"},
    // Forms 15 and 16: stm, stlm.
    {"stm (iy-3),r8..r11", "91 08 62"},
    {"stm (iz+32),r63..r63", "96 3F FF"},
    {"stm (iz+33),r8..r8", "error at 11"},
    {"stm (ix+0),r8..r8", "error at 10"},
    {"stm -(ix),r8..r11", "78 00 61"},
    {"stm +(sp),r72..r75", "7F 48 60"},
    {"stlm -(ix),r8..r11", "78 00 69"},
    {"stlm +(sp),r72..r75", "7F 48 68"},
    {"stlm (ix+1),r8..r11", "error at 6"},
    // Form 17.
    {"rodm r17..r23", "70 01 E2"},
    {"rodm i17..i23", "70 01 F2"},
    {"bium r72..r75", "77 C8 60"},
    {"rodm r6..r9", "error at 12"},
    {"rodm r8..i9", "error at 12"},
    {"rodm r15..r8", "70 07 01"},
    // Forms 18 to 20.
    {"rtn", "C7"},
    {"rtn nz", "C3"},
    {"rtn nk", "C0"},
    {"rtn k", "C8"},
    {"rtn c", "CE"},
    {"rtn x", "error at 5"},
    {"jmp z,&h1234", "AB 12 34"},
    {"cal &h1234", "B7 12 34"},
    {"jmp nlz , 1", "A1 00 01"},
    {"jmp z &h1234", "error at 7"},
    {"jmp", "error at 4"},
    {"sjmp &h1234", "E7 34", 0x1200},
    {"sjmp &h1334", "error at 12", 0x1200},
    {"scal c,&h12FF", "FE FF", 0x12AB},
    {"sjmp 0", "E7 00"},
    // The number reader: a digit that would carry past 0xFFFF is not taken.
    {"jmp 65535", "A7 FF FF"},
    {"jmp &hFFFF", "A7 FF FF"},
    {"jmp 65536", "error at 9"},
    {"jmp 70000", "error at 9"},
    {"jmp 99999", "error at 9"},
    {"jmp &h10000", "error at 11"},
    {"jmp 655350", "error at 10"},
    {"jmp &h", "error at 7"},
    {"jmp & h12", "error at 5"},
    {"jmp 0x12", "error at 6"},
    // Forms 21 and 22.
    {"xcm r8..r11,r72..r75", "31 08 61"},
    {"ldsm r72..r75,r8..r11", "35 C8 61"},
    {"swpm r72..r75", "34 C8 60"},
    {"swpm r8..r11", "34 80 61"},
    {"xcm r8..r11", "error at 12"},
    {"xclm r8..r11,r72..r75", "38 08 61"},
    {"xclm r72..r75,r8..r11", "3D 48 61"},
    // Form 23: db.
    {"db 1,2,3", "01 02 03"},
    {"db 1,2,3,4", "error at 10"},
    {"db 1,", "01"},
    {"db", ""},
    {"db &hff , 0", "FF 00"},
    // A value above 255 fails behind the digits read, as any number above its maximum does.
    {"db 256", "error at 7"},
    {"db 300", "error at 7"},
    {"db 1,300", "error at 9"},
    {"db 1, &h100,2", "error at 12"},
    {"db 70000", "error at 8"},      // 7000 is read; a fifth digit would pass 0xFFFF
    {"db 4294967296", "error at 9"}, // 42949 is read
    {"db &h", "error at 4"},         // no digit: the list ends before it
    {"db x", "error at 4"},
    {"db 1 2", "error at 6"},
};

TEST(Assembler, Cases) {
    for (const Case& c : kCases)
        EXPECT_EQ(Assemble(c.line, c.page), c.result) << "line: " << c.line;
}

TEST(Assembler, OnlyTheFirst64CharactersCount) {
    EXPECT_EQ(Assemble("nop" + std::string(61, ' ') + "x"), "EF");
    EXPECT_EQ(Assemble("nop" + std::string(60, ' ') + "x"), "error at 64");
    EXPECT_EQ(Assemble("jmp " + std::string(60, ' ') + "&h1234"), "error at 65");
    EXPECT_EQ(Assemble(std::string(5000, 'a')), "error at 1");
    // 11111 is read (the next digit would pass 0xFFFF), and is no byte.
    EXPECT_EQ(Assemble("db " + std::string(5000, '1')), "error at 9");
}

TEST(Assembler, AnyBytesFailCleanly) {
    std::string line;
    for (int c = 0; c < 256; ++c) {
        line.assign(1, static_cast<char>(c));
        EXPECT_EQ(AssembleLine(line, 0).AsmPos, c == ' ' || c == ';' ? 0 : 1) << c;
        if (c >= '0' && c <= '9') continue; // a number
        line = "ld r5," + std::string(1, static_cast<char>(c));
        const AsmResult r = AssembleLine(line, 0);
        EXPECT_GT(r.AsmPos, 0) << c;
        EXPECT_LE(r.AsmPos, 8) << c;
    }
}

TEST(Assembler, Tables) {
    ASSERT_EQ(AsmMnemonics().size(), 132u);
    std::map<AsmForm, int> forms;
    for (const AsmMnemonic& m : AsmMnemonics()) ++forms[m.Form];
    using enum AsmForm;
    const std::map<AsmForm, int> expected = {
        {NoOperands, 5}, {OneRegister, 18}, {Alu, 25},         {Pair, 12},
        {DigitShift, 2}, {GetSpecial, 1},   {PutSpecial, 1},   {Load, 1},
        {Store, 1},      {LoadPointer, 1},  {PointerArith, 2}, {PointerTransfer, 2},
        {RunAlu, 24},    {LoadRun, 1},      {StoreRun, 1},     {StoreRunMarked, 1},
        {SingleRun, 16}, {Return, 1},       {Jump, 2},         {ShortJump, 2},
        {RunPair, 12},   {Data, 1}};
    EXPECT_EQ(forms, expected);
    int length = 0;
    EXPECT_EQ(AsmMnemonics()[AsmMatchMnemonic("LDM r8", length)].Name, "ldm");
    EXPECT_EQ(length, 3);
    EXPECT_EQ(AsmMatchMnemonic("zz", length), -1);
    EXPECT_TRUE(AsmIsOperandName("IX"));
    EXPECT_TRUE(AsmIsOperandName("nlz"));
    EXPECT_TRUE(AsmIsOperandName("f"));
    EXPECT_FALSE(AsmIsOperandName("ixx"));
    EXPECT_FALSE(AsmIsOperandName("loop"));
}

// Values handed in place of expressions: taken where the notation reads a number, a stop
// anywhere else; positions are those of the line as written.
TEST(Assembler, ValuesStandForNumbers) {
    struct ValueCase {
        const char* line;
        std::vector<AsmValue> values;
        const char* result;
        uint16_t page = 0;
    };
    const ValueCase cases[] = {
        {"jmp main", {{5, 9, 0x1234}}, "A7 12 34"},
        {"jmp nz,  main+2", {{10, 16, 0x1800}}, "A3 18 00"},
        {"ld r5,(ix+disp)", {{11, 15, 0x10}}, "84 85 10"},
        {"ld r5,(ix+disp)", {{11, 15, 0x100}}, "error at 15"},
        {"st (ix+n),r5", {{8, 9, 1}}, "84 05 00"},
        {"st (ix+n),r5", {{8, 9, 0}}, "error at 9"},
        {"sjmp loop", {{6, 10, 0x2042}}, "E7 42", 0x2001},
        {"sjmp loop", {{6, 10, 0x2142}}, "error at 10", 0x2001},
        {"db a,b , c", {{4, 5, 1}, {6, 7, 2}, {10, 11, 3}}, "01 02 03"},
        {"db big", {{4, 7, 300}}, "error at 7"},
        {"rod label", {{5, 10, 5}}, "error at 5"},        // a register is wanted
        {"pst f,k", {{7, 8, 5}}, "error at 7"},           // f takes no number
        {"jmp 1x", {{5, 6, 1}, {6, 7, 2}}, "error at 6"}, // two values are not one number
        {"pst ie,ixy", {{8, 11, 0x12}}, "88 12"},         // a value is never read as a name
        {"ld r5,r", {{7, 8, 3}}, "20 85 03"},             // nor as a register
    };
    for (const ValueCase& c : cases)
        EXPECT_EQ(Text(AssembleLine(c.line, c.page, c.values)), c.result) << c.line;
    // Without the 64-character cut: a long line with values is read to its end.
    const std::string longLine = "jmp " + std::string(80, ' ') + "target";
    const AsmValue target{85, 91, 0x2000};
    EXPECT_EQ(Text(AssembleLine(longLine, 0, std::span(&target, 1))), "A7 20 00");
}

} // namespace

namespace {

// Random lines from the notation's own characters: every call ends with a position inside the
// cut line (or one past it) and at most three bytes.
TEST(Assembler, RandomLinesStayInBounds) {
    const std::string alphabet = "rRi0123456789&hH.,()+- ;xyzspkcnldmtaw";
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    int accepted = 0;
    for (int n = 0; n < 20000; ++n) {
        const int m = static_cast<int>(next() % AsmMnemonics().size());
        std::string line(AsmMnemonics()[static_cast<std::size_t>(m)].Name);
        const int length = static_cast<int>(next() % 80);
        for (int k = 0; k < length; ++k) line += alphabet[next() % alphabet.size()];
        const AsmResult r = AssembleLine(line, static_cast<uint16_t>(next()));
        ASSERT_GE(r.AsmPos, 0) << line;
        ASSERT_LE(r.AsmPos, std::min<int>(static_cast<int>(line.size()), kAsmLineMax) + 1) << line;
        if (r.AsmPos == 0) {
            ASSERT_LE(r.AsmCount, 3) << line;
            ++accepted;
        }
    }
    EXPECT_GT(accepted, 0);
}

} // namespace

TEST(Assembler, FailureTexts) {
    const struct {
        const char* line;
        const char* text; // of the position the assembler stops at
    } cases[] = {
        {"xyz r5", "unknown instruction"},
        {"  frob", "unknown instruction"},
        {"ld r5,(ix )", "cannot assemble 'ld': stopped at ')'; expected "
                        "A,B | rN,rM,n | rN,(p)+ | rN,(p+n) | rN,n"},
        {"  ld", "cannot assemble 'ld': stopped at the end of the line; expected "
                 "A,B | rN,rM,n | rN,(p)+ | rN,(p+n) | rN,n"},
        {"NOP x", "cannot assemble 'nop': stopped at 'x'; expected no operands"},
        {"ldx r5", "cannot assemble 'ld': stopped at 'x'; expected "
                   "A,B | rN,rM,n | rN,(p)+ | rN,(p+n) | rN,n"},
        {"jmp 70000",
         "cannot assemble 'jmp': stopped at '0'; expected address | condition,address"},
    };
    for (const auto& c : cases) {
        const AsmResult r = AssembleLine(c.line, 0);
        ASSERT_FALSE(r.Ok()) << c.line;
        EXPECT_EQ(AsmFailureText(c.line, r.AsmPos), c.text) << c.line;
    }
    // A value standing at the stop shows as its first digit.
    const AsmValue value{7, 10, 0x1234};
    EXPECT_EQ(AsmFailureText("ld r5,(abc)", 7, std::span(&value, 1)),
              "cannot assemble 'ld': stopped at '4'; expected "
              "A,B | rN,rM,n | rN,(p)+ | rN,(p+n) | rN,n");
}
