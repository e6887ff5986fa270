// Settings file and the raw image files.
#include "host/Files.h"

#include "core/Cpu.h"
#include "core/Digits.h"
#include "host/Report.h"
#include "host/RunLoop.h"
#include "periph/Keyboard.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ImageFileState g_imageFiles;
std::filesystem::path g_fileFolder;

namespace {
// What ram.bin and register.bin hold as far as this run knows: the images as loaded or as last
// written. Autosave compares the machine's memory with these.
struct SavedImages {
    uint8_t Ram[sizeof CpuState::Ram] = {};
    uint8_t Registers[sizeof CpuState::R] = {};
    bool RamFailing = false; // the last autosave of the file failed (and was reported)
    bool RegistersFailing = false;
} g_saved;
} // namespace

namespace {
long SystemWrite(int fd, const void* data, size_t size);
int SystemSync(int fd);
int SystemRename(const char* from, const char* to);
} // namespace

SaveCalls g_saveCalls = {SystemWrite, SystemSync, SystemRename};

SaveCalls SystemSaveCalls() {
    return {SystemWrite, SystemSync, SystemRename};
}

namespace {
// --- Settings -------------------------------------------------------------------------------

constexpr std::string_view kBlanks = " \t\r\n\f\v";

std::string_view Trim(std::string_view s) {
    const size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

int32_t ReadSetting(std::string_view file, std::string_view key, int32_t fallback) {
    const auto text = FindIniValue(file, "Settings", key);
    if (!text) return fallback;
    return ParseSettingInteger(*text).value_or(fallback);
}

// --- Image files ----------------------------------------------------------------------------

// Where the file of that bare name lives: in g_fileFolder, or the current directory.
std::filesystem::path InFolder(const char* name) {
    return g_fileFolder.empty() ? std::filesystem::path(name) : g_fileFolder / name;
}

std::string ErrorText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// Whether a file of that name is there. A name whose status cannot even be asked (a directory
// we may not search, say) counts as present, so that the read reports the error.
bool FileExists(const char* name) {
    std::error_code ec;
    return std::filesystem::status(InFolder(name), ec).type() !=
           std::filesystem::file_type::not_found;
}

enum class ReadResult { Missing, Loaded, Failed };

// Copies the first bytes of the file, up to size, into dest; a shorter file fills only as many
// bytes as it has. On a read error dest is left untouched and the error text is reported.
ReadResult ReadImage(const char* name, uint8_t* dest, size_t size) {
    if (!FileExists(name)) return ReadResult::Missing;
    std::vector<uint8_t> buffer(size);
    errno = 0;
    std::FILE* f = std::fopen(InFolder(name).c_str(), "rb");
    if (!f) {
        ReportWarning("Cannot read the file " + std::string(name) + ": " + ErrorText(errno));
        return ReadResult::Failed;
    }
    const size_t got = std::fread(buffer.data(), 1, size, f);
    const int error = std::ferror(f) ? (errno ? errno : EIO) : 0;
    std::fclose(f);
    if (error) {
        ReportWarning("Cannot read the file " + std::string(name) + ": " + ErrorText(error));
        return ReadResult::Failed;
    }
    std::memcpy(dest, buffer.data(), got);
    return ReadResult::Loaded;
}

// --- Saving ----------------------------------------------------------------------------------

long SystemWrite(int fd, const void* data, size_t size) {
    return static_cast<long>(::write(fd, data, size));
}
int SystemSync(int fd) {
    return ::fsync(fd);
}
int SystemRename(const char* from, const char* to) {
    return std::rename(from, to);
}

// Where the bytes of NAME really belong: the file itself, or the file a symbolic link points
// at, so that replacing it leaves the link in place.
std::filesystem::path SaveTarget(const char* name) {
    const std::filesystem::path path = InFolder(name);
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) {
        std::filesystem::path target = std::filesystem::weakly_canonical(path, ec);
        if (!ec) return target;
    }
    return path;
}

// Syncs the directory that holds PATH, so that the rename itself reaches the disk. Not every
// file system can sync a directory; the file is already in place, so a failure is ignored.
void SyncDirectory(const std::filesystem::path& path) {
    std::filesystem::path dir = path.parent_path();
    if (dir.empty()) dir = ".";
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)g_saveCalls.Sync(fd);
    ::close(fd);
}

// Opens a new, unique temporary file beside TARGET; returns its descriptor, or -1.
int CreateTemporary(const std::filesystem::path& target, std::string& temp) {
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp =
            target.string() + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

} // namespace

// Replaces NAME with SIZE bytes of DATA, or leaves it as it was. The bytes go to a temporary
// file in the same directory, which is synced and then renamed over the old file in one step:
// at every moment NAME is either the old file whole or the new one whole. A file the user made
// read-only (no write permission bit set) is refused before anything is written: a rename
// would replace it regardless of its bits, and root could even write it in place.
bool WriteImage(const char* name, const uint8_t* data, size_t size) {
    const std::filesystem::path target = SaveTarget(name);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists) {
        if (!S_ISREG(old.st_mode)) return false; // a directory or a device in the way
        if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
        if (::access(target.c_str(), W_OK) != 0) return false;
    }
    std::string temp;
    const int fd = CreateTemporary(target, temp);
    if (fd < 0) return false;
    // The new file keeps the old one's permissions; a new one gets the usual 0666 less umask.
    if (exists) (void)::fchmod(fd, old.st_mode & 07777);
    bool ok = true;
    for (size_t done = 0; ok && done < size;) {
        const long n = g_saveCalls.Write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    ok = ok && g_saveCalls.Sync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && g_saveCalls.Rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectory(target);
    return true;
}

