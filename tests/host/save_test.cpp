// Saving ram.bin and register.bin through a temporary file: failures at every stage of the
// write keep the old file whole and leave no temporary file; read-only files are not replaced.
#include "Support.h"

#include "core/Cpu.h"
#include "core/Machine.h"
#include "host/Files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
const std::string kRamMessage = "Failed to save the file ram.bin";
const std::string kRegisterMessage = "Failed to save the file register.bin";

std::vector<uint8_t> RamBytes() {
    return {g_cpu.Ram, g_cpu.Ram + kRamBytes};
}
std::vector<uint8_t> RegisterBytes() {
    return {g_cpu.R, g_cpu.R + kRegBytes};
}

// Every entry below the current directory, as relative paths.
std::set<std::string> Entries() {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator("."))
        names.insert(e.path().lexically_relative(".").string());
    return names;
}

unsigned Mode(const char* name) {
    struct stat st {};
    EXPECT_EQ(::stat(name, &st), 0) << name;
    return st.st_mode & 07777;
}

// The injected calls. Each write call first checks that the file being saved is still the old
// one and the other is the old or the new one whole: whatever moment the process were killed
// at, the user would find both files whole.
struct Injection {
    const char* failingFile = nullptr; // the file whose save breaks ("ram.bin" or "register.bin")
    long writeBudget = -1;             // bytes its writes may still put down; -1 no limit
    long chunk = 0;                    // when > 0, each write puts down at most this many bytes
    bool failSync = false, failRename = false;
    std::vector<uint8_t> oldRam, oldRegisters;
    int writeCalls = 0;
    bool sawOldFilesIntact = true;
} g_inject;

// The name of the file being saved, told from the temporary file's name.
const char* FileOf(int fd) {
    char link[64], path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    if (n <= 0) return "";
    path[n] = 0;
    const std::string name = fs::path(path).filename().string();
    return name.rfind("ram.bin.", 0) == 0 ? "ram.bin" : "register.bin";
}

bool IsFailing(int fd) {
    return g_inject.failingFile && std::string(FileOf(fd)) == g_inject.failingFile;
}

long InjectedWrite(int fd, const void* data, size_t size) {
    ++g_inject.writeCalls;
    const auto ram = ReadFile("ram.bin"), regs = ReadFile("register.bin");
    const bool writingRam = std::string(FileOf(fd)) == "ram.bin";
    if ((writingRam ? ram != g_inject.oldRam : regs != g_inject.oldRegisters) ||
        (ram != g_inject.oldRam && ram != RamBytes()) ||
        (regs != g_inject.oldRegisters && regs != RegisterBytes()))
        g_inject.sawOldFilesIntact = false;
    if (g_inject.chunk > 0 && size > static_cast<size_t>(g_inject.chunk))
        size = static_cast<size_t>(g_inject.chunk);
    if (IsFailing(fd) && g_inject.writeBudget >= 0) {
        if (g_inject.writeBudget == 0) {
            errno = ENOSPC;
            return -1;
        }
        if (size > static_cast<size_t>(g_inject.writeBudget))
            size = static_cast<size_t>(g_inject.writeBudget);
        g_inject.writeBudget -= static_cast<long>(size);
    }
    return SystemSaveCalls().Write(fd, data, size);
}

int InjectedSync(int fd) {
    if (g_inject.failSync && IsFailing(fd)) {
        errno = EIO;
        return -1;
    }
    return SystemSaveCalls().Sync(fd);
}

int InjectedRename(const char* from, const char* to) {
    if (g_inject.failRename && fs::path(to).filename() == g_inject.failingFile) {
        errno = EXDEV;
        return -1;
    }
    return SystemSaveCalls().Rename(from, to);
}

