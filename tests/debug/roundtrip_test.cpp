// Round trip over every opcode index: disassemble random bytes, assemble the text back and
// compare the bytes. The notation does not carry every bit of every instruction; the bits it
// drops, and the instructions it cannot write at all, are listed in Expected() below.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "debug/Asem.h"
#include "debug/Dis.h"

namespace {

constexpr uint16_t kAt = 0x2000; // external memory: every instruction has its own length

struct Expectation {
    bool assembles = true;                // false: the text is not in the assembler's notation
    uint8_t bytes[3] = {};                // what the assembler gives back
    uint8_t mask[3] = {0xFF, 0xFF, 0xFF}; // bits compared
};

// What assembling the listed text must give for the bytes b0 b1 b2 of opcode index index.
Expectation Expected(int index, uint8_t b0, uint8_t b1, uint8_t b2) {
    Expectation e;
    e.bytes[0] = b0;
    e.bytes[1] = b1;
    e.bytes[2] = b2;
    const OperandFormat format = kInstructions[index].Format;
    const int col = b0 < 0xA0 ? (b1 >> 6) : -1;

    // 0x1D is listed under the names "[1D00]".."[1DC0]", which are no mnemonics; sdn/sup with
    // a first register below r64 (byte 1 bit 6 clear) cannot be written either.
    if (b0 == 0x1D || (b0 == 0x1C && (col & 1) == 0)) {
        e.assembles = false;
        return e;
    }
    // 0x9F executes and lists as bdn/bup exactly like 0x9E; the assembler writes 0x9E.
    if (b0 == 0x9F) e.bytes[0] = 0x9E;
    // pla/ijmp list byte 1 through the upper register only, and the three-operand ldm at 0x30
    // lists its first range from byte 1 bits 5-0: byte 1 bit 6 is not in the text.
    if (b0 == 0x18 || (b0 == 0x30 && col < 2)) e.mask[1] &= static_cast<uint8_t>(~0x40);

    // Byte 2 bit 3 has no effect on execution and shows only in "stlm".
    using enum OperandFormat;
    switch (format) {
    case Lower:
    case LowerUpper:
    case UpperLower:
    case RegLower:
    case PointerPair:
    case StoreLowerRun:
    case StoreUpperRun:
    case LoadLowerRun:
    case LoadUpperRun:
    case LowerRange:
    case UpperRange:
    case LowerUpperRange:
    case UpperLowerRange:
        if (!(b0 >= 0x78 && b0 <= 0x7F && col < 2)) e.mask[2] &= static_cast<uint8_t>(~0x08);
        break;
    default: break;
    }
    switch (format) {
    case Lower: e.mask[1] &= 0xC0; break; // swp, one lower register: byte 1 is only the column
    case Upper: e.mask[2] = 0; break;     // swp, one upper register: byte 2 unused
    case StoreLowerRun:
    case LoadLowerRun:
        // Lower block through a pointer: listed with "r" whatever byte 2 bit 4 says, and the
        // start's group comes from byte 2, so byte 1 bits 5-3 are not listed.
        e.mask[2] &= static_cast<uint8_t>(~0x10);
        e.mask[1] &= static_cast<uint8_t>(~0x38);
        break;
    case LowerRange: e.mask[1] &= static_cast<uint8_t>(~0x38); break; // lower single range
    case StoreUpperRun:
    case LoadUpperRun:
    case UpperRange: e.mask[2] &= 0xE0; break; // upper single range: only the end in byte 2
    default: break;
    }
    return e;
}

std::string Hex(const uint8_t* b, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X ", b[i]);
        s += buf;
    }
    return s;
}

