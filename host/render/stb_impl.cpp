// The stb single-file libraries the renderer uses, compiled once here
// (without the project's warnings, which they were not written for).
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#include <stb_image.h>

#include "host/render/stb_files.h"

bool read_image_file(const std::string& path, Image& image,
                     std::string& error) {
  int width = 0, height = 0, channels = 0;
  unsigned char* pixels =
      stbi_load(path.c_str(), &width, &height, &channels, 3);
  if (pixels == nullptr) {
    error = stbi_failure_reason() ? stbi_failure_reason() : "unreadable";
    return false;
  }
  if (width <= 0 || height <= 0 || width > kMaxImageSide ||
      height > kMaxImageSide) {
    stbi_image_free(pixels);
    error = "image size out of range";
    return false;
  }
  image = Image(width, height);
  std::copy(pixels, pixels + image.rgb.size(), image.rgb.begin());
  stbi_image_free(pixels);
  return true;
}

bool write_png_file(const std::string& path, const Image& image) {
  if (image.width <= 0 || image.height <= 0) return false;
  return stbi_write_png(path.c_str(), image.width, image.height, 3,
                        image.rgb.data(), image.width * 3) != 0;
}

std::optional<std::pair<int32_t, int32_t>> image_file_size(
    const std::string& path) {
  int width = 0, height = 0, channels = 0;
  if (stbi_info(path.c_str(), &width, &height, &channels) == 0 || width <= 0 ||
      height <= 0)
    return std::nullopt;
  return std::pair{int32_t(width), int32_t(height)};
}
