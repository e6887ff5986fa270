// The debugger's options of velmora-headless on the default firmware with its symbol file: a
// breakpoint on the routine behind the key M+, a watchpoint on the memory M, the history of the
// steps that led there.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
const std::string kRunner = VELMORA_BINARY_DIR "/velmora-headless";
const fs::path kFirmwareDir = VELMORA_FIRMWARE_DIR;
// Press 5 (key code 48) at 500 ms, then M+ (key code 36) at 1200 ms.
const std::string kFiveMemPlus = "--ms 3000 --key 500:48:100 --key 1200:36:100";

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

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

TEST_F(Debugger, BreakOnTheRoutineOfMemPlus) {
    const Result r = Run(kFiveMemPlus + " --break k_mem_add --dump --history 300");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(r.out.size(), 2u);
    const auto dump = nlohmann::json::parse(r.out[0]);
    EXPECT_EQ(dump["PC"], Symbol("k_mem_add"));
    EXPECT_EQ(dump["STOP"], "breakpoint 1 at k_mem_add (00F6)");
    // The history ends with the key's way there: the main loop calls dispatch_key, which jumps
    // through the key table to k_mem_add.
    const std::string last = r.out.back();
    EXPECT_NE(last.find("ijmp"), std::string::npos) << last;
    bool calledDispatch = false;
    for (const std::string& line : r.out)
        calledDispatch = calledDispatch || line.find("cal   dispatch_key") != std::string::npos;
    EXPECT_TRUE(calledDispatch);
    // Before M+, the routine is not reached: the same run stopped earlier runs out.
    const Result early = Run("--ms 1100 --key 500:48:100 --break k_mem_add --dump");
    EXPECT_FALSE(nlohmann::json::parse(early.out.at(0)).contains("STOP"));
}

TEST_F(Debugger, WatchpointOnTheMemoryStopsInItsRoutine) {
    // A first run leaves the memory M valid (its signature), so that the power-up keeps it.
    ASSERT_EQ(Run("--ms 1500 --save").status, 0);
    const Result r = Run(kFiveMemPlus + " --watch ram:0180-0189 --dump --history 40");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto dump = nlohmann::json::parse(r.out.at(0));
    const std::string stop = dump["STOP"];
    // store_a writes the record, called by k_mem_add: M was 0, now holds 5.
    EXPECT_EQ(stop, "watchpoint 1: RAM 0187 written by store_a+1 (0141): 00 -> 50");
    bool fromMemAdd = false;
    for (const std::string& line : r.out)
        fromMemAdd = fromMemAdd || (line.find("cal   store_a") != std::string::npos &&
                                    line.find("k_mem_add+") != std::string::npos);
    EXPECT_TRUE(fromMemAdd) << "the history shows k_mem_add calling store_a";
    // Logging instead of stopping: the run goes to its end.
    const Result log = Run(kFiveMemPlus + " --log 'k_mem_add:M+ r85={R[85]}' --dump");
    ASSERT_EQ(log.status, 0);
    EXPECT_EQ(log.out.at(0), "M+ r85=2B");
    EXPECT_FALSE(nlohmann::json::parse(log.out.at(1)).contains("STOP"));
}

} // namespace
