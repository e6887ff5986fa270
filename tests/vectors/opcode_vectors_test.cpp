// Runs every case of tests/data/opcodes.jsonl.gz: a machine state, some steps, the expected
// state and the cycles of each step. Each step is what the run loop does (cycle counter := 0,
// CpuStep, LcdStep). Every mismatching field of every case is reported.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "periph/Lcd.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <zlib.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {
using nlohmann::json;

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    gzFile file = gzopen(path.c_str(), "rb");
    if (!file) return lines;
    std::string current;
    char buffer[1 << 16];
    int n;
    while ((n = gzread(file, buffer, sizeof buffer)) > 0) {
        for (int i = 0; i < n; ++i) {
            if (buffer[i] == '\n') {
                if (!current.empty()) lines.push_back(std::move(current));
                current.clear();
            } else {
                current.push_back(buffer[i]);
            }
        }
    }
    if (!current.empty()) lines.push_back(std::move(current));
    gzclose(file);
    return lines;
}

struct RegisterField {
    const char* name;
    int (*get)();
    void (*set)(int);
};

#define VELMORA_FIELD(NAME, MEMBER, TYPE)                                                          \
    RegisterField {                                                                                \
        NAME, [] { return static_cast<int>(g_cpu.MEMBER); },                                       \
            [](int v) { g_cpu.MEMBER = static_cast<TYPE>(v); }                                     \
    }
const RegisterField kFields[] = {
    VELMORA_FIELD("PC", PC, uint16_t),  VELMORA_FIELD("LA", LA, uint16_t),
    VELMORA_FIELD("KC", KC, uint8_t),   VELMORA_FIELD("KI", KI, uint8_t),
    VELMORA_FIELD("IE", IE, uint8_t),   VELMORA_FIELD("DS", DS, uint8_t),
    VELMORA_FIELD("AS", AS, uint8_t),   VELMORA_FIELD("PD", PD, uint8_t),
    VELMORA_FIELD("PE", PE, uint8_t),   VELMORA_FIELD("S4", S4, uint8_t),
    VELMORA_FIELD("S5", S5, uint8_t),   VELMORA_FIELD("S6", S6, uint8_t),
    VELMORA_FIELD("S7", S7, uint8_t),   VELMORA_FIELD("S8", S8, uint8_t),
    VELMORA_FIELD("TM", TM, uint8_t),   VELMORA_FIELD("F", F, uint8_t),
    VELMORA_FIELD("IRQ", IRQ, uint8_t), VELMORA_FIELD("ISR", ISR, uint8_t),
    VELMORA_FIELD("OFF", OFF, uint8_t), VELMORA_FIELD("WAIT", WAIT, uint8_t),
};
#undef VELMORA_FIELD

void LoadState(const json& s) {
    ResetMachine();
    for (const RegisterField& f : kFields) f.set(s.at(f.name).get<int>());
    const json& r = s.at("R");
    for (int i = 0; i < kRegBytes; ++i) g_cpu.R[i] = r.at(i).get<uint8_t>();
    for (const json& w : s.at("rom0")) {
        const int word = w.at(0).get<int>();
        for (int k = 0; k < 3; ++k) g_cpu.Rom[word * 3 + k] = w.at(k + 1).get<uint8_t>();
    }
    for (const json& b : s.at("rom1")) g_cpu.Ext[b.at(0).get<int>()] = b.at(1).get<uint8_t>();
    for (const json& b : s.at("ram")) g_cpu.Ram[b.at(0).get<int>()] = b.at(1).get<uint8_t>();
    const json& lcd = s.at("lcd");
    g_lcd.RowCycles = lcd.at("RowCycles").get<int32_t>();
    g_lcd.ColumnCounter = lcd.at("ColumnCounter").get<uint8_t>();
    g_lcd.RowCounter = lcd.at("RowCounter").get<uint8_t>();
    g_lcd.TimerPrescale = lcd.at("TimerPrescale").get<uint8_t>();
    for (const json& b : lcd.at("FrameBuffer"))
        g_lcd.FrameBuffer[b.at(0).get<int>()] = b.at(1).get<uint8_t>();
}

