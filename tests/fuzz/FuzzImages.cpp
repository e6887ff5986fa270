// Fuzz target for the image loader and the save at close. The input describes the five image
// files in a private directory and their contents; LoadImages reads them, SaveImages writes
// ram.bin and register.bin back, and everything is checked against what the files held:
//
//   bytes 0..14   three bytes per file, in load order (keymap.dat, rom0.bin, rom1.bin, ram.bin,
//                 register.bin): a kind byte (bits 0-1: 0 no file, 1 or 2 a file, 3 a file, or
//                 with bit 2 also set a directory, which exists and cannot be read), then the
//                 size, big-endian, taken modulo capacity + capacity/8 + 2, so that every size
//                 from empty to longer than the destination is reachable;
//   bytes 15..    the contents, repeated to the size; file i starts i * 7 bytes in.
#include "FuzzDir.h"

#include "core/Cpu.h"
#include "core/Machine.h"
#include "host/Files.h"
#include "periph/Keyboard.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {
std::vector<std::string> g_warnings;

[[noreturn]] void Broken(const char* what, const char* file) {
    std::fprintf(stderr, "invariant broken: %s (%s)\n", what, file);
    std::abort();
}

constexpr uint8_t kBefore = 0xA5; // what the destinations hold before the load
constexpr size_t kHeader = 15;

enum class Kind { Missing, File, Directory };

struct Image {
    const char* name;
    uint8_t* dest;
    size_t capacity;
    Kind kind;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> ReadBack(const char* name) {
    std::vector<uint8_t> bytes;
    std::FILE* f = std::fopen(name, "rb");
    if (!f) return bytes;
    uint8_t buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

bool IsDirectory(const char* name) {
    std::error_code ec;
    return std::filesystem::is_directory(name, ec);
}

int NoSync(int) {
    return 0; // durability is not the fuzzer's business; the sequence of calls is unchanged
}
} // namespace

void ReportWarning(std::string_view text) {
    g_warnings.emplace_back(text);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader) return 0;
    ResetMachine();
    CpuState& c = g_cpu;
    Image images[] = {{"keymap.dat", g_kbd.KeyMap, sizeof g_kbd.KeyMap, Kind::Missing, {}},
                      {"rom0.bin", c.Rom, sizeof c.Rom, Kind::Missing, {}},
                      {"rom1.bin", c.Ext, sizeof c.Ext, Kind::Missing, {}},
                      {"ram.bin", c.Ram, sizeof c.Ram, Kind::Missing, {}},
                      {"register.bin", c.R, sizeof c.R, Kind::Missing, {}}};
    const uint8_t* body = data + kHeader;
    const size_t bodySize = size - kHeader;

    FuzzDir::Enter();
    FuzzDir::Clear();
    for (int i = 0; i < 5; ++i) {
        Image& image = images[i];
        const uint8_t kind = data[3 * i];
        const size_t raw = static_cast<size_t>(data[3 * i + 1] << 8 | data[3 * i + 2]);
        image.kind = (kind & 3) == 0                 ? Kind::Missing
                     : (kind & 3) == 3 && (kind & 4) ? Kind::Directory
                                                     : Kind::File;
        std::memset(image.dest, kBefore, image.capacity);
        if (image.kind == Kind::Directory) {
            std::filesystem::create_directory(image.name);
        } else if (image.kind == Kind::File) {
            image.bytes.resize(raw % (image.capacity + image.capacity / 8 + 2));
            for (size_t k = 0; k < image.bytes.size(); ++k)
                image.bytes[k] = bodySize ? body[(k + 7 * i) % bodySize] : static_cast<uint8_t>(k);
            FuzzDir::Write(image.name, image.bytes.data(), image.bytes.size());
        }
    }

    g_warnings.clear();
    LoadImages();

    // What the loader must have done, file by file in its order.
    std::vector<std::string> expected;
    bool ended = false, loaded[5] = {};
    for (int i = 0; i < 5; ++i) {
        const Image& image = images[i];
        // The key map is cleared first, even when the loading ends at it.
        const uint8_t rest = i == 0 ? 0 : kBefore;
        if (ended || image.kind == Kind::Directory) {
            for (size_t k = 0; k < image.capacity; ++k)
                if (image.dest[k] != rest) Broken("an image not loaded was changed", image.name);
            if (!ended) expected.push_back("");
            ended = true;
            continue;
        }
        if (image.kind == Kind::Missing) {
            if (i == 1 || i == 2)
                expected.push_back("Failed to load the file " + std::string(image.name));
            for (size_t k = 0; k < image.capacity; ++k)
                if (image.dest[k] != rest) Broken("a missing image changed memory", image.name);
            continue;
        }
        loaded[i] = true;
        const size_t n = std::min(image.bytes.size(), image.capacity);
        if (n > 0 && std::memcmp(image.dest, image.bytes.data(), n) != 0)
            Broken("the image's bytes did not arrive", image.name);
        for (size_t k = n; k < image.capacity; ++k)
            if (image.dest[k] != rest)
                Broken("a short image changed memory past its end", image.name);
    }
    if (g_warnings.size() != expected.size()) Broken("another number of messages", "");
    for (size_t k = 0; k < expected.size(); ++k) {
        if (expected[k].empty()) {
            // The read error of a file that exists: its name and the system's error text.
            if (g_warnings[k].find("Cannot read the file ") != 0) Broken("another read error", "");
        } else if (g_warnings[k] != expected[k]) {
            Broken("another message", expected[k].c_str());
        }
    }
    if (g_imageFiles.KeepRam != (!loaded[3] && images[3].kind != Kind::Missing))
        Broken("KeepRam wrong", "ram.bin");
    if (g_imageFiles.KeepRegisters != (!loaded[4] && images[4].kind != Kind::Missing))
        Broken("KeepRegisters wrong", "register.bin");

    // The save at close: a kept file is untouched, a directory in the way is reported and
    // stays, anything else is rewritten whole; no temporary file is left behind.
    for (int i = 0; i < kRamBytes; i += 97) c.Ram[i] ^= 0x5A;
    c.R[size % kRegBytes] ^= 0x3C;
    g_warnings.clear();
    const SaveCalls system = g_saveCalls;
    g_saveCalls.Sync = NoSync;
    const bool saved = SaveImages();
    g_saveCalls = system;
    bool allSaved = true;
    for (int i = 3; i < 5; ++i) {
        const Image& image = images[i];
        const bool kept = i == 3 ? g_imageFiles.KeepRam : g_imageFiles.KeepRegisters;
        if (image.kind == Kind::Directory) {
            if (!IsDirectory(image.name)) Broken("a directory in the way was replaced", image.name);
            const std::string message = "Failed to save the file " + std::string(image.name);
            bool reported = false;
            for (const auto& w : g_warnings) reported = reported || w == message;
            if (!kept && !reported) Broken("a failed save was not reported", image.name);
            if (!kept) allSaved = false;
        } else if (kept) {
            if (ReadBack(image.name) != image.bytes) Broken("a kept file was changed", image.name);
        } else if (ReadBack(image.name) !=
                   std::vector<uint8_t>(image.dest, image.dest + image.capacity)) {
            Broken("a saved file does not hold the memory", image.name);
        }
    }
    if (saved != allSaved) Broken("SaveImages returned another result", "");
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        bool known = false;
        for (const Image& image : images) known = known || name == image.name;
        if (!known) Broken("a file was left behind", name.c_str());
    }
    FuzzDir::Clear();
    FuzzDir::Leave();
    return 0;
}
