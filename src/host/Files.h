// Files beside the program: the settings file, the firmware images, the saved RAM and
// register file, and the key map. All are found by bare name in the current directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

inline constexpr const char* kSettingsFile = "velmora.ini";
inline constexpr int32_t kDefaultOscFreq = 2000;
inline constexpr int32_t kDefaultSelfTest = 0;

// The folder in which the files below are looked for and written; empty (as the programs leave
// it) means the current directory. Messages name the files by their bare names all the same.
extern std::filesystem::path g_fileFolder;

// Reads "velmora.ini" (section Settings: OscFreq, SelfTest) into g_run. A missing file,
// section or key, or a value that is not an integer, gives the default.
void LoadSettings();
// Reads keymap.dat, rom0.bin, rom1.bin, ram.bin and register.bin, in this order. A missing
// rom0.bin or rom1.bin is reported; a file that exists but cannot be read is reported with the
// system's error text and ends the loading there.
void LoadImages();
// Reads rom0.bin and rom1.bin alone, each as LoadImages reads it (with its messages), the second
// also when the first fails: for the tools that only list code.
void LoadFirmwareImages();
// Writes ram.bin and then register.bin; each failure is reported and does not stop the other.
// A ram.bin or register.bin that existed at LoadImages but was not loaded (unreadable, or the
// loading ended before it) is left untouched, so the user's saved memory is never replaced by
// zeros. Returns false when a file that was to be written could not be written.
// Each file is written whole to a temporary file beside it, synced to the disk, and only then
// renamed over the old one, so a save that fails or is killed part-way leaves the old file as
// it was. A file whose write permission bits are all clear (made read-only by the user) is not
// replaced, even when the process could write it (as root can).
bool SaveImages();

// Writes a whole file as SaveImages writes each image: to a temporary file beside it, synced,
// then renamed over the old one, so NAME is always either the old file or the new one whole.
// A file the user made read-only, or a directory or device in the way, is refused. No report.
bool WriteImage(const char* name, const uint8_t* data, size_t size);

// Autosave, while the desktop program runs: writes ram.bin and register.bin, each only when its
// contents changed since it was last loaded or written, by the same whole-file write as
// SaveImages (so a crash or a power cut loses at most one interval, and never leaves a partial
// file); a file that SaveImages would keep is kept. A file that fails is reported once, with
// "Failed to autosave the file " and its name, and then tried again quietly at every autosave;
// once it succeeds, a later failure is reported again. Returns the number of files written.
inline constexpr int kAutoSaveIntervalMs = 60000;
int AutoSaveImages();

// The system calls SaveImages makes on the temporary file, as plain POSIX calls. Tests replace
// them to make a save fail at a chosen point (a full disk after N bytes, a failing sync or
// rename); the program never changes them.
struct SaveCalls {
    long (*Write)(int fd, const void* data, size_t size);
    int (*Sync)(int fd);
    int (*Rename)(const char* from, const char* to);
};
extern SaveCalls g_saveCalls;
// The system's own calls, for restoring g_saveCalls.
SaveCalls SystemSaveCalls();

// What the last LoadImages left for SaveImages: whether each saved file must be kept as it is.
struct ImageFileState {
    bool KeepRam = false;
    bool KeepRegisters = false;
};
extern ImageFileState g_imageFiles;

// The integer syntax of the settings file: optional blanks, an optional sign, then decimal
// digits, or hexadecimal digits after "$" or "0x"; the value must fit in 32 bits. Anything
// else gives no value. Exposed for the tests.
std::optional<int32_t> ParseSettingInteger(std::string_view text);
// Looks up KEY in SECTION of the text of an initialisation file; no value if absent.
std::optional<std::string_view> FindIniValue(std::string_view file, std::string_view section,
                                             std::string_view key);
