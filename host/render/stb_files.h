// Image files through stb: reading window backgrounds (BMP, PNG, ...) and
// writing pictures as PNG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "host/render/image.h"

bool read_image_file(const std::string& path, Image& image, std::string& error);
// The same from bytes in memory, never reading outside them.
bool read_image_memory(const uint8_t* data, size_t size, Image& image,
                       std::string& error);
bool write_png_file(const std::string& path, const Image& image);
// The bytes write_png_file writes, in memory.
bool encode_png(const Image& image, std::string& bytes);

// Width and height of an image file without decoding it; nullopt when it is
// absent or not an image.
std::optional<std::pair<int32_t, int32_t>> image_file_size(
    const std::string& path);
std::optional<std::pair<int32_t, int32_t>> image_memory_size(
    const uint8_t* data, size_t size);