// Compares a sparse [offset, byte] list (naming exactly the non-zero bytes) with memory.
void CompareSparse(const char* what, const json& list, const uint8_t* memory, int size,
                   std::vector<std::string>& out) {
    std::vector<uint8_t> expected(size, 0);
    for (const json& b : list) expected[b.at(0).get<int>()] = b.at(1).get<uint8_t>();
    for (int i = 0; i < size; ++i)
        if (expected[i] != memory[i]) {
            std::ostringstream m;
            m << what << "[" << i << "] = " << int(memory[i]) << ", expected " << int(expected[i]);
            out.push_back(m.str());
        }
}

std::vector<std::string> RunCase(const json& c) {
    std::vector<std::string> diffs;
    LoadState(c.at("initial"));
    const int steps = c.at("steps").get<int>();
    const json& cycles = c.at("cycles");
    for (int i = 0; i < steps; ++i) {
        g_cpu.StepCycles = 0;
        CpuStep();
        LcdStep();
        const int expected = cycles.at(i).get<int>();
        if (g_cpu.StepCycles != expected)
            diffs.push_back("cycles[" + std::to_string(i) +
                            "] = " + std::to_string(g_cpu.StepCycles) + ", expected " +
                            std::to_string(expected));
    }
    const json& f = c.at("final");
    for (const RegisterField& field : kFields) {
        const int expected = f.at(field.name).get<int>();
        if (field.get() != expected)
            diffs.push_back(std::string(field.name) + " = " + std::to_string(field.get()) +
                            ", expected " + std::to_string(expected));
    }
    const json& r = f.at("R");
    for (int i = 0; i < kRegBytes; ++i)
        if (g_cpu.R[i] != r.at(i).get<int>())
            diffs.push_back("R[" + std::to_string(i) + "] = " + std::to_string(g_cpu.R[i]) +
                            ", expected " + std::to_string(r.at(i).get<int>()));
    CompareSparse("ram", f.at("ram"), g_cpu.Ram, kRamBytes, diffs);
    const json& lcd = f.at("lcd");
    const std::pair<const char*, int> counters[] = {
        {"RowCycles", g_lcd.RowCycles},
        {"ColumnCounter", g_lcd.ColumnCounter},
        {"RowCounter", g_lcd.RowCounter},
        {"TimerPrescale", g_lcd.TimerPrescale},
    };
    for (const auto& [name, value] : counters)
        if (lcd.at(name).get<int>() != value)
            diffs.push_back(std::string(name) + " = " + std::to_string(value) + ", expected " +
                            std::to_string(lcd.at(name).get<int>()));
    CompareSparse("FrameBuffer", lcd.at("FrameBuffer"), g_lcd.FrameBuffer, kFrameBytes, diffs);
    return diffs;
}

TEST(OpcodeVectors, EveryCaseMatches) {
    const std::vector<std::string> lines = ReadLines(VELMORA_TEST_DATA "/opcodes.jsonl.gz");
    ASSERT_EQ(lines.size(), 6000u) << "could not read the vector file";
    int failed = 0;
    std::map<std::string, int> failedByFamily;
    std::map<int, bool> indicesSeen;
    for (const std::string& line : lines) {
        const json c = json::parse(line);
        if (!c.at("index").is_null()) indicesSeen[c.at("index").get<int>()] = true;
        const std::vector<std::string> diffs = RunCase(c);
        if (diffs.empty()) continue;
        ++failed;
        ++failedByFamily[c.at("family").get<std::string>()];
        std::ostringstream m;
        m << c.at("name").get<std::string>() << " (" << c.at("family").get<std::string>() << "):";
        for (const std::string& d : diffs) m << " " << d << ";";
        ADD_FAILURE() << m.str();
    }
    for (const auto& [family, count] : failedByFamily)
        std::cout << family << ": " << count << " failing cases\n";
    EXPECT_EQ(failed, 0) << failed << " of " << lines.size() << " cases differ";
    EXPECT_EQ(indicesSeen.size(), 736u) << "every opcode index has cases";
}
} // namespace
