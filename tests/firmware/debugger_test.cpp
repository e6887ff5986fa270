// The debugger's options of velmora-headless on the default firmware with its symbol file: a
// breakpoint on the routine behind the key M+, a watchpoint on the memory M, the history of the
// steps that led there.
#include "../support/TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
using testfiles::Lines;
using testfiles::Slurp;
const std::string kRunner = VELMORA_BINARY_DIR "/velmora-headless";
const fs::path kFirmwareDir = VELMORA_FIRMWARE_DIR;
// Press 5 (key code 48) at 500 ms, then M+ (key code 36) at 1200 ms.
const std::string kFiveMemPlus = "--ms 3000 --key 500:48:100 --key 1200:36:100";

struct Result {
    int status;
    std::vector<std::string> out;
    std::string err;
};

class Debugger : public ::testing::Test {
protected:
    Debugger() {
        std::string pattern = (fs::temp_directory_path() / "velmora-debugger-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        for (const char* name : {"rom0.bin", "rom1.bin", "symbols.sym"})
            fs::copy_file(kFirmwareDir / name, dir_ / name);
    }
    ~Debugger() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    Result Run(const std::string& args) {
        const std::string command = "cd '" + dir_.string() + "' && '" + kRunner + "' " + args +
                                    " >out.txt 2>err.txt </dev/null";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Lines(Slurp(dir_ / "out.txt")),
                Slurp(dir_ / "err.txt")};
    }
    static uint16_t Symbol(const std::string& name) {
        std::istringstream in(Slurp(kFirmwareDir / "symbols.sym"));
        for (std::string address, n; in >> address >> n;)
            if (n == name) return static_cast<uint16_t>(std::stoul(address, nullptr, 16));
        ADD_FAILURE() << name << " not in symbols.sym";
        return 0;
    }
    fs::path dir_;
};

std::string Hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFF);
    return buf;
}

// The address of the memory M's number record, from the firmware's source (REC_M equ 0x....).
unsigned MemoryRecord() {
    std::istringstream in(Slurp(fs::path(VELMORA_SOURCE_DIR) / "firmware" / "defs.asm"));
    for (std::string name, equ, value; in >> name;)
        if (name == "REC_M" && in >> equ >> value && equ == "equ")
            return static_cast<unsigned>(std::stoul(value, nullptr, 16));
    ADD_FAILURE() << "REC_M not in defs.asm";
    return 0;
}

TEST_F(Debugger, BreakOnTheRoutineOfMemPlus) {
    const Result r = Run(kFiveMemPlus + " --break k_mem_add --dump --history 300");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(r.out.size(), 2u);
    const auto dump = nlohmann::json::parse(r.out[0]);
    EXPECT_EQ(dump["PC"], Symbol("k_mem_add"));
    EXPECT_EQ(dump["STOP"], "breakpoint 1 at k_mem_add (" + Hex4(Symbol("k_mem_add")) + ")");
    EXPECT_EQ(r.err, "velmora-headless: stopped: " + dump["STOP"].get<std::string>() + "\n");
    // The history ends with the key's way there: the key dispatch jumps through the key table
    // to k_mem_add, after the calls of the main loop and the key scan.
    const std::string last = r.out.back();
    EXPECT_NE(last.find("ijmp"), std::string::npos) << last;
    int calls = 0;
    for (const std::string& line : r.out) calls += line.find(": cal ") != std::string::npos;
    EXPECT_GT(calls, 0);
    // Before M+, the routine is not reached: the same run stopped earlier runs out.
    const Result early = Run("--ms 1100 --key 500:48:100 --break k_mem_add --dump");
    EXPECT_FALSE(nlohmann::json::parse(early.out.at(0)).contains("STOP"));
}

TEST_F(Debugger, WatchpointOnTheMemoryStopsInItsRoutine) {
    // A first run leaves the memory M valid, so that the power-up keeps it.
    ASSERT_EQ(Run("--ms 1500 --save").status, 0);
    const unsigned m = MemoryRecord();
    const Result r =
        Run(kFiveMemPlus + " --watch ram:" + Hex4(m) + "-" + Hex4(m + 9) + " --dump --history 40");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto dump = nlohmann::json::parse(r.out.at(0));
    const std::string stop = dump["STOP"];
    // store_a writes the record for k_mem_add: M was 0, now holds 5, so a byte changes.
    const std::string head = "watchpoint 1: RAM ";
    ASSERT_EQ(stop.rfind(head, 0), 0u) << stop;
    const unsigned written =
        static_cast<unsigned>(std::stoul(stop.substr(head.size(), 4), nullptr, 16));
    EXPECT_GE(written, m);
    EXPECT_LE(written, m + 9);
    const std::string by = " written by store_a+1 (" + Hex4(Symbol("store_a") + 1) + "): ";
    ASSERT_EQ(stop.substr(head.size() + 4, by.size()), by) << stop;
    const std::string values = stop.substr(head.size() + 4 + by.size());
    ASSERT_EQ(values.size(), 8u) << stop;
    EXPECT_NE(values.substr(0, 2), values.substr(6, 2)) << "old and new values differ: " << stop;
    // The history shows the way from k_mem_add into store_a.
    bool fromMemAdd = false;
    for (const std::string& line : r.out)
        fromMemAdd = fromMemAdd || (line.find("store_a ") != std::string::npos &&
                                    (line.find(" k_mem_add") != std::string::npos ||
                                     line.find(" kma_") != std::string::npos));
    EXPECT_TRUE(fromMemAdd) << "the history shows k_mem_add going to store_a";
    // Logging instead of stopping: the run goes to its end.
    const Result log = Run(kFiveMemPlus + " --log 'k_mem_add:M+ with {R[50]:d}' --dump");
    ASSERT_EQ(log.status, 0);
    EXPECT_EQ(log.out.at(0), "M+ with 0");
    EXPECT_FALSE(nlohmann::json::parse(log.out.at(1)).contains("STOP"));
}

} // namespace
