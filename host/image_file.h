// Image files beside a panel file (window backgrounds): what the host needs
// to know of them before anything is drawn.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

// Width and height of a BMP, PNG or other common image file; nullopt when
// it is absent or not an image.
std::optional<std::pair<int32_t, int32_t>> image_file_size(
    const std::string& path);
