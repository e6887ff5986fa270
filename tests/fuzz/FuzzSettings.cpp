// Fuzz target for the settings reader: the input is the text of velmora.ini. The ini lookup and
// the integer parser run on it directly, and LoadSettings reads it from a private directory;
// the results must agree, every value found must lie inside the text on one line, and every
// integer parsed must come back unchanged from its own decimal and hexadecimal spelling.
#include "FuzzDir.h"

#include "core/Machine.h"
#include "host/Files.h"
#include "host/RunLoop.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

void ReportWarning(std::string_view) {}

namespace {
[[noreturn]] void Broken(const char* what, std::string_view text) {
    std::fprintf(stderr, "invariant broken: %s (\"%.*s\")\n", what,
                 static_cast<int>(text.size() > 200 ? 200 : text.size()), text.data());
    std::abort();
}

// Spells VALUE as the settings file may: decimal, "$" hex and "0x" hex, with its sign.
void CheckRoundTrip(int32_t value) {
    const int64_t v = value;
    const uint64_t magnitude = static_cast<uint64_t>(v < 0 ? -v : v);
    const char* sign = v < 0 ? "-" : "";
    char spellings[3][32];
    std::snprintf(spellings[0], sizeof spellings[0], "%" PRId64, v);
    std::snprintf(spellings[1], sizeof spellings[1], "%s$%" PRIX64, sign, magnitude);
    std::snprintf(spellings[2], sizeof spellings[2], "  %s0x%" PRIx64 "\t", sign, magnitude);
    for (const char* s : spellings)
        if (ParseSettingInteger(s) != value) Broken("a value does not read back", s);
}

std::optional<int32_t> CheckedInteger(std::string_view text) {
    const std::optional<int32_t> value = ParseSettingInteger(text);
    if (value) CheckRoundTrip(*value);
    return value;
}

// The value of KEY, checked to be a piece of FILE that holds no line break.
std::optional<std::string_view> CheckedValue(std::string_view file, std::string_view key) {
    const auto value = FindIniValue(file, "Settings", key);
    if (value) {
        // An empty value may be any empty view; a non-empty one must be a piece of the text.
        if (!value->empty() && (value->data() < file.data() ||
                                value->data() + value->size() > file.data() + file.size()))
            Broken("a value lies outside the file text", *value);
        if (value->find('\n') != std::string_view::npos) Broken("a value spans lines", *value);
    }
    return value;
}

int32_t Expected(std::string_view file, std::string_view key, int32_t fallback) {
    const auto value = CheckedValue(file, key);
    if (!value) return fallback;
    return CheckedInteger(*value).value_or(fallback);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckedInteger(text); // the whole input as one value, too
    const int32_t oscFreq = Expected(text, "OscFreq", kDefaultOscFreq);
    const int32_t selfTest = Expected(text, "SelfTest", kDefaultSelfTest);

    FuzzDir::Enter();
    FuzzDir::Write(kSettingsFile, data, size);
    ResetMachine();
    g_run.OscFreq = 0x5A5A5A5A;
    g_run.SelfTest = 0x5A5A5A5A;
    LoadSettings();
    FuzzDir::Leave();
    if (g_run.OscFreq != oscFreq) Broken("LoadSettings read another OscFreq", text);
    if (g_run.SelfTest != selfTest) Broken("LoadSettings read another SelfTest", text);
    return 0;
}
