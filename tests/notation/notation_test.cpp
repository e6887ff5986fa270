// Golden runs of the notation's three engines: the listing of a fixed image, thousands of
// one-line assembler results (rows of listings, rows with typing mistakes, random lines), and
// whole programs (images, listings, every error with its line, column and message). The files
// in tests/data (*-golden.txt.gz) were recorded with velmora-dis and velmora-asm as they were
// before the instruction table, the decoder and the value-taking assembler came in, apart from
// the one intended change since: a db value above 255 fails behind its digits.
// VELMORA_REWRITE_GOLDENS=1 rewrites them from this build when a change of the notation is
// intended.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/Cpu.h"
#include "core/Decode.h"
#include "core/Machine.h"
#include "debug/Asem.h"
#include "debug/Dis.h"
#include "debug/Program.h"

namespace {

std::string Path(const char* name) {
    return std::string(VELMORA_TEST_DATA) + "/" + name;
}

bool Rewriting() {
    const char* v = std::getenv("VELMORA_REWRITE_GOLDENS");
    return v && *v && std::string_view(v) != "0";
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    gzFile file = gzopen(path.c_str(), "rb");
    if (!file) return lines;
    std::string text;
    char buffer[1 << 15];
    int n;
    while ((n = gzread(file, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    gzclose(file);
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    gzFile file = gzopen(path.c_str(), "wb9");
    ASSERT_NE(file, nullptr) << path;
    for (const std::string& line : lines) {
        gzwrite(file, line.data(), static_cast<unsigned>(line.size()));
        gzputc(file, '\n');
    }
    gzclose(file);
}

// Compares a golden file with what this build gives, reporting the first differences; or
// rewrites it.
void Check(const char* name, const std::vector<std::string>& actual) {
    const std::string path = Path(name);
    if (Rewriting()) {
        WriteLines(path, actual);
        return;
    }
    const std::vector<std::string> expected = ReadLines(path);
    ASSERT_FALSE(expected.empty()) << "cannot read " << path;
    int reported = 0;
    for (size_t i = 0; i < std::max(expected.size(), actual.size()) && reported < 20; ++i) {
        const std::string e = i < expected.size() ? expected[i] : "(nothing)";
        const std::string a = i < actual.size() ? actual[i] : "(nothing)";
        if (e != a) {
            ADD_FAILURE() << name << " line " << i + 1 << "\n  expected: " << e
                          << "\n  actual:   " << a;
            ++reported;
        }
    }
}

// --- The disassembler ---------------------------------------------------------------------------

// The golden image: xorshift32 bytes over the internal ROM and external memory, then every
// opcode index twice from 0x1800, each in a three-byte slot with random operand bits.
void BuildImage() {
    uint32_t x = 0x2545F491;
    const auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return static_cast<uint8_t>(x);
    };
    for (uint8_t& b : g_cpu.Rom) b = next();
    for (uint8_t& b : g_cpu.Ext) b = next();
    int at = 0x1800;
    for (int round = 0; round < 2; ++round) {
        for (int index = 0; index < kOpcodeIndices; ++index) {
            const uint8_t b0 = static_cast<uint8_t>(index >= 640 ? index - 480 : index / 4);
            const uint8_t b1 =
                index >= 640 ? next() : static_cast<uint8_t>((next() & 0x3F) | (index % 4) << 6);
            g_cpu.Ext[at++] = b0;
            g_cpu.Ext[at++] = b1;
            g_cpu.Ext[at++] = next();
        }
    }
}

TEST(Golden, ListingOfAFixedImage) {
    ResetMachine();
    BuildImage();
    std::vector<std::string> rows;
    // As velmora-dis prints them: the internal ROM, its last words running on into external
    // memory, the slots of every index, and the wrap past 0xFFFF.
    const struct {
        uint16_t from;
        int count;
    } ranges[] = {{0x0000, 512}, {0x17F0, 24}, {0x1800, 1700}, {0xFFF0, 24}};
    for (const auto& r : ranges) {
        uint16_t at = r.from;
        for (int i = 0; i < r.count; ++i) {
            const DecodedInstruction d = Decode(at);
            std::string row = ListingRow(d);
            while (row.back() == ' ') row.pop_back();
            rows.push_back(row);
            at = d.Next;
            if (at < r.from) break;
        }
    }
    Check("dis-golden.txt.gz", rows);
}

// --- The one-line assembler ---------------------------------------------------------------------

std::string ResultText(const AsmResult& r) {
    if (!r.Ok()) return "error at " + std::to_string(r.AsmPos);
    std::string out;
    for (int i = 0; i < r.AsmCount; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", r.AsmBytes[i]);
        out += buf;
    }
    return out;
}

// The decimal numbers of a line (digit runs not behind a letter, "&" or a digit, up to 65535),
// as values standing at their places.
std::vector<AsmValue> DecimalValues(std::string_view line) {
    std::vector<AsmValue> values;
    for (size_t i = 0; i < line.size();) {
        const char before = i ? line[i - 1] : ' ';
        const bool afterWord = std::isalnum(static_cast<unsigned char>(before)) || before == '&';
        if (!std::isdigit(static_cast<unsigned char>(line[i])) || afterWord) {
            ++i;
            continue;
        }
        size_t end = i;
        uint32_t v = 0;
        while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end])) && v < 6554)
            v = v * 10 + static_cast<uint32_t>(line[end++] - '0');
        if (v <= 0xFFFF &&
            (end == line.size() || !std::isdigit(static_cast<unsigned char>(line[end]))))
            values.push_back({static_cast<int32_t>(i + 1), static_cast<int32_t>(end + 1),
                              static_cast<uint16_t>(v)});
        i = end;
    }
    return values;
}