// A scratch directory holding old ram.bin and register.bin, a machine with other contents,
// and the injected calls in place.
class SafeSave : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMachine();
        g_inject = {};
        g_inject.oldRam = Pattern(kRamBytes, 21);
        g_inject.oldRegisters = Pattern(kRegBytes, 22);
        WriteFile("ram.bin", g_inject.oldRam);
        WriteFile("register.bin", g_inject.oldRegisters);
        const auto ram = Pattern(kRamBytes, 31), regs = Pattern(kRegBytes, 32);
        std::copy(ram.begin(), ram.end(), g_cpu.Ram);
        std::copy(regs.begin(), regs.end(), g_cpu.R);
        g_saveCalls = {InjectedWrite, InjectedSync, InjectedRename};
        g_warnings.clear();
    }
    void TearDown() override { g_saveCalls = SystemSaveCalls(); }

    ScratchDir dir_;
};

TEST_F(SafeSave, WritesBothFilesWholeAndLeavesNoTemporaryFile) {
    for (const long chunk : {0L, 1000L, 1L}) { // one write, or short writes the loop must resume
        g_inject.chunk = chunk;
        g_inject.oldRam = ReadFile("ram.bin");
        g_inject.oldRegisters = ReadFile("register.bin");
        g_cpu.Ram[0] = static_cast<uint8_t>(chunk);
        EXPECT_TRUE(SaveImages()) << chunk;
        EXPECT_TRUE(g_warnings.empty()) << chunk;
        EXPECT_EQ(ReadFile("ram.bin"), RamBytes()) << chunk;
        EXPECT_EQ(ReadFile("register.bin"), RegisterBytes()) << chunk;
        EXPECT_EQ(Entries(), (std::set<std::string>{"ram.bin", "register.bin"})) << chunk;
        EXPECT_TRUE(g_inject.sawOldFilesIntact) << chunk;
    }
    EXPECT_GE(g_inject.writeCalls, kRamBytes + kRegBytes); // the 1-byte chunks really ran
}

// A full disk after N bytes of one file, a failing sync or a failing rename: that file keeps
// its old bytes, its message is shown, the other file is still saved, and no temporary file is
// left behind.
TEST_F(SafeSave, AFailureAtAnyStageKeepsTheOldFile) {
    const struct {
        const char* file;
        long budget;
        bool sync, rename;
    } cases[] = {
        {"ram.bin", 0, false, false},        {"ram.bin", 1, false, false},
        {"ram.bin", 4096, false, false},     {"ram.bin", kRamBytes - 1, false, false},
        {"ram.bin", -1, true, false},        {"ram.bin", -1, false, true},
        {"register.bin", 0, false, false},   {"register.bin", 64, false, false},
        {"register.bin", 127, false, false}, {"register.bin", -1, true, false},
        {"register.bin", -1, false, true},
    };
    for (const auto& t : cases) {
        const std::string what = std::string(t.file) + " budget " + std::to_string(t.budget) +
                                 (t.sync ? " sync" : "") + (t.rename ? " rename" : "");
        WriteFile("ram.bin", g_inject.oldRam);
        WriteFile("register.bin", g_inject.oldRegisters);
        g_warnings.clear();
        g_inject.failingFile = t.file;
        g_inject.writeBudget = t.budget;
        g_inject.failSync = t.sync;
        g_inject.failRename = t.rename;
        const bool ram = std::string(t.file) == "ram.bin";

        EXPECT_FALSE(SaveImages()) << what;
        EXPECT_EQ(g_warnings, std::vector<std::string>{ram ? kRamMessage : kRegisterMessage})
            << what;
        EXPECT_EQ(ReadFile("ram.bin"), ram ? g_inject.oldRam : RamBytes()) << what;
        EXPECT_EQ(ReadFile("register.bin"), ram ? RegisterBytes() : g_inject.oldRegisters) << what;
        EXPECT_EQ(Entries(), (std::set<std::string>{"ram.bin", "register.bin"})) << what;
        EXPECT_TRUE(g_inject.sawOldFilesIntact) << what;
    }
}

