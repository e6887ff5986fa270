// Autosave of ram.bin and register.bin: only images that changed are written, a failing write
// never leaves a partial file and is reported once per run of failures; and the quit signals'
// self-pipe.
#include "Support.h"

#include "core/Cpu.h"
#include "core/Machine.h"
#include "host/Files.h"
#include "host/QuitSignals.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {
const std::string kRamAutosaveMessage =
    "Failed to autosave the file ram.bin; it is tried again every minute without a message, and "
    "at close";

ino_t Inode(const char* name) {
    struct stat st {};
    return ::stat(name, &st) == 0 ? st.st_ino : 0;
}

// Where the injected calls make the save of ram.bin fail.
enum class Breaks { Nothing, Write, Sync, Rename };
Breaks g_breaks = Breaks::Nothing;

bool SavingRam(int fd) {
    char link[64], path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    if (n <= 0) return false;
    path[n] = 0;
    return std::filesystem::path(path).filename().string().rfind("ram.bin.", 0) == 0;
}

long BreakingWrite(int fd, const void* data, size_t size) {
    static bool wroteHalf = false;
    if (g_breaks == Breaks::Write && SavingRam(fd)) {
        // Half of it, then a full disk.
        wroteHalf = !wroteHalf;
        if (wroteHalf) return SystemSaveCalls().Write(fd, data, size / 2);
        errno = ENOSPC;
        return -1;
    }
    return SystemSaveCalls().Write(fd, data, size);
}
int BreakingSync(int fd) {
    if (g_breaks == Breaks::Sync && SavingRam(fd)) return errno = EIO, -1;
    return SystemSaveCalls().Sync(fd);
}
int BreakingRename(const char* from, const char* to) {
    if (g_breaks == Breaks::Rename && std::string(to).ends_with("ram.bin")) return errno = EIO, -1;
    return SystemSaveCalls().Rename(from, to);
}

class AutoSave : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMachine();
        g_saveCalls = {BreakingWrite, BreakingSync, BreakingRename};
        g_breaks = Breaks::Nothing;
        WriteFile("ram.bin", Pattern(kRamBytes, 1));
        WriteFile("register.bin", Pattern(kRegBytes, 2));
        LoadImages();
        g_warnings.clear();
    }
    void TearDown() override { g_saveCalls = SystemSaveCalls(); }
    ScratchDir Dir;
};

TEST_F(AutoSave, WritesOnlyTheImagesThatChangedSinceTheyWereLoadedOrWritten) {
    const ino_t ram = Inode("ram.bin"), registers = Inode("register.bin");
    EXPECT_EQ(AutoSaveImages(), 0) << "nothing changed since the load";
    EXPECT_EQ(Inode("ram.bin"), ram);
    EXPECT_EQ(Inode("register.bin"), registers);

    g_cpu.Ram[8191] ^= 0xFF;
    EXPECT_EQ(AutoSaveImages(), 1);
    EXPECT_NE(Inode("ram.bin"), ram) << "replaced by the whole-file write";
    EXPECT_EQ(Inode("register.bin"), registers);
    EXPECT_EQ(ReadFile("ram.bin"), std::vector<uint8_t>(g_cpu.Ram, g_cpu.Ram + kRamBytes));
    EXPECT_EQ(AutoSaveImages(), 0) << "written once, not again while unchanged";

    g_cpu.R[0x7F] ^= 1;
    EXPECT_EQ(AutoSaveImages(), 1);
    EXPECT_EQ(ReadFile("register.bin"), std::vector<uint8_t>(g_cpu.R, g_cpu.R + kRegBytes));

    // What the close writes counts as written too.
    g_cpu.Ram[0] ^= 1;
    g_cpu.R[0] ^= 1;
    ASSERT_TRUE(SaveImages());
    EXPECT_EQ(AutoSaveImages(), 0);
    EXPECT_TRUE(g_warnings.empty());
}

TEST_F(AutoSave, AFailingWriteKeepsTheOldFileWholeAndIsReportedOncePerRunOfFailures) {
    const std::vector<uint8_t> old = ReadFile("ram.bin");
    for (const Breaks breaks : {Breaks::Write, Breaks::Sync, Breaks::Rename}) {
        g_warnings.clear();
        g_breaks = breaks;
        g_cpu.Ram[100] ^= 0x5A;
        for (int minute = 0; minute < 3; ++minute) {
            EXPECT_EQ(AutoSaveImages(), 0);
            EXPECT_EQ(ReadFile("ram.bin"), old) << "the old file, whole";
        }
        EXPECT_EQ(g_warnings, std::vector<std::string>{kRamAutosaveMessage})
            << "one message for three failing minutes, stage " << int(breaks);
        // No temporary file is left behind.
        for (const auto& e : std::filesystem::directory_iterator("."))
            EXPECT_TRUE(e.path().filename() == "ram.bin" || e.path().filename() == "register.bin")
                << e.path();
        // It works again: written, and a later failure is reported again.
        g_breaks = Breaks::Nothing;
        EXPECT_EQ(AutoSaveImages(), 1);
        g_breaks = breaks;
        g_cpu.Ram[101] ^= 1;
        EXPECT_EQ(AutoSaveImages(), 0);
        EXPECT_EQ(g_warnings.size(), 2u);
        g_breaks = Breaks::Nothing;
        EXPECT_EQ(AutoSaveImages(), 1);
        // Back to the file of the start for the next stage.
        g_cpu.Ram[100] ^= 0x5A;
        g_cpu.Ram[101] ^= 1;
        EXPECT_EQ(AutoSaveImages(), 1);
        ASSERT_EQ(ReadFile("ram.bin"), old);
    }
}

TEST_F(AutoSave, LeavesAFileAloneThatTheCloseWouldKeep) {
    g_imageFiles.KeepRam = true; // ram.bin was there but could not be loaded
    g_cpu.Ram[5] ^= 1;
    g_cpu.R[5] ^= 1;
    const ino_t ram = Inode("ram.bin");
    EXPECT_EQ(AutoSaveImages(), 1);
    EXPECT_EQ(Inode("ram.bin"), ram);
    EXPECT_EQ(ReadFile("register.bin"), std::vector<uint8_t>(g_cpu.R, g_cpu.R + kRegBytes));
}

TEST(QuitSignals, EachSignalReachesThePipeAndTheLastOneIsTaken) {
    const int fd = InstallQuitSignals();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(InstallQuitSignals(), fd) << "installed once";
    EXPECT_EQ(TakeQuitSignal(fd), 0) << "nothing pending";
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ASSERT_EQ(std::raise(signal), 0);
        EXPECT_EQ(TakeQuitSignal(fd), signal) << "the process lives on and sees the signal";
    }
    std::raise(SIGHUP);
    std::raise(SIGTERM);
    EXPECT_EQ(TakeQuitSignal(fd), SIGTERM);
    EXPECT_EQ(TakeQuitSignal(fd), 0);
}

} // namespace
