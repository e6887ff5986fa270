// Helpers of the host tests: a scratch working directory and the captured warnings.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Every ReportWarning of the core, in order.
extern std::vector<std::string> g_warnings;

// Makes a fresh empty directory the current one for the lifetime of the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path previous_, path_;
};

void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& name, const std::string& text);
std::vector<uint8_t> ReadFile(const std::string& name);
// size bytes of a pattern that differs from one file to the next by seed.
std::vector<uint8_t> Pattern(size_t size, int seed);
