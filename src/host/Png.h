// PNG files through libpng: the LCD picture written as the tools write it, and PNG pictures read
// back as plain RGB bytes (golden screens of the test runner).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct RgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels; // 3 bytes a pixel (red, green, blue), rows top first
};

// Writes IMAGE as an 8-bit RGB PNG file; false when the file could not be written.
bool WritePng(const std::filesystem::path& path, const RgbImage& image);
// Reads a PNG picture of any colour type and converts it to 8-bit RGB (transparency composed
// onto black). No value, and ERROR says why, when DATA is not a PNG picture libpng can read or
// when it is larger than 4096 x 4096.
std::optional<RgbImage> ReadPng(std::string_view data, std::string* error = nullptr);
std::optional<RgbImage> ReadPngFile(const std::filesystem::path& path,
                                    std::string* error = nullptr);
