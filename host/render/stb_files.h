// Image files through stb: reading window backgrounds (BMP, PNG, ...) and
// writing pictures as PNG.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "host/render/image.h"

bool read_image_file(const std::string& path, Image& image, std::string& error);
bool write_png_file(const std::string& path, const Image& image);

// Width and height of an image file without decoding it; nullopt when it is
// absent or not an image.
std::optional<std::pair<int32_t, int32_t>> image_file_size(
    const std::string& path);