TEST(RoundTrip, EveryIndexWithRandomOperands) {
    std::mt19937 rng(20240611);
    int checked = 0, notation = 0;
    for (int index = 0; index < kOpcodeIndices; ++index) {
        for (int trial = 0; trial < 64; ++trial) {
            uint8_t b0, b1 = static_cast<uint8_t>(rng()), b2 = static_cast<uint8_t>(rng());
            if (index >= 640) {
                b0 = static_cast<uint8_t>(index - 480);
            } else {
                b0 = static_cast<uint8_t>(index / 4);
                b1 = static_cast<uint8_t>((b1 & 0x3F) | (index % 4) << 6);
            }
            g_cpu.Ext[kAt] = b0;
            g_cpu.Ext[kAt + 1] = b1;
            g_cpu.Ext[kAt + 2] = b2;
            const DecodedInstruction d = Decode(kAt);
            const std::string row = ListingRow(d);
            const int length = static_cast<uint16_t>(d.Next - kAt);
            const std::string text = row.substr(6);

            const AsmResult r = AssembleLine(text.substr(0, 6) + " " + text.substr(6), kAt);
            const Expectation e = Expected(index, b0, b1, b2);
            if (!e.assembles) {
                EXPECT_NE(r.AsmPos, 0) << row;
                ++notation;
                continue;
            }
            ASSERT_EQ(r.AsmPos, 0) << "index " << index << ": " << row;
            ASSERT_EQ(r.AsmCount, length) << "index " << index << ": " << row;
            for (int k = 0; k < length; ++k)
                ASSERT_EQ(r.AsmBytes[k] & e.mask[k], e.bytes[k] & e.mask[k])
                    << "index " << index << " byte " << k << ": " << row << " -> "
                    << Hex(r.AsmBytes.data(), r.AsmCount);
            ++checked;
        }
    }
    // Everything but 0x1D and half of 0x1C comes back.
    EXPECT_EQ(notation, 6 * 64);
    EXPECT_EQ(checked, (kOpcodeIndices - 6) * 64);
}

// The assembled text lists the same again: the bits the notation drops are really dropped, not
// garbled.
TEST(RoundTrip, TextIsAFixedPoint) {
    std::mt19937 rng(7);
    for (int index = 0; index < kOpcodeIndices; ++index) {
        for (int trial = 0; trial < 16; ++trial) {
            const uint8_t b0 = static_cast<uint8_t>(index >= 640 ? index - 480 : index / 4);
            uint8_t b1 = static_cast<uint8_t>(rng()), b2 = static_cast<uint8_t>(rng());
            if (index < 640) b1 = static_cast<uint8_t>((b1 & 0x3F) | (index % 4) << 6);
            g_cpu.Ext[kAt] = b0;
            g_cpu.Ext[kAt + 1] = b1;
            g_cpu.Ext[kAt + 2] = b2;
            const std::string first = ListingRow(Decode(kAt));
            const AsmResult r = AssembleLine(first.substr(6, 6) + " " + first.substr(12), kAt);
            if (r.AsmPos != 0) continue; // the two unwritable cases above
            for (int k = 0; k < 3; ++k) g_cpu.Ext[kAt + k] = k < r.AsmCount ? r.AsmBytes[k] : 0;
            EXPECT_EQ(ListingRow(Decode(kAt)), first) << "index " << index;
        }
    }
}

// In the internal ROM a short jump lists the page of the next word, which is the page the
// assembler checks against as long as the word is not the last of its page.
TEST(RoundTrip, ShortJumpPageInTheInternalRom) {
    for (uint16_t word : {0x0100, 0x01FE, 0x01FF}) {
        g_cpu.Rom[word * 3] = 0xE7;
        g_cpu.Rom[word * 3 + 1] = 0x42;
        const std::string row = ListingRow(Decode(word));
        const AsmResult r = AssembleLine(row.substr(6, 6) + " " + row.substr(12), word);
        if (word == 0x01FF) {
            EXPECT_EQ(row.substr(12), "&H0242");
            EXPECT_NE(r.AsmPos, 0);
        } else {
            EXPECT_EQ(r.AsmPos, 0);
            EXPECT_EQ(r.AsmBytes[1], 0x42);
        }
    }
}

} // namespace
