// Fuzz target for the PNG reader (golden screens of the test runner): the input is the file's
// bytes. A picture read must have a size within the limits and three bytes a pixel, and a small
// one must come back unchanged from the writer through the reader.
#include "FuzzDir.h"

#include "host/Png.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

void ReportWarning(std::string_view) {}

namespace {
[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const auto image = ReadPng(std::string_view(reinterpret_cast<const char*>(data), size), &error);
    if (!image) {
        if (error.empty()) Broken("a refused picture without a reason");
        return 0;
    }
    if (image->Width < 1 || image->Height < 1 || image->Width > 4096 || image->Height > 4096)
        Broken("a picture size outside 1 .. 4096");
    if (image->Pixels.size() != static_cast<size_t>(image->Width) * image->Height * 3)
        Broken("not three bytes a pixel");
    if (image->Width * image->Height <= 64 * 64) {
        const std::filesystem::path path = FuzzDir::Path() / "round-trip.png";
        if (!WritePng(path, *image)) Broken("a picture read cannot be written");
        const auto again = ReadPngFile(path);
        if (!again || again->Width != image->Width || again->Height != image->Height ||
            again->Pixels != image->Pixels)
            Broken("a picture written does not read back the same");
    }
    return 0;
}
