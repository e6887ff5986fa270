// Fuzz target for the assemblers. Every line of the input goes through the one-line assembler
// (cut to 64 characters, as the debug window does), and the whole input through the
// whole-program assembler. Checked:
//   - AssembleLine ends with AsmPos 0 and 0..3 bytes, or with AsmPos between 1 and one past
//     the last character read; it changes no processor state, keeps nothing from one call to
//     the next, and never reads past the 64th character; the same line with each of its
//     numbers handed in as a value gives the same result;
//   - the bytes of a successful line list as a row that assembles again, and that row's bytes
//     list as the same row (except the two encodings the notation cannot write);
//   - a failed line's AsmFailureText is some words;
//   - AssembleProgram gives full-size images on success, and otherwise at most 40 errors in
//     line order, each on a line of the source, from column 1, with a message.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "debug/Asem.h"
#include "debug/Dis.h"
#include "debug/Program.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

void ReportWarning(std::string_view) {}

namespace {
constexpr uint16_t kAt = 0x2000; // external memory: every instruction its own length
constexpr size_t kMaxErrors = 40;

[[noreturn]] void Broken(const char* what, std::string_view line) {
    std::fprintf(stderr, "invariant broken: %s (\"%.*s\")\n", what,
                 static_cast<int>(std::min<size_t>(line.size(), 200)), line.data());
    std::abort();
}

// The processor state as it was before a call, to compare against after it.
CpuState g_before;

struct Result {
    int32_t pos, count;
    std::array<uint8_t, 3> bytes;
    bool operator==(const Result& o) const {
        return pos == o.pos &&
               (pos != 0 || (count == o.count &&
                             std::equal(bytes.begin(), bytes.begin() + count, o.bytes.begin())));
    }
};

Result Assemble(std::string_view line, uint16_t page, std::span<const AsmValue> values = {}) {
    const AsmResult r =
        values.empty() ? AssembleLine(line, page) : AssembleLine(line, page, values);
    return {r.AsmPos, r.AsmCount, r.AsmBytes};
}

// The decimal numbers of the line (runs of digits not after a letter, "&" or a digit, below
// 65536) as values standing at their places.
std::vector<AsmValue> DecimalValues(std::string_view line) {
    std::vector<AsmValue> values;
    for (size_t i = 0; i < line.size();) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        const char before = i ? line[i - 1] : ' ';
        const bool word = std::isalnum(static_cast<unsigned char>(before)) || before == '&';
        if (!digit || word) {
            ++i;
            continue;
        }
        size_t end = i;
        uint32_t v = 0;
        while (end < line.size() && line[end] >= '0' && line[end] <= '9' && v < 6554)
            v = v * 10 + static_cast<uint32_t>(line[end++] - '0');
        if (v <= 0xFFFF && (end == line.size() || line[end] < '0' || line[end] > '9'))
            values.push_back({static_cast<int32_t>(i + 1), static_cast<int32_t>(end + 1),
                              static_cast<uint16_t>(v)});
        i = end;
    }
    return values;
}

// The listing row of BYTES at kAt, and the text of it the assembler takes back.
std::string RowOf(const std::array<uint8_t, 3>& bytes, int count) {
    for (int k = 0; k < 3; ++k) g_cpu.Ext[kAt + k] = k < count ? bytes[k] : 0;
    return ListingRow(Decode(kAt));
}

std::string AsmText(const std::string& row) {
    return row.substr(6, 6) + " " + (row.size() > 12 ? row.substr(12) : std::string());
}

// The encodings the listing shows under names the assembler does not take: 0x1D, and sdn/sup
// with byte 1 bit 6 clear.
bool Unwritable() {
    const uint8_t b0 = g_cpu.Ext[kAt], b1 = g_cpu.Ext[kAt + 1];
    return b0 == 0x1D || (b0 == 0x1C && ((b1 >> 6) & 1) == 0);
}

void CheckLine(std::string_view full) {
    const std::string_view line = full.substr(0, kAsmLineMax);
    std::memcpy(&g_before, &g_cpu, sizeof g_cpu);
    const Result r = Assemble(line, kAt);
    if (std::memcmp(&g_before, &g_cpu, sizeof g_cpu) != 0)
        Broken("AssembleLine changed processor state", line);
    if (r.pos < 0 || r.pos > static_cast<int32_t>(line.size()) + 1)
        Broken("AsmPos outside the line", line);
    if (r.pos == 0 && (r.count < 0 || r.count > 3)) Broken("AsmCount outside 0..3", line);
    if (!(Assemble(line, kAt) == r)) Broken("a second call gave another result", line);
    if (full.size() > line.size() && !(Assemble(full, kAt) == r))
        Broken("characters past the 64th changed the result", line);
    const std::vector<AsmValue> values = DecimalValues(line);
    if (!values.empty() && !(Assemble(line, kAt, values) == r))
        Broken("numbers handed in as values gave another result", line);
    if (r.pos != 0 && AsmFailureText(line, r.pos).empty()) Broken("a failure without words", line);
    if (r.pos != 0 || r.count == 0) return;

    // The bytes list as a row, the row assembles, and its bytes list as the same row.
    const std::string first = RowOf(r.bytes, r.count);
    if (first.size() < 6 || first.compare(0, 5, "2000:") != 0)
        Broken("a row of another form", first);
    const Result again = Assemble(AsmText(first), kAt);
    if (again.pos != 0) {
        if (Unwritable()) return;
        Broken("a listed row does not assemble", first);
    }
    if (RowOf(again.bytes, again.count) != first) Broken("a row does not list as itself", first);
}

void CheckProgram(std::string_view source) {
    const ProgramImage image = AssembleProgram(source);
    if (image.Ok()) {
        if (image.Rom.size() != static_cast<size_t>(kRomWords) * 3) Broken("a short rom0", source);
        if (image.Ext.size() != static_cast<size_t>(kExtBytes)) Broken("a short rom1", source);
        return;
    }
    if (image.Errors.size() > kMaxErrors) Broken("more than 40 errors", source);
    const int lines = static_cast<int>(std::count(source.begin(), source.end(), '\n')) + 1;
    int previous = 0;
    for (const ProgramError& e : image.Errors) {
        if (e.Line < 1 || e.Line > lines) Broken("an error on a line not in the source", source);
        if (e.Line < previous) Broken("errors out of line order", source);
        if (e.Column < 1) Broken("an error before column 1", source);
        if (e.Message.empty()) Broken("an error without a message", source);
        previous = e.Line;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ResetMachine();
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        CheckLine(text.substr(start, end - start));
        start = end + 1;
    }
    CheckProgram(text);
    return 0;
}