// With no old files, a failed save creates nothing at all: no half-written ram.bin.
TEST_F(SafeSave, AFailedFirstSaveLeavesNoFile) {
    fs::remove("ram.bin");
    fs::remove("register.bin");
    g_inject.oldRam.clear(); // ReadFile of a missing file
    g_inject.oldRegisters.clear();
    g_inject.failingFile = "ram.bin";
    g_inject.writeBudget = 100;
    EXPECT_FALSE(SaveImages());
    EXPECT_EQ(g_warnings, std::vector<std::string>{kRamMessage});
    EXPECT_EQ(Entries(), std::set<std::string>{"register.bin"});
    EXPECT_EQ(ReadFile("register.bin"), RegisterBytes());
}

// Without any write permission bit the file is the user's read-only file and stays as it is,
// even for root, who could write it; with any write bit it is replaced and keeps its mode.
TEST_F(SafeSave, ReadOnlyFilesAreNotReplacedAndModesAreKept) {
    const struct {
        unsigned mode;
        bool replaced;
    } cases[] = {{0444, false}, {0400, false}, {0000, false}, {0555, false},
                 {0644, true},  {0600, true},  {0200, true},  {0664, true}};
    for (const char* file : {"ram.bin", "register.bin"}) {
        for (const auto& t : cases) {
            const std::string what = std::string(file) + " mode " + std::to_string(t.mode);
            fs::remove("ram.bin");
            fs::remove("register.bin");
            WriteFile("ram.bin", g_inject.oldRam);
            WriteFile("register.bin", g_inject.oldRegisters);
            ASSERT_EQ(::chmod(file, t.mode), 0);
            g_warnings.clear();
            const bool ram = std::string(file) == "ram.bin";

            EXPECT_EQ(SaveImages(), t.replaced) << what;
            if (t.replaced) {
                EXPECT_TRUE(g_warnings.empty()) << what;
            } else {
                EXPECT_EQ(g_warnings,
                          std::vector<std::string>{ram ? kRamMessage : kRegisterMessage})
                    << what;
            }
            EXPECT_EQ(Mode(file), t.mode) << what;
            const auto want = ram ? (t.replaced ? RamBytes() : g_inject.oldRam)
                                  : (t.replaced ? RegisterBytes() : g_inject.oldRegisters);
            ::chmod(file, 0600); // so that the check can read it as any user
            EXPECT_EQ(ReadFile(file), want) << what;
            EXPECT_EQ(ReadFile(ram ? "register.bin" : "ram.bin"),
                      ram ? RegisterBytes() : RamBytes())
                << what;
            EXPECT_EQ(Entries(), (std::set<std::string>{"ram.bin", "register.bin"})) << what;
        }
    }
}

// A saved file kept elsewhere through a symbolic link: the link stays, its target is replaced,
// and the temporary file lived beside the target.
TEST_F(SafeSave, ASymbolicLinkIsKeptAndItsTargetReplaced) {
    fs::create_directory("store");
    fs::rename("ram.bin", "store/ram-real.bin");
    fs::create_symlink("store/ram-real.bin", "ram.bin");
    EXPECT_TRUE(SaveImages());
    EXPECT_TRUE(g_warnings.empty());
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status("ram.bin")));
    EXPECT_EQ(ReadFile("store/ram-real.bin"), RamBytes());
    EXPECT_EQ(Entries(),
              (std::set<std::string>{"ram.bin", "register.bin", "store", "store/ram-real.bin"}));
}

// What a killed earlier save leaves behind does not disturb the next one and is not touched.
TEST_F(SafeSave, ALeftoverTemporaryFileDoesNotDisturbTheSave) {
    const std::string leftover = "ram.bin.tmp-1-0";
    WriteFile(leftover, {1, 2, 3});
    EXPECT_TRUE(SaveImages());
    EXPECT_TRUE(g_warnings.empty());
    EXPECT_EQ(ReadFile("ram.bin"), RamBytes());
    EXPECT_EQ(ReadFile(leftover), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Entries(), (std::set<std::string>{"ram.bin", "register.bin", leftover}));
}
} // namespace
