// State files and the ten slots in the working folder.
#include "host/Files.h"
#include "host/Report.h"
#include "host/State.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace {
constexpr size_t kMaxStateFileBytes = 16 << 20; // far above any state: refused unread

std::string ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::strerror(errno ? errno : ENOENT);
    std::string error;
    uint8_t buffer[1 << 14];
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, f);
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (bytes.size() > kMaxStateFileBytes) {
            error = "the file is too large to be a state";
            break;
        }
        if (got < sizeof buffer) {
            if (std::ferror(f)) error = std::strerror(errno ? errno : EIO);
            break;
        }
    }
    std::fclose(f);
    return error;
}
} // namespace

bool SaveStateFile(const std::string& path, const RunCounts& counts) {
    const std::vector<uint8_t> bytes = SaveState(counts);
    if (WriteImage(path.c_str(), bytes.data(), bytes.size())) return true;
    ReportWarning("Failed to save the file " + path);
    return false;
}

bool LoadStateFile(const std::string& path, RunCounts* counts) {
    std::vector<uint8_t> bytes;
    std::string error = ReadWholeFile(path, bytes);
    StateLoadResult result;
    if (error.empty()) {
        result = LoadState(bytes, "The state file " + path);
        error = result.Error;
    }
    if (!error.empty()) {
        ReportWarning("Failed to load the state file " + path + ": " + error);
        return false;
    }
    for (const std::string& w : result.Warnings) ReportWarning(w);
    if (counts) *counts = result.Counts;
    return true;
}

// --- Slots ------------------------------------------------------------------------------------

std::string StateSlotFile(int slot) {
    return "state-" + std::to_string(slot) + ".vst";
}

bool SaveStateSlot(int slot) {
    return SaveStateFile(StateSlotFile(slot));
}

bool LoadStateSlot(int slot) {
    return LoadStateFile(StateSlotFile(slot));
}

std::optional<std::time_t> StateSlotTime(int slot) {
    struct stat st {};
    if (::stat(StateSlotFile(slot).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return st.st_mtime;
}

std::string StateSlotTimeText(int slot) {
    const std::optional<std::time_t> t = StateSlotTime(slot);
    if (!t) return "empty";
    std::tm local{};
    if (!localtime_r(&*t, &local)) return "empty";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}
