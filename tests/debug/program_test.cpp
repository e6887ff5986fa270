// The whole-program assembler: labels, forward references, org in both memories, data,
// expressions, the listing, and errors with their positions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Cpu.h"
#include "debug/Program.h"

namespace {

std::vector<uint8_t> Word(const ProgramImage& img, int w) {
    return {img.Rom[w * 3], img.Rom[w * 3 + 1], img.Rom[w * 3 + 2]};
}

std::vector<uint8_t> ExtBytes(const ProgramImage& img, int from, int n) {
    return std::vector<uint8_t>(img.Ext.begin() + from, img.Ext.begin() + from + n);
}

std::string FirstError(const ProgramImage& img) {
    if (img.Errors.empty()) return "no error";
    const ProgramError& e = img.Errors[0];
    return std::to_string(e.Line) + ":" + std::to_string(e.Column);
}

TEST(Program, InternalRomLabelsAndForwardReferences) {
    const auto img = AssembleProgram("; start of the program\n"
                                     "        org 0\n"
                                     "start:  jmp main        ; forward\n"
                                     "        nop\n"
                                     "main:   ld r5,&h12\n"
                                     "        sjmp main\n"
                                     "        db 1,2\n"
                                     "        dw start+&h1234\n"
                                     "        jmp start\n");
    ASSERT_TRUE(img.Ok()) << img.Errors[0].Message;
    ASSERT_EQ(img.Rom.size(), 18432u);
    ASSERT_EQ(img.Ext.size(), 32768u);
    EXPECT_EQ(Word(img, 0), (std::vector<uint8_t>{0xA7, 0x00, 0x02}));
    EXPECT_EQ(Word(img, 1), (std::vector<uint8_t>{0xEF, 0x00, 0x00}));
    EXPECT_EQ(Word(img, 2), (std::vector<uint8_t>{0x20, 0x85, 0x12}));
    EXPECT_EQ(Word(img, 3), (std::vector<uint8_t>{0xE7, 0x02, 0x00}));
    EXPECT_EQ(Word(img, 4), (std::vector<uint8_t>{0x01, 0x02, 0x00}));
    EXPECT_EQ(Word(img, 5), (std::vector<uint8_t>{0x12, 0x34, 0x00}));
    EXPECT_EQ(Word(img, 6), (std::vector<uint8_t>{0xA7, 0x00, 0x00}));
    for (int i = 7 * 3; i < kRomBytes; ++i) ASSERT_EQ(img.Rom[i], 0) << i;
    for (uint8_t b : img.Ext) ASSERT_EQ(b, 0);
}

TEST(Program, ExternalMemoryTakesExactlyTheBytes) {
    const auto img = AssembleProgram("        org &h1800\n"
                                     "ext:    ld r5,r70\n"
                                     "        nop\n"
                                     "        sjmp ext\n"
                                     "        db 1,2,3,4,5\n"
                                     "        dw &h1234, ext\n"
                                     "        ld r5,(ix)+\n"
                                     "        cal ext\n");
    ASSERT_TRUE(img.Ok()) << img.Errors[0].Message;
    EXPECT_EQ(ExtBytes(img, 0x1800, 20),
              (std::vector<uint8_t>{0x21, 0x86, 0xA0, 0xEF, 0xE7, 0x00, 0x01, 0x02, 0x03, 0x04,
                                    0x05, 0x12, 0x34, 0x18, 0x00, 0x6C, 0x85, 0xB7, 0x18, 0x00}));
    for (uint8_t b : img.Rom) ASSERT_EQ(b, 0);
}

TEST(Program, EquExpressionsHighLow) {
    const auto img = AssembleProgram("BASE  equ &h2000\n"
                                     "LEN   equ END - BASE   ; uses a label further down\n"
                                     "SIX   equ 0x6\n"
                                     "      org BASE\n"
                                     "      ldw ix,BASE+4\n"
                                     "      pst ie,low(BASE+&h1F)\n"
                                     "      db high(LEN), low(LEN), 'A'\n"
                                     "      st (iy+SIX-1),r5\n"
                                     "      jmp $\n"
                                     "END:\n"
                                     "      org 10\n"
                                     "here: jmp here+1-1\n");
    ASSERT_TRUE(img.Ok()) << FirstError(img) << " " << img.Errors[0].Message;
    EXPECT_EQ(ExtBytes(img, 0x2000, 14),
              (std::vector<uint8_t>{0xD0, 0x20, 0x04, 0x88, 0x1F, 0x00, 0x0E, 0x41, 0x85, 0x05,
                                    0x04, 0xA7, 0x20, 0x0B}));
    EXPECT_EQ(Word(img, 10), (std::vector<uint8_t>{0xA7, 0x00, 0x0A}));
}

TEST(Program, OrgAboveTheExternalMirror) {
    // 0x9800 and 0x1800 name the same external byte.
    const auto img = AssembleProgram(" org &h9800\n nop\n");
    ASSERT_TRUE(img.Ok());
    EXPECT_EQ(img.Ext[0x1800], 0xEF);
    const auto clash = AssembleProgram(" org &h1800\n nop\n org &h9800\n nop\n");
    ASSERT_FALSE(clash.Ok());
    EXPECT_EQ(FirstError(clash), "4:2");
    EXPECT_NE(clash.Errors[0].Message.find("line 2"), std::string::npos);
}

TEST(Program, InternalCodeRunsOnIntoExternalMemory) {
    const auto img = AssembleProgram(" org &h17FF\n nop\n ld r5,r70\n");
    ASSERT_TRUE(img.Ok());
    EXPECT_EQ(Word(img, 0x17FF), (std::vector<uint8_t>{0xEF, 0x00, 0x00}));
    EXPECT_EQ(ExtBytes(img, 0x1800, 3), (std::vector<uint8_t>{0x21, 0x86, 0xA0}));
}

TEST(Program, Listing) {
    const auto img = AssembleProgram("N equ 5\n org &h1800\nloop: ld r5,N ; five\n db 1,2,3,4\n");
    ASSERT_TRUE(img.Ok());
    EXPECT_EQ(img.Listing, "=0005            N equ 5\n"
                           "1800              org &h1800\n"
                           "1800  20 85 05   loop: ld r5,N ; five\n"
                           "1803  01 02 03    db 1,2,3,4\n"
                           "1806  04\n");
}

struct ErrorCase {
    const char* source;
    const char* where;   // line:column of the first error
    const char* message; // part of its text
};

const ErrorCase kErrors[] = {
    {"  foo r5\n", "1:3", "unknown instruction 'foo'"},
    {"  nop\n  jmp nowhere\n", "2:7", "undefined name 'nowhere'"},
    {"  na r5,r6\n", "1:11", "cannot assemble 'na'"},
    {"  ld r5,(ix )\n", "1:13", "cannot assemble 'ld'"},
    {"  ld r5, r200\n", "1:14", "cannot assemble 'ld'"},
    {"  rtn nz x\n", "1:10", "cannot assemble 'rtn'"},
    {" org &h1200\n sjmp far\nfar equ &h1334\n", "2:7", "not in the page"},
    {" org &h12FF\n sjmp &h1234\n", "2:2", "next page"},
    {" org &h18FE\n sjmp &h1834\n", "2:2", "next page"},
    {"a: nop\na: nop\n", "2:1", "already defined on line 1"},
    {"ix: nop\n", "1:1", "reserved"},
    {"r5 equ 3\n", "1:1", "reserved"},
    {" db 300\n", "1:5", "does not fit in a byte"},
    {"VAL equ 300\n pst ie,VAL\n", "2:9", "value 300"},
    {" jmp 99999\n", "1:6", "out of range"},
    {" jmp 0-1\n", "1:6", "out of range"},
    {" jmp high(\n", "1:11", "a value is missing"},
    {" jmp high(5\n", "1:12", "')' expected"},
    {" jmp 12ab\n", "1:6", "malformed number"},
    {" org later\nlater: nop\n", "1:6", "org takes only names defined above it"},
    {"A equ B\nB equ A\n nop\n", "2:7", "in terms of itself"},
    {" org &h100\n db 1,2,3,4\n", "2:2", "at most three bytes"},
    {" dw\n", "1:4", "at least one value"},
    {" org &h0\n nop\n org 0\n nop\n", "4:2", "already used by line 2"},
    {" org &hFFFF\n ld r5,r70\n", "2:2", "past address &HFFFF"},
    {" ld r5,ix\n", "1:9", "cannot assemble 'ld'"},
    {" db 1,2 x\n", "1:9", "unexpected 'x'"},
};

TEST(Program, ErrorsWithPositions) {
    for (const ErrorCase& c : kErrors) {
        const auto img = AssembleProgram(c.source);
        ASSERT_FALSE(img.Ok()) << c.source;
        EXPECT_EQ(FirstError(img), c.where) << c.source << img.Errors[0].Message;
        EXPECT_NE(img.Errors[0].Message.find(c.message), std::string::npos)
            << c.source << " -> " << img.Errors[0].Message;
        EXPECT_TRUE(img.Listing.empty());
    }
}

TEST(Program, SeveralErrorsAreReportedInLineOrder) {
    const auto img = AssembleProgram(" foo\n nop\n bar\n baz\n");
    ASSERT_EQ(img.Errors.size(), 3u);
    EXPECT_EQ(img.Errors[0].Line, 1);
    EXPECT_EQ(img.Errors[1].Line, 3);
    EXPECT_EQ(img.Errors[2].Line, 4);
}

TEST(Program, TabsCarriageReturnsAndOddBytes) {
    const auto img = AssembleProgram("\tnop\r\n\tld\tr5,r70\r\n");
    ASSERT_TRUE(img.Ok());
    EXPECT_EQ(Word(img, 1), (std::vector<uint8_t>{0x21, 0x86, 0xA0}));
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 37) & 0xFF);
    const auto bad = AssembleProgram(junk);
    EXPECT_FALSE(bad.Ok());
    EXPECT_TRUE(AssembleProgram("").Ok());
}

} // namespace