// Each golden line is "PAGE<tab>LINE<tab>RESULT", PAGE in hex, RESULT the bytes or "error at N".
TEST(Golden, OneLineAssembler) {
    const std::vector<std::string> golden = ReadLines(Path("asm-golden.txt.gz"));
    ASSERT_GT(golden.size(), 5000u);
    std::vector<std::string> actual;
    int withValues = 0;
    for (const std::string& record : golden) {
        const size_t tab = record.find('\t'), last = record.rfind('\t');
        ASSERT_NE(tab, last) << record;
        const uint16_t page = static_cast<uint16_t>(std::stoul(record.substr(0, tab), nullptr, 16));
        const std::string line = record.substr(tab + 1, last - tab - 1);
        const std::string result = ResultText(AssembleLine(line, page));
        actual.push_back(record.substr(0, last + 1) + result);
        // The same line with its numbers handed in as values, as the program assembler hands in
        // its expressions, reads the same.
        const std::string_view cut = std::string_view(line).substr(0, kAsmLineMax);
        const std::vector<AsmValue> values = DecimalValues(cut);
        if (values.empty()) continue;
        ++withValues;
        EXPECT_EQ(ResultText(AssembleLine(cut, page, values)), result) << line;
    }
    EXPECT_GT(withValues, 500);
    Check("asm-golden.txt.gz", actual);
}

// --- The program assembler ----------------------------------------------------------------------

std::string Crc(const std::vector<uint8_t>& bytes) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08lX",
                  crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
    return buf;
}

// Records "#### program NAME", the source, "#### expect", then either the images' CRC-32s and the
// listing, or one "error LINE:COLUMN: message" line per error.
TEST(Golden, WholePrograms) {
    const std::vector<std::string> golden = ReadLines(Path("program-golden.txt.gz"));
    ASSERT_FALSE(golden.empty());
    std::vector<std::string> actual;
    int programs = 0, failing = 0;
    for (size_t i = 0; i < golden.size();) {
        ASSERT_EQ(golden[i].rfind("#### program ", 0), 0u) << "line " << i + 1;
        actual.push_back(golden[i++]);
        std::string source;
        while (i < golden.size() && golden[i] != "#### expect") {
            actual.push_back(golden[i]);
            source += golden[i++] + "\n";
        }
        ASSERT_LT(i, golden.size());
        actual.push_back(golden[i++]);
        while (i < golden.size() && golden[i].rfind("#### program ", 0) != 0) ++i;

        const ProgramImage image = AssembleProgram(source);
        ++programs;
        if (!image.Ok()) {
            ++failing;
            for (const ProgramError& e : image.Errors)
                actual.push_back("error " + std::to_string(e.Line) + ":" +
                                 std::to_string(e.Column) + ": " + e.Message);
            continue;
        }
        actual.push_back("rom0 " + Crc(image.Rom));
        actual.push_back("rom1 " + Crc(image.Ext));
        std::string listing = image.Listing;
        while (!listing.empty() && listing.back() == '\n') listing.pop_back();
        for (size_t start = 0; start <= listing.size();) {
            const size_t end = std::min(listing.find('\n', start), listing.size());
            actual.push_back(listing.substr(start, end - start));
            start = end + 1;
        }
    }
    EXPECT_GE(programs, 50);
    EXPECT_GE(failing, 20);
    EXPECT_GE(programs - failing, 20);
    Check("program-golden.txt.gz", actual);
}

} // namespace
