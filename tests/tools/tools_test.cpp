// velmora-asm and velmora-dis as programs: arguments, output, exit codes and files.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Result {
    int code;
    std::string out, err;
};

std::string Quote(const std::string& s) {
    std::string q(1, '\'');
    for (char c : s) {
        if (c == '\'')
            q.append("'\\''");
        else
            q.push_back(c);
    }
    q.push_back('\'');
    return q;
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class Tools : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("velmora-tools-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    Result Exec(const std::string& tool, const std::vector<std::string>& args) {
        std::string cmd = "cd ";
        cmd.append(Quote(dir_.string())).append(" && ");
        cmd.append(Quote(std::string(VELMORA_BINARY_DIR) + "/" + tool));
        for (const auto& a : args) cmd.append(" ").append(Quote(a));
        cmd.append(" >out.txt 2>err.txt");
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir_ / "out.txt"),
                ReadFile(dir_ / "err.txt")};
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }

    fs::path dir_;
};

TEST_F(Tools, AsmLine) {
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* out;
    };
    const Case cases[] = {
        {{"--line", "ld r5,r70"}, 0, "21 86 A0\n"},
        {{"--line", "nop ; note"}, 0, "EF\n"},
        {{"--line", "; only a comment"}, 0, "\n"},
        {{"--line", ""}, 0, "\n"},
        {{"--line", "jmp 99999"}, 1, "error at 9\n"},
        {{"--line", "na r5,r6"}, 1, "error at 9\n"},
        {{"--line", "sjmp &h1234", "--page", "1200"}, 0, "E7 34\n"},
        {{"--line", "sjmp &h1334", "--page", "1200"}, 1, "error at 12\n"},
        {{"--line", "sjmp &h1334", "--page", "0x13ff"}, 0, "E7 34\n"},
        {{"--line", "nop" + std::string(61, ' ') + "junk"}, 0, "EF\n"},
    };
    for (const Case& c : cases) {
        const Result r = Exec("velmora-asm", c.args);
        EXPECT_EQ(r.code, c.code) << c.args[1];
        EXPECT_EQ(r.out, c.out) << c.args[1];
    }
    EXPECT_NE(Exec("velmora-asm", {"--line", "nop", "--page", "12345"}).code, 0);
    EXPECT_NE(Exec("velmora-asm", {"--line", "nop", "--page", "xyz"}).code, 0);
}

TEST_F(Tools, DisListsFromTheImages) {
    std::string rom0(18432, '\0'), rom1(32768, '\0');
    rom0[0] = '\x21';
    rom0[1] = '\x86';
    rom0[2] = '\xA0';
    rom0[3] = '\xEF';
    rom1[0x1800] = '\xA7';
    rom1[0x1801] = '\x18';
    rom1[0x1802] = '\x00';
    rom1[0x1803] = '\xEF';
    Write("rom0.bin", rom0);
    Write("rom1.bin", rom1);
    Result r = Exec("velmora-dis", {"--count", "2"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "0000: ld    r5,r70\n0001: nop\n");
    EXPECT_EQ(r.err, "");
    r = Exec("velmora-dis", {"--from", "1800", "--count", "3"});
    EXPECT_EQ(r.out, "1800: jmp   &H1800\n1803: nop\n1804: tna   r0,r64\n");
    // Sixteen rows by default.
    r = Exec("velmora-dis", {});
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 16);
    // The walk stops after the row at which the address wraps.
    r = Exec("velmora-dis", {"--from", "FFFA", "--count", "50"});
    EXPECT_EQ(r.out, "FFFA: tna   r0,r64\nFFFD: tna   r0,r64\n");
    EXPECT_NE(Exec("velmora-dis", {"--from", "10000"}).code, 0);
    EXPECT_NE(Exec("velmora-dis", {"--count", "-1"}).code, 0);
}

TEST_F(Tools, DisWarnsAboutMissingImages) {
    const Result r = Exec("velmora-dis", {"--count", "1"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "Failed to load the file rom0.bin\nFailed to load the file rom1.bin\n");
    EXPECT_EQ(r.out, "0000: tna   r0,r64\n");
}

TEST_F(Tools, AsmProgramWritesFullImagesAndListing) {
    Write("prog.asm", "        org 0\nstart:  jmp ext\n        org &h1800\next:    nop\n"
                      "        sjmp ext\n");
    const Result r = Exec("velmora-asm", {"prog.asm", "-o", "out", "-l", "prog.lst"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string rom0 = ReadFile(dir_ / "out" / "rom0.bin");
    const std::string rom1 = ReadFile(dir_ / "out" / "rom1.bin");
    ASSERT_EQ(rom0.size(), 18432u);
    ASSERT_EQ(rom1.size(), 32768u);
    EXPECT_EQ(rom0.substr(0, 3), std::string("\xA7\x18\x00", 3));
    EXPECT_EQ(rom1.substr(0x1800, 3), std::string("\xEF\xE7\x00", 3));
    const std::string listing = ReadFile(dir_ / "prog.lst");
    EXPECT_NE(listing.find("0000  A7 18 00   start:  jmp ext"), std::string::npos) << listing;

    // The images list back as written.
    fs::copy_file(dir_ / "out" / "rom0.bin", dir_ / "rom0.bin");
    fs::copy_file(dir_ / "out" / "rom1.bin", dir_ / "rom1.bin");
    const Result d = Exec("velmora-dis", {"--from", "1800", "--count", "2"});
    EXPECT_EQ(d.out, "1800: nop\n1801: sjmp  &H1800\n");
}

TEST_F(Tools, AsmProgramErrorsWriteNothing) {
    Write("bad.asm", "  nop\n  jmp nowhere\n");
    const Result r = Exec("velmora-asm", {"bad.asm", "-l", "bad.lst"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("bad.asm:2:7: undefined name 'nowhere'"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "rom0.bin"));
    EXPECT_FALSE(fs::exists(dir_ / "rom1.bin"));
    EXPECT_FALSE(fs::exists(dir_ / "bad.lst"));
    const Result syntax = Exec("velmora-asm", {"bad2.asm"});
    EXPECT_EQ(syntax.code, 1);
    Write("bad3.asm", "  na r5,r6\n");
    const Result pair = Exec("velmora-asm", {"bad3.asm"});
    EXPECT_EQ(pair.code, 1);
    EXPECT_EQ(pair.err.substr(0, 15), "bad3.asm:1:11: ");
}

} // namespace
