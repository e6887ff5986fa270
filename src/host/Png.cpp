// PNG encoding and decoding with libpng.
#include "host/Png.h"

#include <png.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {
constexpr int kLargestSide = 4096;

// libpng reports errors by longjmp, so nothing here may live across the setjmp.
bool EncodePng(png_structp png, png_infop info, std::FILE* f, int width, int height,
               png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}
} // namespace

bool WritePng(const std::filesystem::path& path, const RgbImage& image) {
    if (image.Width <= 0 || image.Height <= 0 ||
        image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height * 3)
        return false;
    std::vector<png_bytep> rows(static_cast<size_t>(image.Height));
    // libpng only reads the rows, but takes them as non-const pointers.
    auto* pixels = const_cast<png_byte*>(image.Pixels.data());
    for (int y = 0; y < image.Height; ++y)
        rows[static_cast<size_t>(y)] = pixels + static_cast<size_t>(y) * image.Width * 3;

    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool encoded =
        png && info && EncodePng(png, info, f, image.Width, image.Height, rows.data());
    png_destroy_write_struct(&png, &info);
    const bool closed = std::fclose(f) == 0;
    return encoded && closed;
}

std::optional<RgbImage> ReadPng(std::string_view data, std::string* error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data.data(), data.size())) {
        SetError(error, png.message);
        png_image_free(&png);
        return std::nullopt;
    }
    if (png.width == 0 || png.height == 0 || png.width > kLargestSide ||
        png.height > kLargestSide) {
        SetError(error, "picture of " + std::to_string(png.width) + " x " +
                            std::to_string(png.height) + " pixels");
        png_image_free(&png);
        return std::nullopt;
    }
    png.format = PNG_FORMAT_RGB;
    RgbImage image;
    image.Width = static_cast<int>(png.width);
    image.Height = static_cast<int>(png.height);
    image.Pixels.resize(PNG_IMAGE_SIZE(png));
    const png_color black{0, 0, 0};
    if (!png_image_finish_read(&png, &black, image.Pixels.data(), 0, nullptr)) {
        SetError(error, png.message);
        png_image_free(&png);
        return std::nullopt;
    }
    return image;
}

std::optional<RgbImage> ReadPngFile(const std::filesystem::path& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SetError(error, "cannot be read");
        return std::nullopt;
    }
    const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        SetError(error, "cannot be read");
        return std::nullopt;
    }
    return ReadPng(data, error);
}
