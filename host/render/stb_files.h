// Image files through stb: reading window backgrounds (BMP, PNG, ...) and
// writing pictures as PNG.
#pragma once

#include <string>

#include "host/render/image.h"

bool read_image_file(const std::string& path, Image& image, std::string& error);
bool write_png_file(const std::string& path, const Image& image);