std::optional<int32_t> ParseSettingInteger(std::string_view text) {
    std::string_view s = Trim(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return std::nullopt;
    // Accumulate the magnitude; anything beyond 2^31 is out of range whatever the sign.
    int64_t magnitude = 0;
    for (const char c : s) {
        const int digit = DigitValue(c);
        if (digit >= base) return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > int64_t{1} << 31) return std::nullopt;
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

// An initialisation file as the usual readers take it: lines of "[section]" and "key=value";
// section and key names compare without regard to case; blanks around names and values are
// dropped; lines starting with ';' or '#' are comments; a value wrapped in a pair of double
// quotes loses them. The first matching key wins, even if the section appears again later.
std::optional<std::string_view> FindIniValue(std::string_view file, std::string_view section,
                                             std::string_view key) {
    if (file.substr(0, 3) == "\xEF\xBB\xBF") file.remove_prefix(3); // UTF-8 byte order mark
    bool inSection = false;
    while (!file.empty()) {
        const size_t end = file.find('\n');
        std::string_view line = Trim(file.substr(0, end));
        file.remove_prefix(end == std::string_view::npos ? file.size() : end + 1);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            if (close != std::string_view::npos)
                inSection = EqualsNoCase(Trim(line.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos || !EqualsNoCase(Trim(line.substr(0, eq)), key)) continue;
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

void LoadSettings() {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(InFolder(kSettingsFile), ec);
    if (ec) path = InFolder(kSettingsFile);
    std::string text;
    if (std::ifstream in{path, std::ios::binary}) {
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    g_run.OscFreq = ReadSetting(text, "OscFreq", kDefaultOscFreq);
    g_run.SelfTest = ReadSetting(text, "SelfTest", kDefaultSelfTest);
}

namespace {
// A firmware image: as ReadImage, and a missing one is reported too.
ReadResult ReadFirmware(const char* name, uint8_t* dest, size_t size) {
    const ReadResult result = ReadImage(name, dest, size);
    if (result == ReadResult::Missing)
        ReportWarning("Failed to load the file " + std::string(name));
    return result;
}
} // namespace

void LoadFirmwareImages() {
    ReadFirmware("rom0.bin", g_cpu.Rom, sizeof g_cpu.Rom);
    ReadFirmware("rom1.bin", g_cpu.Ext, sizeof g_cpu.Ext);
}

void LoadImages() {
    CpuState& c = g_cpu;
    g_imageFiles = {};
    bool ramLoaded = false;
    bool registersLoaded = false;
    // Runs the reads in their order and stops at the first file that exists but fails.
    const auto loadAll = [&] {
        std::memset(g_kbd.KeyMap, 0, sizeof g_kbd.KeyMap);
        if (ReadImage("keymap.dat", g_kbd.KeyMap, sizeof g_kbd.KeyMap) == ReadResult::Failed)
            return;
        if (ReadFirmware("rom0.bin", c.Rom, sizeof c.Rom) == ReadResult::Failed) return;
        if (ReadFirmware("rom1.bin", c.Ext, sizeof c.Ext) == ReadResult::Failed) return;
        const ReadResult ram = ReadImage("ram.bin", c.Ram, sizeof c.Ram);
        if (ram == ReadResult::Failed) return;
        ramLoaded = ram == ReadResult::Loaded;
        registersLoaded = ReadImage("register.bin", c.R, sizeof c.R) == ReadResult::Loaded;
    };
    loadAll();
    std::memcpy(g_saved.Ram, c.Ram, sizeof c.Ram);
    std::memcpy(g_saved.Registers, c.R, sizeof c.R);
    // A saved file that is there but did not reach the machine must survive the save at close.
    g_imageFiles.KeepRam = !ramLoaded && FileExists("ram.bin");
    g_imageFiles.KeepRegisters = !registersLoaded && FileExists("register.bin");
}

namespace {
// Writes one image as SaveImages does and remembers what the file now holds.
bool SaveImage(const char* name, const uint8_t* data, uint8_t* saved, size_t size) {
    if (!WriteImage(name, data, size)) return false;
    std::memcpy(saved, data, size);
    return true;
}

// One file of the autosave: written when the memory differs from what the file holds.
int AutoSaveImage(const char* name, bool keep, const uint8_t* data, uint8_t* saved, size_t size,
                  bool& failing) {
    if (keep || std::memcmp(data, saved, size) == 0) return 0;
    if (SaveImage(name, data, saved, size)) {
        failing = false;
        return 1;
    }
    // Marked before the message: the message box runs a nested event loop, in which the next
    // autosave may come.
    const bool report = !failing;
    failing = true;
    if (report)
        ReportWarning(std::string("Failed to autosave the file ") + name +
                      "; it is tried again every minute without a message, and at close");
    return 0;
}
} // namespace

bool SaveImages() {
    bool ok = true;
    if (!g_imageFiles.KeepRam && !SaveImage("ram.bin", g_cpu.Ram, g_saved.Ram, sizeof g_cpu.Ram)) {
        ReportWarning("Failed to save the file ram.bin");
        ok = false;
    }
    if (!g_imageFiles.KeepRegisters &&
        !SaveImage("register.bin", g_cpu.R, g_saved.Registers, sizeof g_cpu.R)) {
        ReportWarning("Failed to save the file register.bin");
        ok = false;
    }
    return ok;
}

int AutoSaveImages() {
    int written = AutoSaveImage("ram.bin", g_imageFiles.KeepRam, g_cpu.Ram, g_saved.Ram,
                                sizeof g_cpu.Ram, g_saved.RamFailing);
    written += AutoSaveImage("register.bin", g_imageFiles.KeepRegisters, g_cpu.R, g_saved.Registers,
                             sizeof g_cpu.R, g_saved.RegistersFailing);
    return written;
}
